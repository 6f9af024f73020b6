// CSV recording of every received sample. One recorder, CsvRecorderInstance,
// reached through the free functions below.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <vector>

class CsvRecorder
{
public:
    ~CsvRecorder();

    // replace_existing false: a file of that name is kept, and the recording
    // goes to the name with the first free suffix ("name_2.csv", "name_3.csv", ...).
    bool Start(const std::string& file_name, const std::vector<std::string>& channel_names,
               bool replace_existing = true);
    bool WriteRow(double time, const std::vector<float>& values);
    void Stop();

    bool IsRecording();
    std::string GetFileName();
    uint64_t GetRowCount();
    uint64_t GetRefusedRowCount();
    std::string GetStopReason();

private:
    // Writes one whole line or none of it; returns why it failed, or "".
    std::string WriteLine(const std::string& line);
    // The file's current path when it was renamed or moved while recording.
    void FollowRename();
    void CloseFile();
    void EndRecording(const std::string& reason);

    int file = -1; // the open CSV file while recording
    std::string fileName;
    bool recording = false;
    uint64_t rowsWritten = 0;
    std::mutex mutex;

    off_t fileEnd = 0;        // where the last whole line ends
    std::string openedPath;   // the file's absolute path as last seen, "" when unknown
    std::string stopReason;   // why a recording ended by itself; kept until the next start
    uint64_t rowsRefused = 0; // rows without values since the last row written; reported once a run
};

extern CsvRecorder CsvRecorderInstance;

bool StartCsvRecording(const std::string& file_name, const std::vector<std::string>& channel_names,
                       bool replace_existing = true);
void StopCsvRecording();
bool WriteCsvRow(double time, const std::vector<float>& values);
bool IsCsvRecording();
std::string GetCsvFileName();
uint64_t GetCsvRowCount();
// Rows refused (no values: no channels) since the last row written; 0 when
// rows are being recorded.
uint64_t GetCsvRefusedRowCount();
// Why the last recording ended by itself (a row could not be written, the
// file was deleted); "" when it did not or a new one has started.
std::string GetCsvStopReason();

// prefix + "_" + local time as %Y%m%d_%H%M%S + ".csv"
std::string MakeTimestampedFileName(const std::string& prefix);
