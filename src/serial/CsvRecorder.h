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
    // Writes the row, after any queued ones, at once.
    bool WriteRow(double time, const std::vector<float>& values);
    // Takes the row for the next FlushRows (or WriteRow, or Stop): the reader
    // queues a step's rows and writes them together.
    bool QueueRow(double time, const std::vector<float>& values);
    // The same, each value recorded as exact[i], the number the device sent;
    // a NaN there records values[i] as the store holds it (a filled channel).
    bool QueueRow(double time, const std::vector<float>& values, const std::vector<double>& exact);
    void FlushRows();
    // The sample time base restarted from 0 (the port was closed) after
    // reaching `reached` seconds: a recording that holds rows goes on from
    // there, so its time column never decreases.
    void RestartTimeBase(double reached);
    void Stop();

    bool IsRecording();
    std::string GetFileName();
    uint64_t GetRowCount();
    uint64_t GetRefusedRowCount();
    std::string GetStopReason();
    std::string GetStartError();

private:
    // Queues the row; false (and nothing queued) when it is refused.
    bool AddRow(double time, const std::vector<float>& values, const std::vector<double>* exact);
    // Formats and writes the queued rows, ending the recording when they
    // cannot be written.
    bool WritePendingRows();
    // Writes whole lines (each ended by CR LF); on a failure the file is cut
    // back to its last whole line. Returns why it failed, or "", and the
    // number of lines that reached the file.
    std::string WriteLines(const std::string& lines, uint64_t* lines_written);
    // The file's current path when it was renamed or moved while recording.
    void FollowRename();
    void CloseFile();
    void EndRecording(const std::string& reason);
    void StartFailed(const std::string& text);

    int file = -1; // the open CSV file while recording
    std::string fileName;
    bool recording = false;
    uint64_t rowsWritten = 0;
    std::mutex mutex;

    off_t fileEnd = 0;        // where the last whole line ends
    std::string openedPath;   // the file's absolute path as last seen, "" when unknown
    std::string stopReason;   // why a recording ended by itself; kept until the next start
    std::string startError;   // why the last start failed, "" when it did not
    uint64_t rowsRefused = 0; // rows without values since the last row written; reported once a run
    // Rows queued and not yet written: formatted only when written, so the
    // reader's step (which queues under the data lock) stays short.
    struct PendingRow
    {
        double time;
        size_t firstValue; // in pendingValues
        size_t valueCount;
    };
    std::vector<PendingRow> pendingRows;
    std::vector<float> pendingValues;
    std::vector<double> pendingExact; // beside pendingValues; NaN: record the float
    std::string rowText;              // the rows being written, kept to reuse its storage
    double timeOffset = 0.0;          // added to every row's time: the time bases before a restart
};

extern CsvRecorder CsvRecorderInstance;

bool StartCsvRecording(const std::string& file_name, const std::vector<std::string>& channel_names,
                       bool replace_existing = true);
void StopCsvRecording();
bool WriteCsvRow(double time, const std::vector<float>& values);
bool QueueCsvRow(double time, const std::vector<float>& values);
bool QueueCsvRow(double time, const std::vector<float>& values, const std::vector<double>& exact);
void FlushCsvRows();
void RestartCsvTimeBase(double reached);
bool IsCsvRecording();
std::string GetCsvFileName();
uint64_t GetCsvRowCount();
// Rows refused (no values: no channels) since the last row written; 0 when
// rows are being recorded.
uint64_t GetCsvRefusedRowCount();
// Why the last recording ended by itself (a row could not be written, the
// file was deleted); "" when it did not or a new one has started.
std::string GetCsvStopReason();
// Why the last start failed (the message written to standard error, which
// names the file and the reason); "" when it started.
std::string GetCsvStartError();

// prefix + "_" + local time as %Y%m%d_%H%M%S + ".csv"
std::string MakeTimestampedFileName(const std::string& prefix);
