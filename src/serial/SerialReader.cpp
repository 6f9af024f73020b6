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
// The field's digits, "-" and "."; a blank after a digit or "." is kept as
// one space, so "1 2" is told from "12".
std::string TokenBuffer;
// The row of the current line, filled field by field: a dropped field keeps
// its place, and its channel is filled as a missing one.
std::vector<float> RowValues;
size_t LineFieldCount = 0;
bool LineIsSample = false;         // a channel got a number; with no channels, a field did
size_t LineLength = 0;             // bytes of the current line so far
bool OverlongLineReported = false; // one message per run of over-long lines
uint64_t LineSession = 0;          // the port opening the bytes of the current line came from
int64_t AcquisitionStartTime = SteadyNowNs();
int64_t PauseStartTime = 0;
double PausedSeconds = 0.0;
bool PauseActive = false;
// The device went away: the store keeps its rows, frozen, until a port is
// opened again. A close by the user clears them as before.
bool StoreFrozen = false;
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

void ClearLine()
{
    TokenBuffer.clear();
    LineFieldCount = 0;
    LineIsSample = false;
    LineLength = 0;
}

// The bytes parsed so far belong to no line that can still be completed: the
// next line starts after the next LF.
void DropUnfinishedLine()
{
    EmptyRing();
    LineSynced = false;
    ClearLine();
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

bool FieldAccepted(float& value)
{
    const std::string& token = TokenBuffer;
    if (token.empty())
        return false;
    size_t digits = 0, points = 0, minus = 0;
    bool blank = false;
    for (size_t i = 0; i < token.size(); i++)
    {
        // More of the number after a blank: two numbers, not one.
        if (token[i] == ' ')
            blank = true;
        else if (blank)
            return false;
        else if (IsDigit(token[i]))
            digits++;
        else if (token[i] == '.')
            points++;
        else if (token[i] == '-')
        {
            minus++;
            if (i != 0)
                return false;
        }
    }
    if (digits == 0 || points > 1 || minus > 1)
        return false;

    errno = 0;
    char* end = nullptr;
    value = strtof_l(token.c_str(), &end, CLocale());
    return errno != ERANGE && end != token.c_str();
}

// Seconds since the time origin, pauses left out.
double SampleTime(int64_t now) { return (double)(now - AcquisitionStartTime) / 1e9 - PausedSeconds; }

// Missing and dropped channels repeat their newest value, or 0.0. The store
// is trimmed once per step, so with a limit of 0 it may still hold rows here
// that are no longer kept.
float FillValue(size_t channel)
{
    return GetMaxPointsPerChannel() > 0 && channel < ChannelHistories.size() && !ChannelHistories[channel].empty()
               ? ChannelHistories[channel].back()
               : 0.0f;
}

// Accepts a field of digits with at most one "." and at most one "-", which
// must come first, and converts it as std::stof would; a range error drops it.
// A dropped field still takes its channel's place; extra fields are dropped.
void ApplyFieldRule(size_t channel_count)
{
    float value = 0.0f;
    const bool accepted = FieldAccepted(value);
    if (LineFieldCount < channel_count)
        RowValues[LineFieldCount] = accepted ? value : FillValue(LineFieldCount);
    if (accepted && (LineFieldCount < channel_count || channel_count == 0))
        LineIsSample = true;
    LineFieldCount++;
    TokenBuffer.clear();
}

void FinishLine(size_t channel_count)
{
    ApplyFieldRule(channel_count);
    LineSynced = false;
    OverlongLineReported = false;
    // A banner, a blank line, a column header or an error text is no sample.
    if (!LineIsSample)
    {
        ClearLine();
        return;
    }
    for (size_t i = LineFieldCount; i < channel_count; i++)
        RowValues[i] = FillValue(i);

    const double t = SampleTime(SteadyNowNs());
    AppendSampleUntrimmed(RowValues, (float)t);
    RowsAppended = true;
    // Queued only while recording (asked under the recorder's own lock); the
    // step's rows reach the file together once the step is done.
    QueueCsvRow(t, RowValues);
    ClearLine();
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
    ClearLine();
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
            ClearLine();
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
        ApplyFieldRule(channel_count);
    else if (IsDigit((char)byte) || byte == '-' || byte == '.')
        TokenBuffer.push_back((char)byte);
    else if ((byte == ' ' || byte == '\t') && !TokenBuffer.empty() &&
             (IsDigit(TokenBuffer.back()) || TokenBuffer.back() == '.'))
        TokenBuffer.push_back(' ');
}

// Every byte in the ring is parsed, every complete line becomes a sample.
void ParseRing(size_t channel_count)
{
    RowValues.resize(channel_count);
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
    StoreFrozen = false;
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
void ClearStore()
{
    if (!SampleTimes.empty())
    {
        printf("[RESET WARNING] Clearing data with %zu data points\n", SampleTimes.size());
        fflush(stdout);
    }
    SampleTimes.clear();
    for (std::vector<float>& history : ChannelHistories)
        history.clear();
}

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

    // Closed port: the store empties (unless its device went away) and the
    // time origin follows the clock. A recording keeps its own time going.
    if (!IsSerialPortOpen())
    {
        if (!StoreFrozen)
            ClearStore();
        const int64_t now = SteadyNowNs();
        RestartCsvTimeBase(SampleTime(now));
        AcquisitionStartTime = now;
        PausedSeconds = 0.0;
        PauseActive = false;
        // What comes after the next open is not the rest of this line.
        DropUnfinishedLine();
        return;
    }
    // A port is open again: the rows kept since the device went away go now.
    if (StoreFrozen)
    {
        ClearStore();
        StoreFrozen = false;
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
            // The port is closed now. Its data stays to be looked at.
            DropUnfinishedLine();
            if (!lost.empty())
            {
                Report(lost);
                StoreFrozen = true;
            }
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
    // Written without the lock, so a slow console or disk never holds up the frames.
    FlushCsvRows();
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
            // Input that arrives while paused is discarded, here and in the
            // driver; what the user sends meanwhile goes out untouched.
            EmptyRing();
            std::string lost;
            if (IsSerialPortOpen() && !PurgeSerialPort(&lost) && !lost.empty())
            {
                WriteReport(lost + "\n");
                StoreFrozen = true;
            }
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
