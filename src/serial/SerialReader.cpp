#include "serial/SerialReader.h"

#include "serial/ChannelData.h"
#include "serial/CsvRecorder.h"
#include "serial/SerialPort.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <locale.h>
#include <string>
#include <thread>
#include <vector>

std::atomic<bool> SerialThreadRunning{true};

namespace
{
struct RingBuffer
{
    uint8_t bytes[SerialRingCapacity] = {};
    size_t head = 0; // next write
    size_t tail = 0; // next read
    size_t count = 0;
};

int64_t SteadyNowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

RingBuffer SerialRingBuffer;
bool LineSynced = false;
std::string TokenBuffer;
std::vector<float> LineValues;
size_t LineLength = 0;             // bytes of the current line so far
bool OverlongLineReported = false; // one message per run of over-long lines
uint64_t LineSession = 0;          // the port opening the bytes of the current line came from
int64_t AcquisitionStartTime = SteadyNowNs();
int64_t PauseStartTime = 0;
double PausedSeconds = 0.0;
bool PauseActive = false;
// Rows appended since the store was last trimmed. A lowered limit applies only
// with the next row, so a step without one leaves the store as it is.
bool RowsAppended = false;

// Lines for standard error, written once the step has released the data lock.
std::string PendingReport;
// Invalid bytes are reported one line each only up to a number a second; the
// rest are counted and reported in one line when the second is over.
int64_t InvalidReportStart = SteadyNowNs();
int InvalidBytesShown = 0;
size_t InvalidBytesNotShown = 0;

void EmptyRing() { SerialRingBuffer = RingBuffer{}; }

// The bytes parsed so far belong to no line that can still be completed: the
// next line starts after the next LF.
void DropUnfinishedLine()
{
    EmptyRing();
    LineSynced = false;
    TokenBuffer.clear();
    LineValues.clear();
    LineLength = 0;
    OverlongLineReported = false;
}

void Report(const std::string& line) { PendingReport += line + "\n"; }

void WriteReport(const std::string& report)
{
    if (report.empty())
        return;
    fwrite(report.data(), 1, report.size(), stderr);
    fflush(stderr);
}

void StartInvalidReportSecond(int64_t now)
{
    if (now - InvalidReportStart < 1000000000)
        return;
    if (InvalidBytesNotShown > 0)
        Report("Invalid characters received but not shown: " + std::to_string(InvalidBytesNotShown) +
               " (only the first " + std::to_string(InvalidBytesShownPerSecond) + " of a second are shown)");
    InvalidReportStart = now;
    InvalidBytesShown = 0;
    InvalidBytesNotShown = 0;
}

void ReportInvalidByte(uint8_t byte)
{
    if (InvalidBytesShown >= InvalidBytesShownPerSecond)
    {
        InvalidBytesNotShown++;
        return;
    }
    InvalidBytesShown++;
    Report("Invalid character received: " + std::to_string((int)(int8_t)byte));
}

// Bytes of 0x80 and above are reported and never stored. The caller never
// passes more bytes than the ring has room for.
void StoreReceivedBytes(const uint8_t* bytes, size_t count)
{
    for (size_t i = 0; i < count; i++)
    {
        if (bytes[i] >= 0x80)
        {
            ReportInvalidByte(bytes[i]);
            continue;
        }
        SerialRingBuffer.bytes[SerialRingBuffer.head] = bytes[i];
        SerialRingBuffer.head = (SerialRingBuffer.head + 1) % SerialRingCapacity;
        SerialRingBuffer.count++;
    }
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The decimal separator is the full stop whatever the process locale says.
locale_t CLocale()
{
    static locale_t c_locale = newlocale(LC_ALL_MASK, "C", (locale_t)0);
    return c_locale;
}

// Accepts a field of digits with at most one "." and at most one "-", which
// must come first, and converts it as std::stof would; a range error drops it.
void ApplyFieldRule()
{
    const std::string& token = TokenBuffer;
    if (token.empty())
        return;
    size_t digits = 0, points = 0, minus = 0;
    for (size_t i = 0; i < token.size(); i++)
    {
        if (IsDigit(token[i]))
            digits++;
        else if (token[i] == '.')
            points++;
        else if (token[i] == '-')
        {
            minus++;
            if (i != 0)
                return;
        }
    }
    if (digits == 0 || points > 1 || minus > 1)
        return;

    errno = 0;
    char* end = nullptr;
    const float value = strtof_l(token.c_str(), &end, CLocale());
    if (errno == ERANGE || end == token.c_str())
        return;
    LineValues.push_back(value);
}

void FinishLine(size_t channel_count)
{
    ApplyFieldRule();
    TokenBuffer.clear();
    LineSynced = false;
    LineLength = 0;
    OverlongLineReported = false;

    // Missing channels repeat their newest value, or 0.0; extra values are dropped.
    // The store is trimmed once per step, so with a limit of 0 it may still hold
    // rows here that are no longer kept.
    const bool keeps_rows = GetMaxPointsPerChannel() > 0;
    if (LineValues.size() > channel_count)
        LineValues.resize(channel_count);
    for (size_t i = LineValues.size(); i < channel_count; i++)
        LineValues.push_back(keeps_rows && i < ChannelHistories.size() && !ChannelHistories[i].empty()
                                 ? ChannelHistories[i].back()
                                 : 0.0f);

    const double t = (double)(SteadyNowNs() - AcquisitionStartTime) / 1e9 - PausedSeconds;
    AppendSampleUntrimmed(LineValues, (float)t);
    RowsAppended = true;
    // Writes only while recording; asked under the recorder's own lock, so a
    // row costs one lock and one check of the file, not two.
    WriteCsvRow(t, LineValues);
}

void TrimAfterAppends()
{
    if (RowsAppended)
        TrimChannelData();
    RowsAppended = false;
}

void DropOverlongLine()
{
    LineSynced = false;
    TokenBuffer.clear();
    LineValues.clear();
    LineLength = 0;
    if (!OverlongLineReported)
    {
        Report("Warning: Dropped a serial line longer than " + std::to_string(MaxSerialLineLength) +
               " bytes (no CR received)");
        OverlongLineReported = true;
    }
}

void HandleByte(uint8_t byte, size_t channel_count)
{
    if (!LineSynced)
    {
        if (byte == '\n')
        {
            LineSynced = true;
            TokenBuffer.clear();
            LineValues.clear();
            LineLength = 0;
        }
        return;
    }
    if (byte == '\r')
    {
        FinishLine(channel_count);
        return;
    }
    if (++LineLength > MaxSerialLineLength)
    {
        DropOverlongLine();
        return;
    }
    if (byte == ',')
    {
        ApplyFieldRule();
        TokenBuffer.clear();
    }
    else if (IsDigit((char)byte) || byte == '-' || byte == '.')
        TokenBuffer.push_back((char)byte);
}

// Every byte in the ring is parsed, every complete line becomes a sample.
void ParseRing(size_t channel_count)
{
    while (SerialRingBuffer.count > 0)
    {
        const uint8_t byte = SerialRingBuffer.bytes[SerialRingBuffer.tail];
        SerialRingBuffer.tail = (SerialRingBuffer.tail + 1) % SerialRingCapacity;
        SerialRingBuffer.count--;
        HandleByte(byte, channel_count);
    }
}
} // namespace

void ParseSerialBytes(const uint8_t* bytes, size_t count)
{
    const size_t channel_count = ChannelHistories.size();
    StartInvalidReportSecond(SteadyNowNs());
    while (count > 0)
    {
        const size_t room = SerialRingCapacity - SerialRingBuffer.count;
        const size_t n = std::min(room, count);
        StoreReceivedBytes(bytes, n);
        ParseRing(channel_count);
        bytes += n;
        count -= n;
    }
    TrimAfterAppends();
    WriteReport(PendingReport);
    PendingReport.clear();
}

void ResetSerialParser()
{
    DropUnfinishedLine();
    AcquisitionStartTime = SteadyNowNs();
    PauseStartTime = 0;
    PausedSeconds = 0.0;
    PauseActive = false;
    PendingReport.clear();
    InvalidReportStart = SteadyNowNs();
    InvalidBytesShown = 0;
    InvalidBytesNotShown = 0;
}

namespace
{
void ProcessSerialInputLocked()
{
    StartInvalidReportSecond(SteadyNowNs());

    // Channel fit.
    const int n = GetChannelCount();
    if (ChannelHistories.size() != (size_t)std::max(n, 0))
    {
        SampleTimes.clear();
        ChannelHistories.assign((size_t)std::max(n, 0), {});
    }

    // Closed port: the store empties and the time origin follows the clock.
    if (!IsSerialPortOpen())
    {
        if (!SampleTimes.empty())
        {
            printf("[RESET WARNING] Clearing data with %zu data points\n", SampleTimes.size());
            fflush(stdout);
        }
        AcquisitionStartTime = SteadyNowNs();
        PausedSeconds = 0.0;
        PauseActive = false;
        SampleTimes.clear();
        for (std::vector<float>& history : ChannelHistories)
            history.clear();
        // What comes after the next open is not the rest of this line.
        DropUnfinishedLine();
        return;
    }

    // Read only what the ring has room for; what stays in the driver is read
    // next. Stop when the port holds nothing more or the step's bound is reached.
    size_t handled = 0;
    while (handled < MaxSerialBytesPerStep)
    {
        uint8_t buffer[SerialRingCapacity];
        const size_t room = SerialRingCapacity - SerialRingBuffer.count;
        uint64_t session = 0;
        std::string lost;
        const long got = ReadSerialPort(buffer, std::min(room, MaxSerialBytesPerStep - handled), &session, &lost);
        if (got == SerialPortLost)
        {
            // The port is closed now; the next step clears the store.
            DropUnfinishedLine();
            if (!lost.empty())
                Report(lost);
            break;
        }
        if (got <= 0)
            break;
        // Closed and opened again (perhaps another device) since the line began.
        if (session != LineSession)
        {
            DropUnfinishedLine();
            LineSession = session;
        }
        StoreReceivedBytes(buffer, (size_t)got);
        ParseRing(ChannelHistories.size());
        handled += (size_t)got;
    }
    TrimAfterAppends();
}
} // namespace

void ProcessSerialInput()
{
    std::string report;
    {
        std::lock_guard<std::mutex> lock(ChannelDataMutex);
        ProcessSerialInputLocked();
        report.swap(PendingReport);
    }
    // Written without the lock, so a slow console never holds up the frames.
    WriteReport(report);
}

void SerialThreadMain()
{
    while (SerialThreadRunning.load())
    {
        if (IsAcquisitionPaused())
        {
            if (!PauseActive)
            {
                PauseStartTime = SteadyNowNs();
                PauseActive = true;
                // The rest of the line is discarded with the paused input.
                std::lock_guard<std::mutex> lock(ChannelDataMutex);
                DropUnfinishedLine();
            }
            // Input that arrives while paused is discarded, here and in the driver.
            EmptyRing();
            std::string lost;
            if (IsSerialPortOpen() && !PurgeSerialPort(&lost) && !lost.empty())
                WriteReport(lost + "\n");
        }
        else
        {
            if (PauseActive)
            {
                PausedSeconds += (double)(SteadyNowNs() - PauseStartTime) / 1e9;
                PauseActive = false;
            }
            ProcessSerialInput();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void StopSerialThread() { SerialThreadRunning.exchange(false); }
