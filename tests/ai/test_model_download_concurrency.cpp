// The download state read from the main thread while the download thread
// writes it (run under TSan): every read is one whole, consistent state.
#include "ai/AISettings.h"
#include "ai/ModelDownload.h"
#include "ai/ModelManager.h"
#include "support/LocalHttpServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

static bool KnownStatus(const std::string& s)
{
    static const std::set<std::string> fixed = {"",
                                                "Initializing download...",
                                                "Downloading model...",
                                                "Download completed! Reloading model...",
                                                "Model ready!",
                                                DownloadedModelNotLoaded,
                                                DownloadedModelLoadsWithChat,
                                                "Download failed!"};
    if (fixed.count(s))
        return true;
    const std::string prefix = "Downloading... ";
    if (s.rfind(prefix, 0) != 0 || s.back() != '%')
        return false;
    const std::string digits = s.substr(prefix.size(), s.size() - prefix.size() - 1);
    return !digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos && std::stoi(digits) <= 100;
}

TEST(ModelDownloadConcurrency, MainThreadSeesWholeStatesWhileTheDownloadRuns)
{
    const fs::path saved = fs::current_path();
    const fs::path dir = fs::temp_directory_path() / ("dravik-download-tsan-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::current_path(dir);

    LocalHttpServer server;
    HttpRoute phi;
    phi.bodySize = 24 * 1048576;
    phi.chunkSize = 1048576;
    phi.chunkDelayMs = 20;
    server.AddRoute("/TheBloke/phi-2-GGUF/resolve/main/phi-2.Q4_K_M.gguf", phi);
    SetModelHostUrl(server.BaseUrl());
    SetSelectedModel(0);

    testing::internal::CaptureStdout();
    StartModelDownload();
    bool cancelled = false, saw_progress = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (IsModelDownloadThreadRunning() && std::chrono::steady_clock::now() < deadline)
    {
        const ModelDownloadState s = GetModelDownloadState();
        EXPECT_TRUE(KnownStatus(s.downloadStatus)) << s.downloadStatus;
        EXPECT_GE(s.downloadProgress, 0);
        EXPECT_LE(s.downloadProgress, 100);
        if (s.downloadStatus.rfind("Downloading... ", 0) == 0)
        {
            // The number in the text is the number beside it: written together.
            EXPECT_EQ(s.downloadStatus, "Downloading... " + std::to_string(s.downloadProgress) + "%");
            saw_progress = true;
        }
        if (s.isDownloading)
        {
            EXPECT_EQ(s.downloadingModel, 0);
        }
        // Cancel midway: hidden at once, and a new download starts while the first ends.
        if (!cancelled && s.downloadProgress >= 1)
        {
            CancelModelDownload();
            cancelled = true;
            const ModelDownloadState c = GetModelDownloadState();
            EXPECT_EQ(c.downloadProgress, 0);
            EXPECT_TRUE(c.downloadStatus.empty());
            StartModelDownload();
            EXPECT_TRUE(GetModelDownloadState().isDownloading);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_FALSE(IsModelDownloadThreadRunning());
    EXPECT_TRUE(saw_progress) << out;
    EXPECT_TRUE(cancelled) << out;
    EXPECT_NE(out.find("Model download cancelled"), std::string::npos) << out;
    EXPECT_NE(out.find("Starting download for model 0"), out.rfind("Starting download for model 0"));
    const ModelDownloadState end = GetModelDownloadState();
    EXPECT_FALSE(end.isDownloading);
    EXPECT_EQ(end.downloadingModel, -1);

    SetModelHostUrl("https://huggingface.co");
    fs::current_path(saved);
    fs::remove_all(dir);
}
