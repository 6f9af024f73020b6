// The serial reader thread: every 10 ms one acquisition step turns the bytes
// waiting on the port into timed samples in the channel data store (and CSV
// rows while a recording runs).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

// True from program start; only StopSerialThread clears it.
extern std::atomic<bool> SerialThreadRunning;

// The thread procedure: runs turns until StopSerialThread.
void SerialThreadMain();
// Ends the loop at the end of the current turn; join the thread afterwards.
void StopSerialThread();
// One acquisition step; called by SerialThreadMain.
void ProcessSerialInput();

constexpr size_t SerialRingCapacity = 256;
// A line (the bytes between two line ends) longer than this
// is dropped, with one message on standard error.
constexpr size_t MaxSerialLineLength = 4096;
// Bytes one step handles at most; the rest waits in the driver for the next step.
constexpr size_t MaxSerialBytesPerStep = 16384;
// Received bytes of 0x80 and above get one line each on standard error up to
// this many a second; one line then tells how many more came.
constexpr int InvalidBytesShownPerSecond = 10;

// Parser internals, for the fuzz target and tests. The caller holds
// ChannelDataMutex; the histories must already fit the channel count.
// ParseSerialBytes takes bytes as if they had been read from the port.
void ParseSerialBytes(const uint8_t* bytes, size_t count);
// Back to the start state: empty ring, not synchronised, no line, new time base.
void ResetSerialParser();
