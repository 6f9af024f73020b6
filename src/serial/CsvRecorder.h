// CSV recording of every received sample. One recorder, CsvRecorderInstance,
// reached through the free functions below.
#pragma once

#include <cstdint>
#include <fstream>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <vector>

class CsvRecorder
{
public:
    ~CsvRecorder();

    bool Start(const std::string& file_name, const std::vector<std::string>& channel_names);
    bool WriteRow(double time, const std::vector<float>& values);
    void Stop();

    bool IsRecording();
    std::string GetFileName();
    uint64_t GetRowCount();

private:
    // Writes one line and flushes it; false (after reporting once) when the
    // bytes did not reach the file.
    bool WriteLine(const std::string& line);

    std::ofstream file;
    std::string fileName;
    bool recording = false;
    uint64_t rowsWritten = 0;
    std::mutex mutex;

    // The file as opened: a write into a file removed or replaced since is lost.
    dev_t fileDevice = 0;
    ino_t fileInode = 0;
    bool writeFailed = false;
};

extern CsvRecorder CsvRecorderInstance;

bool StartCsvRecording(const std::string& file_name, const std::vector<std::string>& channel_names);
void StopCsvRecording();
bool WriteCsvRow(double time, const std::vector<float>& values);
bool IsCsvRecording();
std::string GetCsvFileName();
uint64_t GetCsvRowCount();

// prefix + "_" + local time as %Y%m%d_%H%M%S + ".csv"
std::string MakeTimestampedFileName(const std::string& prefix);
