#include "serial/CsvRecorder.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <iomanip>
#include <locale>
#include <sstream>
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
static int OpenNewFile(const std::string& file_name, std::string* used_name)
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
            return -1;
    }
    return -1;
}

bool CsvRecorder::Start(const std::string& file_name, const std::vector<std::string>& channel_names,
                        bool replace_existing)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (recording)
    {
        ReportError("Error: CSV recording already in progress - stop current recording first");
        return false;
    }
    stopReason.clear();
    if (file_name.empty())
    {
        ReportError("Error: CSV filename cannot be empty");
        return false;
    }
    if (channel_names.empty())
    {
        ReportError("Error: Channel names vector cannot be empty");
        return false;
    }

    // No stream buffer: a row reaches the file whole or not at all.
    std::string used_name = file_name;
    file = replace_existing ? open(file_name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)
                            : OpenNewFile(file_name, &used_name);
    if (file < 0)
    {
        ReportError("Error: Failed to open CSV file: " + file_name);
        return false;
    }

    fileName = used_name;
    fileEnd = 0;
    openedPath = CurrentPath(file);
    recording = true;
    rowsWritten = 0;
    rowsRefused = 0;

    std::string header = "Timestamp";
    for (const std::string& name : channel_names)
        header += "," + CsvField(name);
    const std::string reason = WriteLine(header);
    if (!reason.empty())
    {
        // Nothing of the recording reached the disk: it has not started.
        ReportError("Error writing to CSV file: " + fileName + ": " + reason);
        CloseFile();
        return false;
    }
    return true;
}

std::string CsvRecorder::WriteLine(const std::string& text)
{
    // Checked on the open file, not by name: a renamed or moved file still
    // takes the rows, a deleted one would swallow them.
    struct stat info;
    if (fstat(file, &info) != 0)
        return strerror(errno);
    if (info.st_nlink == 0)
        return "the file was deleted";

    const std::string line = text + CsvLineEnd;
    size_t done = 0;
    while (done < line.size())
    {
        const ssize_t n = write(file, line.data() + done, line.size() - done);
        if (n > 0)
        {
            done += (size_t)n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        std::string reason = n < 0 ? strerror(errno) : "nothing was written";
        // The file ends at the last whole line, never in a half row.
        if (done > 0 && ftruncate(file, fileEnd) != 0)
            reason += " (a partial row is left at the end)";
        return reason;
    }
    fileEnd += (off_t)line.size();
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
}

bool CsvRecorder::WriteRow(double time, const std::vector<float>& values)
{
    std::lock_guard<std::mutex> lock(mutex);
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

    std::string reason;
    try
    {
        std::ostringstream row;
        row.imbue(std::locale::classic());
        row << std::fixed << std::setprecision(6) << time;
        for (float value : values)
            row << "," << value;
        reason = WriteLine(row.str());
    }
    catch (const std::exception& e)
    {
        ReportError(std::string("Error writing to CSV file: ") + e.what());
        return false;
    }
    if (!reason.empty())
    {
        EndRecording(reason);
        return false;
    }
    rowsWritten++;
    rowsRefused = 0;
    return true;
}

void CsvRecorder::Stop()
{
    std::lock_guard<std::mutex> lock(mutex);
    if (!recording)
        return;
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

bool StartCsvRecording(const std::string& file_name, const std::vector<std::string>& channel_names,
                       bool replace_existing)
{
    return CsvRecorderInstance.Start(file_name, channel_names, replace_existing);
}

void StopCsvRecording() { CsvRecorderInstance.Stop(); }

bool WriteCsvRow(double time, const std::vector<float>& values) { return CsvRecorderInstance.WriteRow(time, values); }

bool IsCsvRecording() { return CsvRecorderInstance.IsRecording(); }

std::string GetCsvFileName() { return CsvRecorderInstance.GetFileName(); }

uint64_t GetCsvRowCount() { return CsvRecorderInstance.GetRowCount(); }

uint64_t GetCsvRefusedRowCount() { return CsvRecorderInstance.GetRefusedRowCount(); }

std::string GetCsvStopReason() { return CsvRecorderInstance.GetStopReason(); }

std::string MakeTimestampedFileName(const std::string& prefix)
{
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local;
    localtime_r(&now, &local);
    char stamp[32];
    strftime(stamp, sizeof(stamp), "%Y%m%d_%H%M%S", &local);
    return prefix + "_" + stamp + ".csv";
}
