// Model download: a detached thread fetches the selected model's file while the
// settings section draws the shared download state every frame.
#pragma once

#include <atomic>
#include <cstdint>
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
    // A download was refused because a cancelled one is still writing; cleared
    // when that one ends.
    bool refusedWhileCancelledRuns = false;
};

// One consistent copy of the four values, for drawing.
ModelDownloadState GetModelDownloadState();

// The "Download Selected Model" button: sets the state and starts the detached
// download thread, unless a download is shown as running or an earlier
// (cancelled) transfer is still writing.
void StartModelDownload();
// The "Cancel Download" button: hides the download; the transfer runs on.
void CancelModelDownload();
// True while a download thread runs, cancelled or not.
bool IsModelDownloadThreadRunning();

void ModelDownloadThread();
void ModelDownloadProgress(int percent);

// Console line and section text when a download is refused for that reason.
extern const char* const CancelledDownloadStillRuns;
// Final statuses of a download whose model was not loaded: it failed to load (the
// console says why), no chat was open to load it, or another model was selected
// by the time the download ended (or the chat reloaded).
extern const char* const DownloadedModelNotLoaded;
extern const char* const DownloadedModelLoadsWithChat;
extern const char* const DownloadedModelNotSelected;

// The worker's job: fetch url into outputPath, creating the file when the first
// data arrives. resultCode is the transfer's result (0 for success).
// announcedBytes, when given, receives the size the server announces for the
// body (set before the file is created; left alone when none is announced).
struct DownloadCommand
{
    std::string url;
    std::string outputPath;
};
void RunDownloadCommand(const DownloadCommand& command, int& resultCode, std::atomic<bool>& done,
                        std::atomic<int64_t>* announcedBytes = nullptr);

// Expected size in bytes of a download, from patterns in its URL and path.
uint64_t ExpectedDownloadSize(const std::string& url, const std::string& outputPath);
