// POSIX serial device: exclusive open, raw termios, reads that return at once.
// Knows nothing of the program's result codes; src/serial maps these calls to them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <termios.h>

namespace platform
{
constexpr int InvalidSerialDevice = -1;

// Opens the device read-write, without making it our controlling terminal, and
// exclusively (TIOCEXCL and an flock), so a second open by anyone fails.
// Returns the descriptor, or InvalidSerialDevice with errno set.
int OpenSerialDevice(const std::string& path);

// Releases the exclusive hold and closes the descriptor.
void CloseSerialDevice(int fd);

// Reads the line settings. Returns 0, or the errno of the failure.
int GetSerialDeviceState(int fd, termios& state);

// Applies raw mode, 8 data bits, the baud rate and the Win32-style parity code
// (0 none, 1 odd, 2 even) and stop-bits code (0 one, 2 two) to the state and
// to the device. One and a half stop bits (code 1) cannot be set with 8 data
// bits and fails, as does an unknown code or baud rate.
bool SetSerialDeviceState(int fd, termios& state, uint32_t baud_rate, uint8_t stop_bits, uint8_t parity);

// Makes every read return at once with what the driver holds (VMIN 0, VTIME 0,
// non-blocking descriptor).
bool SetSerialDeviceReadsReturnAtOnce(int fd, termios& state);

// What ReadSerialDevice returns when the device hung up: unplugged, or the
// other side of a pseudo-terminal closed. Nothing will ever be read again.
constexpr long SerialDeviceHungUp = -2;

// Returns the number of bytes read (0 when nothing is waiting), -1 when the
// read failed (errno says why), or SerialDeviceHungUp.
long ReadSerialDevice(int fd, void* buffer, size_t size);

// True when the device has hung up (see SerialDeviceHungUp). Does not wait.
bool IsSerialDeviceHungUp(int fd);

// Writes all bytes, waiting while the driver's buffer is full, but no longer
// than a second without progress. Returns the number written, or -1 when the
// first write fails.
long WriteSerialDevice(int fd, const void* data, size_t count);

// Discards the input the driver holds; output on its way to the device is
// left alone. False when it failed (errno says why): the device is gone.
bool PurgeSerialDevice(int fd);
} // namespace platform
