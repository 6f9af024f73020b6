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

// Returns 1, 0 or 10.
int SendSerialBytes(const uint8_t* data, size_t count);
int SendSerialString(const std::string& text);

// Reader thread: both return at once. A read returns the byte count, 0 when
// nothing waits, -1 on failure or when the port is closed.
long ReadSerialPort(uint8_t* buffer, size_t size);
void PurgeSerialPort();
