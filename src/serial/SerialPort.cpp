#include "serial/SerialPort.h"

#include "platform/SerialDevice.h"
#include "serial/ChannelData.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <shared_mutex>

int SerialPortHandle = platform::InvalidSerialDevice;
std::mutex SerialWriteMutex;

// Held shared by every use of the handle (read, purge, write) and exclusively
// by open and close, so close never pulls the descriptor from under a user.
// It also guards the three values below.
static std::shared_mutex SerialHandleMutex;
static uint64_t SerialPortSession = 0; // successful opens so far
static std::string SerialPortPath;     // of the open port
static std::string LostSerialPort;     // closed by the reader: its device went away

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
    LostSerialPort.clear();

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
    // Bytes that came before the port was set up were taken at another speed or
    // through the terminal's line editing (which turns CR into LF): none of them
    // is trusted, and the reader starts at the next whole line.
    platform::PurgeSerialDevice(SerialPortHandle);
    SerialPortSession++;
    SerialPortPath = path;
    return SerialSuccess;
}

void CloseSerialPort()
{
    std::unique_lock<std::shared_mutex> lock(SerialHandleMutex);
    CloseHandleLocked();
}

int SendSerialBytes(const uint8_t* data, size_t count, size_t* sent)
{
    if (sent)
        *sent = 0;
    if (!IsSerialPortOpen() || data == nullptr || count == 0)
        return SerialNothingSent;

    std::lock_guard<std::mutex> write_lock(SerialWriteMutex);
    std::shared_lock<std::shared_mutex> lock(SerialHandleMutex);
    // Closed between the flag check and here.
    if (SerialPortHandle == platform::InvalidSerialDevice)
        return SerialNothingSent;
    // Writes on through partial writes, waiting a bounded time for room.
    const long written = platform::WriteSerialDevice(SerialPortHandle, data, count);
    if (sent && written > 0)
        *sent = (size_t)written;
    return written == (long)count ? SerialSuccess : SerialWriteFailed;
}

int SendSerialString(const std::string& text, size_t* sent)
{
    return SendSerialBytes((const uint8_t*)text.data(), text.size(), sent);
}

// The device of opening `session` went away (reason: why). Closes the port as
// "Close COM Port" does, unless the user closed or reopened it meanwhile.
static void ClosePortOfLostDevice(uint64_t session, const std::string& reason, std::string* lost_message)
{
    std::unique_lock<std::shared_mutex> lock(SerialHandleMutex);
    // The flag is checked too: between an open and the setting of the flag
    // the port is not the reader's to close.
    if (session != SerialPortSession || SerialPortHandle == platform::InvalidSerialDevice || !IsSerialPortOpen())
        return;
    SetSerialPortOpen(false);
    CloseHandleLocked();
    LostSerialPort = SerialPortPath;
    if (lost_message)
        *lost_message = "Error: Serial port " + SerialPortPath + " disconnected (" + reason + "); the port was closed";
}

static std::string LossReason(bool hung_up, int error) { return hung_up ? "the device hung up" : std::strerror(error); }

long ReadSerialPort(uint8_t* buffer, size_t size, uint64_t* session, std::string* lost_message)
{
    uint64_t read_session;
    long n;
    int error;
    {
        std::shared_lock<std::shared_mutex> lock(SerialHandleMutex);
        if (SerialPortHandle == platform::InvalidSerialDevice)
            return SerialPortNotOpen;
        read_session = SerialPortSession;
        if (session)
            *session = read_session;
        n = platform::ReadSerialDevice(SerialPortHandle, buffer, size);
        error = errno;
        if (n >= 0)
            return n;
    }
    ClosePortOfLostDevice(read_session, LossReason(n == platform::SerialDeviceHungUp, error), lost_message);
    return SerialPortLost;
}

bool PurgeSerialPort(std::string* lost_message)
{
    uint64_t session;
    bool hung_up;
    int error;
    {
        std::shared_lock<std::shared_mutex> lock(SerialHandleMutex);
        if (SerialPortHandle == platform::InvalidSerialDevice)
            return true;
        session = SerialPortSession;
        const bool purged = platform::PurgeSerialDevice(SerialPortHandle);
        error = errno;
        // A hung-up terminal may still take the purge.
        hung_up = platform::IsSerialDeviceHungUp(SerialPortHandle);
        if (purged && !hung_up)
            return true;
    }
    ClosePortOfLostDevice(session, LossReason(hung_up, error), lost_message);
    return false;
}

std::string GetLostSerialPort()
{
    std::shared_lock<std::shared_mutex> lock(SerialHandleMutex);
    return LostSerialPort;
}
