#include "serial/CsvRecorder.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iomanip>
#include <locale>
#include <sstream>
#include <sys/stat.h>

CsvRecorder CsvRecorderInstance;

// Windows text mode writes CR LF; write it explicitly so the files are the same.
static const char* const CsvLineEnd = "\r\n";

static void ReportError(const std::string& text)
{
    fprintf(stderr, "%s\n", text.c_str());
    fflush(stderr);
}

CsvRecorder::~CsvRecorder() { Stop(); }

bool CsvRecorder::Start(const std::string& file_name, const std::vector<std::string>& channel_names)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (recording)
    {
        ReportError("Error: CSV recording already in progress - stop current recording first");
        return false;
    }
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

    // Binary, so nothing but our own CR LF ends a line.
    file.clear();
    file.open(file_name, std::ios::out | std::ios::trunc | std::ios::binary);
    struct stat info;
    if (!file.is_open() || stat(file_name.c_str(), &info) != 0)
    {
        if (file.is_open())
            file.close();
        ReportError("Error: Failed to open CSV file: " + file_name);
        return false;
    }

    fileName = file_name;
    fileDevice = info.st_dev;
    fileInode = info.st_ino;
    writeFailed = false;
    recording = true;
    rowsWritten = 0;

    std::string header = "Timestamp";
    for (const std::string& name : channel_names)
        header += "," + name;
    if (!WriteLine(header))
    {
        // Nothing of the recording reached the disk: it has not started.
        file.close();
        recording = false;
        fileName.clear();
        return false;
    }
    return true;
}

bool CsvRecorder::WriteLine(const std::string& line)
{
    if (writeFailed)
        return false;

    errno = 0;
    file << line << CsvLineEnd;
    file.flush();
    std::string reason;
    if (!file.good())
        reason = errno != 0 ? strerror(errno) : "the write failed";
    else
    {
        struct stat info;
        if (stat(fileName.c_str(), &info) != 0 || info.st_dev != fileDevice || info.st_ino != fileInode)
            reason = "the file was removed or replaced";
    }
    if (reason.empty())
        return true;

    // Said once per recording; every later row fails quietly.
    writeFailed = true;
    ReportError("Error writing to CSV file: " + fileName + ": " + reason);
    return false;
}

bool CsvRecorder::WriteRow(double time, const std::vector<float>& values)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (!recording || !file.is_open())
        return false;
    if (values.empty())
    {
        ReportError("Error: Cannot write empty data vector to CSV");
        return false;
    }

    try
    {
        std::ostringstream row;
        row.imbue(std::locale::classic());
        row << std::fixed << std::setprecision(6) << time;
        for (float value : values)
            row << "," << value;
        if (!WriteLine(row.str()))
            return false;
    }
    catch (const std::exception& e)
    {
        ReportError(std::string("Error writing to CSV file: ") + e.what());
        return false;
    }
    rowsWritten++;
    return true;
}

void CsvRecorder::Stop()
{
    std::lock_guard<std::mutex> lock(mutex);
    if (!recording)
        return;
    if (file.is_open())
        file.close();
    recording = false;
    fileName.clear();
}

bool CsvRecorder::IsRecording()
{
    std::lock_guard<std::mutex> lock(mutex);
    return recording;
}

std::string CsvRecorder::GetFileName()
{
    std::lock_guard<std::mutex> lock(mutex);
    return fileName;
}

uint64_t CsvRecorder::GetRowCount()
{
    std::lock_guard<std::mutex> lock(mutex);
    return rowsWritten;
}

bool StartCsvRecording(const std::string& file_name, const std::vector<std::string>& channel_names)
{
    return CsvRecorderInstance.Start(file_name, channel_names);
}

void StopCsvRecording() { CsvRecorderInstance.Stop(); }

bool WriteCsvRow(double time, const std::vector<float>& values) { return CsvRecorderInstance.WriteRow(time, values); }

bool IsCsvRecording() { return CsvRecorderInstance.IsRecording(); }

std::string GetCsvFileName() { return CsvRecorderInstance.GetFileName(); }

uint64_t GetCsvRowCount() { return CsvRecorderInstance.GetRowCount(); }

std::string MakeTimestampedFileName(const std::string& prefix)
{
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local;
    localtime_r(&now, &local);
    char stamp[32];
    strftime(stamp, sizeof(stamp), "%Y%m%d_%H%M%S", &local);
    return prefix + "_" + stamp + ".csv";
}
