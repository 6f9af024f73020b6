// The program's one serial port: open, close, send, and the reader thread's
// read and purge. Result codes keep the values of the Win32 original.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

constexpr int SerialWriteFailed = 0;    // the write failed or wrote no byte
constexpr int SerialSuccess = 1;        // success
constexpr int SerialOpenFailed = 3;     // opening the port failed
constexpr int SerialStateFailed = 4;    // reading or setting the port state failed; closed again
constexpr int SerialTimeoutsFailed = 8; // setting the time-outs failed; closed again
constexpr int SerialNothingSent = 10;   // the port is not open, or there is no data

// The open descriptor, or platform::InvalidSerialDevice. Reset on close so a
// reused descriptor number is never written to. Guarded by a lock inside
// SerialPort.cpp: use it only through the functions below.
extern int SerialPortHandle;
extern std::mutex SerialWriteMutex;

// path is opened exactly as given ("/dev/ttyUSB0"). stop_bits: 0 one, 1 one and
// a half, 2 two. parity: 0 none, 1 odd, 2 even. Returns 1, 3, 4 or 8.
int OpenSerialPort(const std::string& path, uint32_t baud_rate, uint8_t stop_bits, uint8_t parity);

// Waits for a read, purge or write in progress on another thread, then closes.
void CloseSerialPort();

// Returns 1 when every byte was written, 0 when the write failed or stopped
// part way, 10 when nothing was sent. sent, when given, receives the number
// of bytes written.
int SendSerialBytes(const uint8_t* data, size_t count, size_t* sent = nullptr);
int SendSerialString(const std::string& text, size_t* sent = nullptr);

// What ReadSerialPort returns besides a byte count.
constexpr long SerialPortNotOpen = -1;
// The device hung up (unplugged) or failed: the port has been closed as
// "Close COM Port" closes it, and GetLostSerialPort names it.
constexpr long SerialPortLost = -2;

// Reader thread: both return at once. A read returns the byte count, 0 when
// nothing waits, SerialPortNotOpen or SerialPortLost. session, when given,
// receives the number of the opening the bytes came from (it grows with every
// successful open), so bytes of two openings are never taken for one stream.
// A lost port leaves its message ("Error: ...", no newline) in lost_message.
long ReadSerialPort(uint8_t* buffer, size_t size, uint64_t* session = nullptr, std::string* lost_message = nullptr);
// The purge discards received bytes only. Returns false when the port was
// lost (as above) while purging.
bool PurgeSerialPort(std::string* lost_message = nullptr);

// The device path of the port the reader closed because its device went away,
// or empty; cleared by the next OpenSerialPort call.
std::string GetLostSerialPort();
