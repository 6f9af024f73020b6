#include "serial/CsvRecorder.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

CsvRecorder CsvRecorderInstance;

// Windows text mode writes CR LF; write it explicitly so the files are the same.
static const char* const CsvLineEnd = "\r\n";

static void ReportError(const std::string& text)
{
    fprintf(stderr, "%s\n", text.c_str());
    fflush(stderr);
}

// A name holding a comma, a double quote or a line break is quoted, its
// quotes doubled; any other name goes in as it is.
static std::string CsvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text)
    {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

// Where the open file is now, from the kernel; "" when it cannot be told.
static std::string CurrentPath(int fd)
{
    char path[4096];
    const ssize_t n = readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path, sizeof(path) - 1);
    return n > 0 ? std::string(path, (size_t)n) : std::string();
}

// Fixed notation, six decimals, full stop as the separator whatever the locale.
static void AppendFixed(std::string& out, double value)
{
    char text[400]; // the longest double in fixed notation with six decimals fits
    const std::to_chars_result r = std::to_chars(text, text + sizeof(text), value, std::chars_format::fixed, 6);
    out.append(text, r.ptr);
}

// A value is printed from the shortest decimal that reads back as the same
// float, so 23.7 gives 23.700000 and not the float's 23.700001.
static void AppendValue(std::string& out, float value)
{
    char text[64]; // the longest float in fixed notation fits
    const std::to_chars_result r = std::to_chars(text, text + sizeof(text), value, std::chars_format::fixed);
    const char* point = std::find(text, r.ptr, '.');
    const size_t decimals = point == r.ptr ? 0 : (size_t)(r.ptr - point - 1);
    if (!std::isfinite(value) || decimals > 6)
    {
        // More decimals than are kept: round that decimal to six.
        double decimal = value;
        std::from_chars(text, r.ptr, decimal);
        AppendFixed(out, decimal);
        return;
    }
    out.append(text, r.ptr);
    if (point == r.ptr)
        out += '.';
    out.append(6 - decimals, '0');
}

// A number the device sent, from its double: the shortest decimal that reads
// back as that double, with six decimals at least, so 16777217 stays
// 16777217.000000 and 0.1234567 keeps its seventh decimal.
static void AppendExact(std::string& out, double value)
{
    char text[400]; // the longest double in fixed notation fits
    const std::to_chars_result r = std::to_chars(text, text + sizeof(text), value, std::chars_format::fixed);
    const char* point = std::find(text, r.ptr, '.');
    const size_t decimals = point == r.ptr ? 0 : (size_t)(r.ptr - point - 1);
    out.append(text, r.ptr);
    if (point == r.ptr)
        out += '.';
    if (decimals < 6)
        out.append(6 - decimals, '0');
}

CsvRecorder::~CsvRecorder() { Stop(); }

// Suffixes tried for a name that is taken and must not be replaced.
static const int MaxFileNameSuffix = 100;

// "name.csv" with suffix n is "name_n.csv"; a name without ".csv" gets "_n" at its end.
static std::string SuffixedFileName(const std::string& name, int n)
{
    const std::string ext = ".csv";
    const bool has_ext = name.size() > ext.size() && name.compare(name.size() - ext.size(), ext.size(), ext) == 0;
    const size_t stem = has_ext ? name.size() - ext.size() : name.size();
    return name.substr(0, stem) + "_" + std::to_string(n) + name.substr(stem);
}

// Creates a file that did not exist: the name itself, or the first free
// suffixed name. O_EXCL claims a name in the same step that finds it free, so
// nothing created between a check and the open is ever replaced.
static int OpenNewFile(const std::string& file_name, std::string* used_name, std::string* reason)
{
    for (int n = 1; n <= MaxFileNameSuffix; n++)
    {
        const std::string name = n == 1 ? file_name : SuffixedFileName(file_name, n);
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
        {
            *used_name = name;
            return fd;
        }
        if (errno != EEXIST) // no folder, no permission: no suffix helps
        {
            *reason = strerror(errno);
            return -1;
        }
    }
    *reason = "no free name up to " + SuffixedFileName(file_name, MaxFileNameSuffix);
    return -1;
}

// Why a name that is not a regular file is refused.
static std::string NotRegularFile(mode_t mode)
{
    const char* kind = S_ISDIR(mode)    ? "a directory"
                       : S_ISCHR(mode)  ? "a character device"
                       : S_ISBLK(mode)  ? "a block device"
                       : S_ISFIFO(mode) ? "a FIFO"
                       : S_ISSOCK(mode) ? "a socket"
                                        : "of another kind";
    return std::string("not a regular file (") + kind + ")";
}

// Opens the file to record to, replacing a regular file of that name. A
// device, a FIFO or a directory is refused: O_NONBLOCK keeps the open of a
// FIFO with no reader (or of a device) from blocking, and the type is checked
// on the opened descriptor, so nothing can be swapped in between.
static int OpenReplacing(const std::string& file_name, std::string* reason)
{
    // Refused before any open: opening a serial device raises its DTR line,
    // which resets many boards.
    struct stat info;
    if (stat(file_name.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
    {
        *reason = NotRegularFile(info.st_mode);
        return -1;
    }
    const int fd = open(file_name.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0)
    {
        const int error = errno;
        // Made a FIFO or a folder since the check: say what the name is
        // rather than the open's errno (ENXIO, EISDIR).
        if (stat(file_name.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
            *reason = NotRegularFile(info.st_mode);
        else
            *reason = strerror(error);
        return -1;
    }
    if (fstat(fd, &info) != 0)
        *reason = strerror(errno);
    else if (!S_ISREG(info.st_mode))
        *reason = NotRegularFile(info.st_mode);
    else if (ftruncate(fd, 0) != 0 || fcntl(fd, F_SETFL, 0) != 0)
        *reason = strerror(errno);
    else
        return fd;
    close(fd);
    return -1;
}

// Said on standard error, and kept for the user until the next start.
void CsvRecorder::StartFailed(const std::string& text)
{
    ReportError(text);
    startError = text;
}

bool CsvRecorder::Start(const std::string& file_name, const std::vector<std::string>& channel_names,
                        bool replace_existing)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (recording)
    {
        StartFailed("Error: CSV recording already in progress - stop current recording first");
        return false;
    }
    stopReason.clear();
    startError.clear();
    if (file_name.empty())
    {
        StartFailed("Error: CSV filename cannot be empty");
        return false;
    }
    if (channel_names.empty())
    {
        StartFailed("Error: Channel names vector cannot be empty");
        return false;
    }

    // No stream buffer: a row reaches the file whole or not at all.
    std::string used_name = file_name;
    std::string reason;
    file = replace_existing ? OpenReplacing(file_name, &reason) : OpenNewFile(file_name, &used_name, &reason);
    if (file < 0)
    {
        StartFailed("Error: Failed to open CSV file: " + file_name + ": " + reason);
        return false;
    }

    fileName = used_name;
    fileEnd = 0;
    openedPath = CurrentPath(file);
    recording = true;
    rowsWritten = 0;
    rowsRefused = 0;
    pendingRows.clear();
    pendingValues.clear();
    pendingExact.clear();
    timeOffset = 0.0;

    std::string header = "Timestamp";
    for (const std::string& name : channel_names)
        header += "," + CsvField(name);
    uint64_t lines = 0;
    reason = WriteLines(header + CsvLineEnd, &lines);
    if (!reason.empty())
    {
        // Nothing of the recording reached the disk: it has not started.
        StartFailed("Error writing to CSV file: " + fileName + ": " + reason);
        CloseFile();
        return false;
    }
    return true;
}

std::string CsvRecorder::WriteLines(const std::string& lines, uint64_t* lines_written)
{
    *lines_written = 0;
    // Checked on the open file, not by name: a renamed or moved file still
    // takes the rows, a deleted one would swallow them.
    struct stat info;
    if (fstat(file, &info) != 0)
        return strerror(errno);
    if (info.st_nlink == 0)
        return "the file was deleted";

    size_t done = 0;
    while (done < lines.size())
    {
        const ssize_t n = write(file, lines.data() + done, lines.size() - done);
        if (n > 0)
        {
            done += (size_t)n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        std::string reason = n < 0 ? strerror(errno) : "nothing was written";
        // The lines that reached the file whole stay; the file ends at the
        // last of them, never in a half row.
        size_t kept = 0;
        if (done > 0)
        {
            const size_t last = lines.rfind('\n', done - 1);
            kept = last == std::string::npos ? 0 : last + 1;
        }
        *lines_written = (uint64_t)std::count(lines.begin(), lines.begin() + (std::ptrdiff_t)kept, '\n');
        fileEnd += (off_t)kept;
        if (done > kept && ftruncate(file, fileEnd) != 0)
            reason += " (a partial row is left at the end)";
        return reason;
    }
    fileEnd += (off_t)lines.size();
    *lines_written = (uint64_t)std::count(lines.begin(), lines.end(), '\n');
    return "";
}

void CsvRecorder::FollowRename()
{
    struct stat info;
    if (file < 0 || openedPath.empty() || fstat(file, &info) != 0 || info.st_nlink == 0)
        return;
    const std::string now = CurrentPath(file);
    if (!now.empty() && now != openedPath)
        openedPath = fileName = now;
}

// A recording that cannot go on ends here, and says why until the next start.
void CsvRecorder::EndRecording(const std::string& reason)
{
    FollowRename();
    ReportError("Error writing to CSV file: " + fileName + ": " + reason);
    stopReason = "Recording stopped: " + fileName + ": " + reason + " (" + std::to_string(rowsWritten) +
                 (rowsWritten == 1 ? " row" : " rows") + " recorded)";
    CloseFile();
}

void CsvRecorder::CloseFile()
{
    if (file >= 0)
        close(file);
    file = -1;
    recording = false;
    fileName.clear();
    openedPath.clear();
    rowsRefused = 0;
    pendingRows.clear();
    pendingValues.clear();
    pendingExact.clear();
}

bool CsvRecorder::AddRow(double time, const std::vector<float>& values, const std::vector<double>* exact)
{
    if (!recording || file < 0)
        return false;
    if (values.empty())
    {
        // Said once for a run of refused rows, not once a row: with no
        // channels every received line is refused. The count tells the rest.
        if (rowsRefused == 0)
            ReportError("Error: Cannot write empty data vector to CSV");
        rowsRefused++;
        return false;
    }

    try
    {
        pendingRows.push_back({time + timeOffset, pendingValues.size(), values.size()});
        pendingValues.insert(pendingValues.end(), values.begin(), values.end());
        for (size_t i = 0; i < values.size(); i++)
            pendingExact.push_back(exact && i < exact->size() ? (*exact)[i] : NAN);
    }
    catch (const std::exception& e)
    {
        pendingValues.resize(pendingRows.back().firstValue);
        pendingExact.resize(std::min(pendingExact.size(), pendingRows.back().firstValue));
        pendingRows.pop_back();
        ReportError(std::string("Error writing to CSV file: ") + e.what());
        return false;
    }
    rowsRefused = 0;
    return true;
}

bool CsvRecorder::WritePendingRows()
{
    if (pendingRows.empty())
        return true;
    std::string reason;
    uint64_t written = 0;
    try
    {
        rowText.clear();
        for (const PendingRow& row : pendingRows)
        {
            AppendFixed(rowText, row.time);
            for (size_t i = 0; i < row.valueCount; i++)
            {
                rowText += ',';
                const double exact = pendingExact[row.firstValue + i];
                if (std::isnan(exact))
                    AppendValue(rowText, pendingValues[row.firstValue + i]);
                else
                    AppendExact(rowText, exact);
            }
            rowText += CsvLineEnd;
        }
        reason = WriteLines(rowText, &written);
    }
    catch (const std::exception& e)
    {
        reason = e.what();
    }
    rowsWritten += written;
    pendingRows.clear();
    pendingValues.clear();
    pendingExact.clear();
    if (!reason.empty())
    {
        EndRecording(reason);
        return false;
    }
    return true;
}

bool CsvRecorder::WriteRow(double time, const std::vector<float>& values)
{
    std::lock_guard<std::mutex> lock(mutex);
    return AddRow(time, values, nullptr) && WritePendingRows();
}

bool CsvRecorder::QueueRow(double time, const std::vector<float>& values)
{
    std::lock_guard<std::mutex> lock(mutex);
    return AddRow(time, values, nullptr);
}

bool CsvRecorder::QueueRow(double time, const std::vector<float>& values, const std::vector<double>& exact)
{
    std::lock_guard<std::mutex> lock(mutex);
    return AddRow(time, values, &exact);
}

void CsvRecorder::FlushRows()
{
    std::lock_guard<std::mutex> lock(mutex);
    if (recording)
        WritePendingRows();
}

void CsvRecorder::RestartTimeBase(double reached)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (recording && (rowsWritten > 0 || !pendingRows.empty()))
        timeOffset += reached;
}

void CsvRecorder::Stop()
{
    std::lock_guard<std::mutex> lock(mutex);
    if (!recording)
        return;
    // Rows queued by the reader's step are still part of the recording.
    if (WritePendingRows())
        CloseFile();
}

bool CsvRecorder::IsRecording()
{
    std::lock_guard<std::mutex> lock(mutex);
    // A file deleted while no rows arrive is noticed here, so nobody is told
    // that rows go to a file that is gone.
    struct stat info;
    if (recording && file >= 0 && fstat(file, &info) == 0 && info.st_nlink == 0)
        EndRecording("the file was deleted");
    return recording;
}

std::string CsvRecorder::GetFileName()
{
    std::lock_guard<std::mutex> lock(mutex);
    FollowRename();
    return fileName;
}

uint64_t CsvRecorder::GetRowCount()
{
    std::lock_guard<std::mutex> lock(mutex);
    return rowsWritten;
}

uint64_t CsvRecorder::GetRefusedRowCount()
{
    std::lock_guard<std::mutex> lock(mutex);
    return rowsRefused;
}

std::string CsvRecorder::GetStopReason()
{
    std::lock_guard<std::mutex> lock(mutex);
    return stopReason;
}

std::string CsvRecorder::GetStartError()
{
    std::lock_guard<std::mutex> lock(mutex);
    return startError;
}

bool StartCsvRecording(const std::string& file_name, const std::vector<std::string>& channel_names,
                       bool replace_existing)
{
    return CsvRecorderInstance.Start(file_name, channel_names, replace_existing);
}

void StopCsvRecording() { CsvRecorderInstance.Stop(); }

bool WriteCsvRow(double time, const std::vector<float>& values) { return CsvRecorderInstance.WriteRow(time, values); }

bool QueueCsvRow(double time, const std::vector<float>& values) { return CsvRecorderInstance.QueueRow(time, values); }

bool QueueCsvRow(double time, const std::vector<float>& values, const std::vector<double>& exact)
{
    return CsvRecorderInstance.QueueRow(time, values, exact);
}

void FlushCsvRows() { CsvRecorderInstance.FlushRows(); }

void RestartCsvTimeBase(double reached) { CsvRecorderInstance.RestartTimeBase(reached); }

bool IsCsvRecording() { return CsvRecorderInstance.IsRecording(); }

std::string GetCsvFileName() { return CsvRecorderInstance.GetFileName(); }

uint64_t GetCsvRowCount() { return CsvRecorderInstance.GetRowCount(); }

uint64_t GetCsvRefusedRowCount() { return CsvRecorderInstance.GetRefusedRowCount(); }

std::string GetCsvStopReason() { return CsvRecorderInstance.GetStopReason(); }

std::string GetCsvStartError() { return CsvRecorderInstance.GetStartError(); }

std::string MakeTimestampedFileName(const std::string& prefix)
{
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local;
    localtime_r(&now, &local);
    char stamp[32];
    strftime(stamp, sizeof(stamp), "%Y%m%d_%H%M%S", &local);
    return prefix + "_" + stamp + ".csv";
}
