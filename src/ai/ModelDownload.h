// Model download: a thread fetches the selected model's file into a temporary
// file beside the model, and puts it in place only when it is a whole GGUF file,
// while the settings section draws the shared download state every frame.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

// The shared download state. The download thread writes it while the main thread
// draws it; every access holds downloadStateMutex, so a frame sees whole values.
extern std::mutex downloadStateMutex;
extern bool isDownloading;
extern int32_t downloadProgress;
extern int32_t downloadingModel;
extern std::string downloadStatus;

struct ModelDownloadState
{
    bool isDownloading = false;
    int32_t downloadProgress = 0;
    int32_t downloadingModel = -1;
    std::string downloadStatus;
    // Why the last download failed, and of which catalogue id (-1: none); kept
    // until the next download starts.
    std::string lastFailure;
    int32_t lastFailureModel = -1;
};

// One consistent copy of the state, for drawing.
ModelDownloadState GetModelDownloadState();

// The "Download Selected Model" button: sets the state and starts the download
// thread, unless a download is shown as running.
void StartModelDownload();
// The "Cancel Download" button: hides the download and stops it. Its thread
// ends the transfer, removes its temporary file and does not reload the chat.
void CancelModelDownload();
// At program exit: stops every download and waits for its thread.
void StopModelDownload();
// True while a download thread runs, cancelled or not.
bool IsModelDownloadThreadRunning();

// Final statuses of a download whose model was not loaded: it failed to load (the
// console says why), no chat was open to load it, or another model was selected
// by the time the download ended (or the chat reloaded).
extern const char* const DownloadedModelNotLoaded;
extern const char* const DownloadedModelLoadsWithChat;
extern const char* const DownloadedModelNotSelected;

// The worker's job: fetch url into outputPath, creating the file when the first
// data arrives. cancelled, when set, is asked during the transfer and ends it.
// error receives the transfer's failure in words.
struct DownloadCommand
{
    std::string url;
    std::string outputPath;
    std::function<bool()> cancelled;
    std::string error;
    // The output file, open and locked for as long as the download owns it; the
    // caller closes it once the file is put in place or removed. -1 when no
    // file was created.
    int lockFd = -1;
};
// resultCode is the transfer's result (0 for success). announcedBytes, when
// given, receives the size the server announces for the body (set before the
// file is created; left alone when none is announced).
void RunDownloadCommand(DownloadCommand& command, int& resultCode, std::atomic<bool>& done,
                        std::atomic<int64_t>* announcedBytes = nullptr);

// Expected size in bytes of a download, from patterns in its URL and path.
uint64_t ExpectedDownloadSize(const std::string& url, const std::string& outputPath);

// The temporary file a download of outputPath writes: beside it, named after it,
// this process and a sequence number, so no two downloads share one. The
// download holds an flock on it while it owns it; the lock dies with the process.
std::string TemporaryDownloadPath(const std::string& outputPath);

// Removes the temporary download files that no process holds any more (a
// download killed or crashed half-way) beside outputPath, or beside every model
// of the catalogue when it is empty. Run at start and before every download;
// a download running in this or another instance keeps its lock and its file.
void RemoveInterruptedDownloads(const std::string& outputPath = std::string());
