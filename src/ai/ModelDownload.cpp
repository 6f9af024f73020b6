#include "ai/ModelDownload.h"

#include "ai/AIChatPanel.h"
#include "ai/AISettings.h"
#include "ai/ModelManager.h"

#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <thread>

std::mutex downloadStateMutex;
bool isDownloading = false;
int32_t downloadProgress = 0;
int32_t downloadingModel = -1;
std::string downloadStatus;

static std::atomic<bool> DownloadThreadRunning{false};
static bool DownloadRefused = false; // guarded by downloadStateMutex

const char* const CancelledDownloadStillRuns = "A cancelled download is still running; wait for it to end";
const char* const DownloadedModelNotLoaded = "Download completed, but the model could not be loaded";
const char* const DownloadedModelLoadsWithChat = "Download completed! The model loads when the AI chat opens.";
const char* const DownloadedModelNotSelected =
    "Download completed! Another model is selected, so the downloaded model was not loaded.";

static void SetDownloadStatus(const std::string& status)
{
    std::lock_guard<std::mutex> lock(downloadStateMutex);
    downloadStatus = status;
}

ModelDownloadState GetModelDownloadState()
{
    std::lock_guard<std::mutex> lock(downloadStateMutex);
    ModelDownloadState state;
    state.isDownloading = isDownloading;
    state.downloadProgress = downloadProgress;
    state.downloadingModel = downloadingModel;
    state.downloadStatus = downloadStatus;
    state.refusedWhileCancelledRuns = DownloadRefused;
    return state;
}

bool IsModelDownloadThreadRunning() { return DownloadThreadRunning.load(); }

void StartModelDownload()
{
    const int32_t selected = GetSelectedModel();
    std::cout << "Downloading model " << selected << "..." << std::endl;
    {
        std::lock_guard<std::mutex> lock(downloadStateMutex);
        if (isDownloading)
            return;
        // A cancelled transfer may still be writing the same file: refuse a second one.
        if (DownloadThreadRunning.load())
        {
            std::cout << CancelledDownloadStillRuns << std::endl;
            DownloadRefused = true;
            return;
        }
        std::cout << "Starting download for model " << selected << " (downloadingModel was: " << downloadingModel << ")"
                  << std::endl;
        isDownloading = true;
        downloadProgress = 0;
        downloadStatus = "Initializing download...";
        downloadingModel = selected;
        std::cout << "Download state set - isDownloading: " << (int)isDownloading
                  << ", downloadingModel: " << downloadingModel << std::endl;
        DownloadThreadRunning = true;
    }
    try
    {
        std::thread(ModelDownloadThread).detach();
    }
    catch (const std::exception& e)
    {
        std::cerr << "Failed to start the download thread: " << e.what() << std::endl;
        std::lock_guard<std::mutex> lock(downloadStateMutex);
        isDownloading = false;
        downloadProgress = 0;
        downloadStatus.clear();
        downloadingModel = -1;
        DownloadThreadRunning = false;
    }
}

void CancelModelDownload()
{
    std::lock_guard<std::mutex> lock(downloadStateMutex);
    isDownloading = false;
    downloadProgress = 0;
    downloadStatus.clear();
}

void ModelDownloadProgress(int percent)
{
    {
        std::lock_guard<std::mutex> lock(downloadStateMutex);
        downloadProgress = percent;
        downloadStatus = "Downloading... " + std::to_string(percent) + "%";
    }
    std::cout << "Download progress: " << percent << "%" << std::endl;
}

// Has the chat load the downloaded model, and sets the final status.
static void ReloadDownloadedModel(int32_t id)
{
    // Another model chosen meanwhile is the chat's switch to make: a reload
    // would load that one, not the download.
    const bool selected = ModelIdFromSelection(GetSelectedModel()) == id;
    std::string failure;
    int32_t loaded = -1;
    const ModelReloadResult reload = selected ? ReloadAIChatModel(&failure, &loaded) : ModelReloadNoPanel;
    // The choice may also change during the reload itself.
    const bool tried = reload == ModelReloadReady || reload == ModelReloadFailed;
    if (!selected || (tried && loaded != id))
    {
        SetDownloadStatus(DownloadedModelNotSelected);
        std::cout << DownloadedModelNotSelected << std::endl;
    }
    else if (reload == ModelReloadReady)
    {
        SetDownloadStatus("Model ready!");
        std::cout << "Model reloaded and ready to use!" << std::endl;
    }
    else if (reload == ModelReloadFailed)
    {
        SetDownloadStatus(DownloadedModelNotLoaded);
        std::cerr << "Error: The downloaded model could not be loaded: " << failure << std::endl;
    }
    else
    {
        // No chat, or it was closed during the load: the chat loads the model when it opens.
        SetDownloadStatus(DownloadedModelLoadsWithChat);
        if (reload == ModelReloadNoPanel)
            std::cout << DownloadedModelLoadsWithChat << std::endl;
    }
}

void ModelDownloadThread()
{
    bool ok = false;
    try
    {
        ModelManager manager;
        const int id = ModelIdFromSelection(GetModelDownloadState().downloadingModel);
        SetDownloadStatus("Downloading model...");
        ok = manager.DownloadModel(id, ModelDownloadProgress);
        if (ok)
        {
            SetDownloadStatus("Download completed! Reloading model...");
            std::cout << "Model download completed successfully!" << std::endl;
            std::this_thread::sleep_for(std::chrono::seconds(1));
            // A fresh download lifts the block on a model whose load crashed.
            RemoveModelLoadMarker();
            SaveAISettings();
            ReloadDownloadedModel(id);
        }
    }
    catch (const std::exception& e)
    {
        std::cerr << "Model download error: " << e.what() << std::endl;
        ok = false;
    }
    if (!ok)
    {
        SetDownloadStatus("Download failed!");
        std::cout << "Model download failed!" << std::endl;
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));
    {
        std::lock_guard<std::mutex> lock(downloadStateMutex);
        std::cout << "Resetting download state - was downloading model: " << downloadingModel << std::endl;
        isDownloading = false;
        downloadProgress = 0;
        downloadStatus.clear();
        downloadingModel = -1;
        std::cout << "Download state reset - isDownloading: " << (int)isDownloading
                  << ", downloadingModel: " << downloadingModel << std::endl;
        DownloadRefused = false;
        DownloadThreadRunning = false;
    }
}

bool ModelManager::DownloadModel(int id, std::function<void(int)> progress)
{
    auto it = modelCatalogue.find(id);
    if (it == modelCatalogue.end())
        return false;
    ModelInfo& info = it->second;
    if (info.downloaded)
        return true;
    // No path when the working directory could not be read.
    if (info.localPath.empty())
    {
        std::cout << "Download failed - no model path (the working directory cannot be read)" << std::endl;
        return false;
    }
    const std::filesystem::path path(info.localPath);
    std::cout << "Download path: " << path.string() << std::endl;
    try
    {
        std::filesystem::create_directories(path.parent_path());
    }
    catch (const std::exception& e)
    {
        std::cerr << "Failed to create directory: " << e.what() << std::endl;
    }
    std::cout << "Downloading " << info.name << "..." << std::endl;
    std::cout << "Download URL: " << info.downloadUrl << std::endl;
    std::cout << "Download path: " << path.string() << std::endl;
    const bool ok = DownloadFile(info.downloadUrl, path.string(), progress);
    if (ok)
    {
        info.downloaded = true;
        std::cout << "Download completed successfully!" << std::endl;
    }
    else
        std::cout << "Download failed!" << std::endl;
    return ok;
}

static const uint64_t MiB = 1048576;

uint64_t ExpectedDownloadSize(const std::string& url, const std::string& outputPath)
{
    auto has = [](const std::string& text, const char* part) { return text.find(part) != std::string::npos; };
    std::cout << "Debug: URL = " << url << std::endl;
    std::cout << "Debug: Path = " << outputPath << std::endl;
    uint64_t mib = 1700;
    if (has(url, "phi-2") || has(outputPath, "phi2"))
        std::cout << "Debug: Matched Phi model pattern" << std::endl;
    else if (has(url, "llama-3.2-3b") || has(url, "Llama-3.2-3B") || has(url, "Llama-3.2-3B-Instruct") ||
             has(url, "3.2-3B") || has(outputPath, "llama3.2-3b"))
    {
        mib = 2200;
        std::cout << "Debug: Matched Llama 3.2 3B pattern" << std::endl;
        std::cout << "Debug: Calculated expected_size = " << mib * MiB << " bytes" << std::endl;
        std::cout << "Debug: Set expected_size to " << mib * MiB << " bytes (" << mib << "MB)" << std::endl;
    }
    // Model 2 fetches the 1B file, though its directory and file names say 8B.
    else if (has(url, "llama-3.2-1b") || has(url, "Llama-3.2-1B"))
    {
        mib = 800;
        std::cout << "Debug: Matched Llama 3.2 1B pattern" << std::endl;
    }
    else if (has(url, "llama-3.2-8b") || has(url, "Llama-3.2-8B") || has(outputPath, "llama3.2-8b"))
    {
        mib = 5200;
        std::cout << "Debug: Matched Llama 3.2 8B pattern" << std::endl;
    }
    else if (has(url, "qwen2.5-3b") || has(outputPath, "qwen3b"))
    {
        mib = 2200;
        std::cout << "Debug: Matched Qwen model pattern" << std::endl;
    }
    else if (has(url, "gemma-2-3b") || has(outputPath, "gemma3b"))
    {
        mib = 2200;
        std::cout << "Debug: Matched Gemma model pattern" << std::endl;
    }
    else
        std::cout << "Debug: No pattern matched, using default size" << std::endl;
    std::cout << "Expected size: " << mib << "MB" << std::endl;
    return mib * MiB;
}

// The output file is created when the first data arrives, so a transfer that
// fails before any data leaves no file behind.
struct DownloadSink
{
    const std::string* path = nullptr;
    FILE* file = nullptr;
    CURL* curl = nullptr;
    std::atomic<int64_t>* announcedBytes = nullptr;
};

static size_t WriteToFile(char* data, size_t size, size_t count, void* user)
{
    DownloadSink* sink = static_cast<DownloadSink*>(user);
    if (!sink->file)
    {
        // The headers of the answer that carries the body are in by now.
        curl_off_t length = -1;
        if (sink->announcedBytes &&
            curl_easy_getinfo(sink->curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK && length > 0)
            sink->announcedBytes->store((int64_t)length);
        sink->file = std::fopen(sink->path->c_str(), "wb");
        if (!sink->file)
            return 0;
        // Unbuffered, so the file's size follows the data that arrived.
        std::setvbuf(sink->file, nullptr, _IONBF, 0);
    }
    return std::fwrite(data, 1, size * count, sink->file);
}

void RunDownloadCommand(const DownloadCommand& command, int& resultCode, std::atomic<bool>& done,
                        std::atomic<int64_t>* announcedBytes)
{
    static std::once_flag curl_init;
    std::call_once(curl_init, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

    int result = -1;
    DownloadSink sink;
    sink.path = &command.outputPath;
    sink.announcedBytes = announcedBytes;
    if (CURL* curl = curl_easy_init())
    {
        sink.curl = curl;
        curl_easy_setopt(curl, CURLOPT_URL, command.url.c_str());
        curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 30L);
        // A transfer stalled for a minute ends as failed instead of hanging the thread.
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, 60L);
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteToFile);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
        const CURLcode code = curl_easy_perform(curl);
        if (code != CURLE_OK)
            std::cout << "Transfer error: " << curl_easy_strerror(code) << std::endl;
        result = (int)code;
        curl_easy_cleanup(curl);
    }
    if (sink.file)
        std::fclose(sink.file);
    resultCode = result;
    done.store(true);
}

bool ModelManager::DownloadFile(const std::string& url, const std::string& outputPath,
                                std::function<void(int)> progress)
{
    namespace fs = std::filesystem;
    const DownloadCommand command{url, outputPath};
    std::cout << "Executing: GET " << url << " -> " << outputPath << std::endl;
    std::cout << "Starting download..." << std::endl;
    std::cout << "Target file: " << outputPath << std::endl;

    const fs::path dir = fs::path(outputPath).parent_path();
    try
    {
        if (!fs::exists(dir))
        {
            std::cout << "Target directory does not exist: " << dir.string() << std::endl;
            std::cout << "Creating directory..." << std::endl;
            fs::create_directories(dir);
            std::cout << "Directory created successfully" << std::endl;
        }
    }
    catch (const std::exception& e)
    {
        std::cerr << "Failed to create directory: " << e.what() << std::endl;
        return false;
    }
    std::cout << "Target directory verified: " << dir.string() << std::endl;
    if (progress)
    {
        progress(0);
        std::cout << "Download progress: 0%" << std::endl;
    }

    // The guess from the name holds until the server announces the real size.
    uint64_t expected = ExpectedDownloadSize(url, outputPath);
    std::atomic<int64_t> announced{0};
    int result_code = -1;
    std::atomic<bool> done{false};
    std::thread worker;
    try
    {
        worker = std::thread(RunDownloadCommand, std::cref(command), std::ref(result_code), std::ref(done), &announced);
    }
    catch (const std::exception& e)
    {
        std::cout << "Failed to start the download worker: " << e.what() << std::endl;
        if (progress)
            progress(0);
        return false;
    }

    int polls = 0;
    uint64_t last_reported = 0;
    bool file_seen = false;
    bool size_announced = false;
    // Watches until the transfer ends, however long that takes.
    while (!done.load())
    {
        polls++;
        std::error_code ec;
        if (!fs::exists(outputPath, ec))
        {
            if (polls % 50 == 0)
                std::cout << "Waiting for download to start... (elapsed: " << polls / 10 << "s)" << std::endl;
        }
        else
        {
            if (!file_seen)
            {
                file_seen = true;
                std::cout << "Download started - file detected: " << outputPath << std::endl;
            }
            const uintmax_t size = fs::file_size(outputPath, ec);
            if (!size_announced && announced.load() > 0)
            {
                size_announced = true;
                expected = (uint64_t)announced.load();
                std::cout << "Debug: Server announced size = " << expected << " bytes (" << expected / MiB << "MB)"
                          << std::endl;
            }
            if (!ec && size != 0)
            {
                uint64_t percent = (uint64_t)size * 100 / expected;
                if (percent > 100)
                    percent = 100;
                if (percent > last_reported)
                {
                    if (progress)
                        progress((int)percent);
                    std::cout << "Download progress: " << percent << "% (size: " << (size >> 20)
                              << "MB, expected: " << expected / MiB << "MB)" << std::endl;
                    last_reported = percent;
                }
                if (percent >= 100)
                {
                    std::cout << "Download appears complete, waiting for thread to finish..." << std::endl;
                    break;
                }
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }

    worker.join();
    std::cout << "Download thread finished with result code: " << result_code << std::endl;

    std::error_code ec;
    if (fs::exists(outputPath, ec))
    {
        const uintmax_t size = fs::file_size(outputPath, ec);
        if (ec)
        {
            std::cout << "Download failed - cannot read file size: " << outputPath << " (" << ec.message() << ")"
                      << std::endl;
            if (progress)
                progress(0);
            return false;
        }
        std::cout << "Download completed! Final size: " << size << " bytes (" << (size >> 20) << "MB)" << std::endl;
        if (size <= MiB)
        {
            std::cout << "Download failed - file too small: " << size << " bytes" << std::endl;
            if (progress)
                progress(0);
            return false;
        }
        // A transfer cut off midway is no model: remove it so it never counts as downloaded.
        if (result_code != 0)
        {
            std::cout << "Download failed - transfer incomplete, result code: " << result_code << std::endl;
            fs::remove(outputPath, ec);
            if (progress)
                progress(0);
            return false;
        }
        if (progress)
        {
            progress(100);
            std::cout << "Download progress: 100%" << std::endl;
        }
        return true;
    }
    std::cout << "Download failed - file not found: " << outputPath << std::endl;
    std::cout << "System command result code: " << result_code << std::endl;
    if (progress)
        progress(0);
    return false;
}
