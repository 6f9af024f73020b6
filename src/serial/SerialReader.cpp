#include "serial/SerialReader.h"

#include "serial/ChannelData.h"
#include "serial/CsvRecorder.h"
#include "serial/SerialPort.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
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
// Synchronised: a line end has been seen since the open (or since a line was
// dropped), so the bytes that follow start a line.
bool LineSynced = false;
// The bytes of the field being read.
std::string TokenBuffer;
// The line's fields as read, whatever the channel count: the row is fitted to
// the count only at the line end, so a change of the count in the middle of a
// line never leaves a channel without the number the line carried.
struct LineField
{
    bool accepted;
    float value;  // for the store
    double exact; // the number as the device wrote it, for the recording
};
std::vector<LineField> LineFields;
bool LineHasNumber = false;        // some field of the line, kept or not, held a number
bool LineInvalid = false;          // a NUL or a byte of 0x80 and above arrived in the line
size_t LineLength = 0;             // bytes of the current line so far
bool OverlongLineReported = false; // one message per run of over-long lines
uint64_t LineSession = 0;          // the port opening the bytes of the current line came from
// The row being appended: the store's floats, and the numbers for the recording
// (NaN for a filled channel, recorded from its float as the store holds it).
std::vector<float> RowValues;
std::vector<double> RowExact;
// The point limit, read once a step: the fills and the trim of one step agree.
int StepMaxPoints = 0;
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
    LineFields.clear();
    LineHasNumber = false;
    LineInvalid = false;
    LineLength = 0;
}

// The bytes parsed so far belong to no line that can still be completed: the
// next line starts after the next line end.
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

// Bytes of 0x80 and above are reported and stored as a NUL, which spoils
// the line they arrived in. The caller never passes more bytes than the ring
// has room for.
void StoreReceivedBytes(const uint8_t* bytes, size_t count)
{
    for (size_t i = 0; i < count; i++)
    {
        uint8_t byte = bytes[i];
        if (byte >= 0x80)
        {
            ReportInvalidByte(byte);
            byte = 0;
        }
        SerialRingBuffer.bytes[SerialRingBuffer.head] = byte;
        SerialRingBuffer.head = (SerialRingBuffer.head + 1) % SerialRingCapacity;
        SerialRingBuffer.count++;
    }
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

size_t SkipBlanks(const std::string& s, size_t i)
{
    while (i < s.size() && IsBlank(s[i]))
        i++;
    return i;
}

size_t SkipDigits(const std::string& s, size_t i)
{
    while (i < s.size() && IsDigit(s[i]))
        i++;
    return i;
}

// A field is an optional label (starting with a letter, ending with the first
// ":" or "="), one number (sign, digits with at most one ".", an optional
// exponent) and an optional unit without digits; blanks may stand between
// them. "A1:300" is 300, "23.5C" is 23.5; "ch1", "v1.0", "0x3f", "12:30" and
// "1-2" hold a digit that is no number's: the field is dropped, as one without
// a number is. A number beyond the float's range is dropped too.
bool FieldAccepted(const std::string& field, float& value, double& exact)
{
    size_t i = SkipBlanks(field, 0);
    if (i < field.size() && IsLetter(field[i]))
    {
        const size_t end = field.find_first_of(":=", i);
        if (end == std::string::npos)
            return false;
        i = SkipBlanks(field, end + 1);
    }
    size_t number = i;
    if (i < field.size() && field[i] == '+')
        number = ++i; // from_chars takes no plus sign
    else if (i < field.size() && field[i] == '-')
        i++;
    const size_t digits = i;
    const size_t int_digits = SkipDigits(field, i) - i;
    i += int_digits;
    size_t frac_digits = 0;
    if (i < field.size() && field[i] == '.')
    {
        frac_digits = SkipDigits(field, i + 1) - (i + 1);
        i += 1 + frac_digits;
    }
    if (int_digits + frac_digits == 0)
        return false;
    if (i < field.size() && (field[i] == 'e' || field[i] == 'E'))
    {
        size_t e = i + 1;
        if (e < field.size() && (field[e] == '+' || field[e] == '-'))
            e++;
        if (e < field.size() && IsDigit(field[e]))
            i = SkipDigits(field, e);
    }
    const size_t number_end = i;
    // "0x..." is hexadecimal, not a 0 with a unit.
    if (i < field.size() && (field[i] == 'x' || field[i] == 'X') && field.find_first_not_of('0', digits) >= number_end)
        return false;
    for (; i < field.size(); i++)
        if (IsDigit(field[i]))
            return false;

    // Both conversions read exactly the number; the full stop is the separator whatever the locale.
    const char* first = field.data() + number;
    const char* last = field.data() + number_end;
    const std::from_chars_result f = std::from_chars(first, last, value);
    const std::from_chars_result d = std::from_chars(first, last, exact);
    // Too large or too small for a float (below its normal range, as std::stof
    // tells a range error): dropped.
    if (f.ec != std::errc() || d.ec != std::errc() || f.ptr != last ||
        (exact != 0.0 && std::fabs(exact) < std::numeric_limits<float>::min()))
        return false;
    return true;
}

// Seconds since the time origin, pauses left out.
double SampleTime(int64_t now) { return (double)(now - AcquisitionStartTime) / 1e9 - PausedSeconds; }

// Missing and dropped channels repeat their newest value, or 0.0. The store
// is trimmed once per step, so with a limit of 0 it may still hold rows here
// that are no longer kept.
float FillValue(size_t channel)
{
    return StepMaxPoints > 0 && channel < ChannelHistories.size() && !ChannelHistories[channel].empty()
               ? ChannelHistories[channel].back()
               : 0.0f;
}

// Ends the field at "," or at the line end. Fields beyond those that any
// channel count can use are only checked for a number.
void EndField(size_t channel_count)
{
    LineField field{};
    field.accepted = FieldAccepted(TokenBuffer, field.value, field.exact);
    LineHasNumber = LineHasNumber || field.accepted;
    if (LineFields.size() < std::max<size_t>(MaxChannelCount, channel_count))
        LineFields.push_back(field);
    TokenBuffer.clear();
}

// The line is fitted to the channel count of this step: field i is channel i,
// a dropped or missing field's channel is filled, extra fields are dropped.
void FinishLine(size_t channel_count)
{
    EndField(channel_count);
    OverlongLineReported = false;
    // A banner, a blank line, a column header, an error text or a line that
    // carried invalid bytes is no sample.
    bool sample = channel_count == 0 && LineHasNumber;
    for (size_t i = 0; i < channel_count && i < LineFields.size(); i++)
        sample = sample || LineFields[i].accepted;
    if (!sample || LineInvalid)
    {
        ClearLine();
        return;
    }
    RowValues.resize(channel_count);
    RowExact.resize(channel_count);
    for (size_t i = 0; i < channel_count; i++)
    {
        const bool kept = i < LineFields.size() && LineFields[i].accepted;
        RowValues[i] = kept ? LineFields[i].value : FillValue(i);
        RowExact[i] = kept ? LineFields[i].exact : NAN;
    }

    const double t = SampleTime(SteadyNowNs());
    AppendSampleUntrimmed(RowValues, (float)t);
    RowsAppended = true;
    // Queued only while recording (asked under the recorder's own lock); the
    // step's rows reach the file together once the step is done.
    QueueCsvRow(t, RowValues, RowExact);
    ClearLine();
}

void TrimAfterAppends()
{
    if (RowsAppended)
        TrimChannelData(StepMaxPoints);
    RowsAppended = false;
}

void DropOverlongLine()
{
    LineSynced = false;
    ClearLine();
    if (!OverlongLineReported)
    {
        Report("Warning: Dropped a serial line longer than " + std::to_string(MaxSerialLineLength) +
               " bytes (no line end received)");
        OverlongLineReported = true;
    }
}

// CR LF, LF, CR and LF CR each end a line; the empty line between a CR and
// an LF adds nothing.
void HandleByte(uint8_t byte, size_t channel_count)
{
    const bool line_end = byte == '\r' || byte == '\n';
    if (!LineSynced)
    {
        if (line_end)
        {
            LineSynced = true;
            ClearLine();
        }
        return;
    }
    if (line_end)
    {
        // An empty line adds nothing and ends no run of over-long lines.
        if (LineLength > 0)
            FinishLine(channel_count);
        return;
    }
    if (++LineLength > MaxSerialLineLength)
    {
        DropOverlongLine();
        return;
    }
    if (byte == ',')
        EndField(channel_count);
    else if (byte == 0)
        LineInvalid = true;
    else
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
    StepMaxPoints = GetMaxPointsPerChannel();
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
    StepMaxPoints = GetMaxPointsPerChannel();

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
