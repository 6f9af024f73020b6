#include "serial/SerialPort.h"

#include "platform/SerialDevice.h"
#include "serial/ChannelData.h"

#include <cerrno>
#include <cstdio>
#include <shared_mutex>

int SerialPortHandle = platform::InvalidSerialDevice;
std::mutex SerialWriteMutex;

// Held shared by every use of the handle (read, purge, write) and exclusively
// by open and close, so close never pulls the descriptor from under a user.
static std::shared_mutex SerialHandleMutex;

static void CloseHandleLocked()
{
    platform::CloseSerialDevice(SerialPortHandle);
    SerialPortHandle = platform::InvalidSerialDevice;
}

int OpenSerialPort(const std::string& path, uint32_t baud_rate, uint8_t stop_bits, uint8_t parity)
{
    std::unique_lock<std::shared_mutex> lock(SerialHandleMutex);
    if (SerialPortHandle != platform::InvalidSerialDevice)
        CloseHandleLocked();

    SerialPortHandle = platform::OpenSerialDevice(path);
    if (SerialPortHandle == platform::InvalidSerialDevice)
        return SerialOpenFailed;

    termios state;
    const int error = platform::GetSerialDeviceState(SerialPortHandle, state);
    if (error != 0)
    {
        if (error == EBADF)
            fprintf(stderr, "Invalid handle to the serial port\n");
        else
            fprintf(stderr, "Error getting serial port state. Error code: %d\n", error);
        fflush(stderr);
        CloseHandleLocked();
        return SerialStateFailed;
    }

    if (!platform::SetSerialDeviceState(SerialPortHandle, state, baud_rate, stop_bits, parity))
    {
        fprintf(stderr, "Error setting serial port state\n");
        fflush(stderr);
        CloseHandleLocked();
        return SerialStateFailed;
    }

    if (!platform::SetSerialDeviceReadsReturnAtOnce(SerialPortHandle, state))
    {
        fprintf(stderr, "Error setting timeouts\n");
        fflush(stderr);
        CloseHandleLocked();
        return SerialTimeoutsFailed;
    }
    return SerialSuccess;
}

void CloseSerialPort()
{
    std::unique_lock<std::shared_mutex> lock(SerialHandleMutex);
    CloseHandleLocked();
}

int SendSerialBytes(const uint8_t* data, size_t count)
{
    if (!IsSerialPortOpen() || data == nullptr || count == 0)
        return SerialNothingSent;

    std::lock_guard<std::mutex> write_lock(SerialWriteMutex);
    std::shared_lock<std::shared_mutex> lock(SerialHandleMutex);
    // Closed between the flag check and here.
    if (SerialPortHandle == platform::InvalidSerialDevice)
        return SerialNothingSent;
    const long written = platform::WriteSerialDevice(SerialPortHandle, data, count);
    return written > 0 ? SerialSuccess : SerialWriteFailed;
}

int SendSerialString(const std::string& text) { return SendSerialBytes((const uint8_t*)text.data(), text.size()); }

long ReadSerialPort(uint8_t* buffer, size_t size)
{
    std::shared_lock<std::shared_mutex> lock(SerialHandleMutex);
    if (SerialPortHandle == platform::InvalidSerialDevice)
        return -1;
    return platform::ReadSerialDevice(SerialPortHandle, buffer, size);
}

void PurgeSerialPort()
{
    std::shared_lock<std::shared_mutex> lock(SerialHandleMutex);
    if (SerialPortHandle != platform::InvalidSerialDevice)
        platform::PurgeSerialDevice(SerialPortHandle);
}
