// The model download against a real HTTP server on 127.0.0.1: progress, the
// verdicts on the file, the failure messages and the download thread's run.
#include "ai/AIChatPanel.h"
#include "ai/AISettings.h"
#include "ai/ModelDownload.h"
#include "ai/ModelManager.h"
#include "support/LocalHttpServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/file.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace fs = std::filesystem;

static const uint64_t MiB = 1048576;
static const std::string PhiPath = "/TheBloke/phi-2-GGUF/resolve/main/phi-2.Q4_K_M.gguf";

static std::set<std::string> Files(const fs::path& dir)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.insert(entry.path().filename().string());
    return names;
}

class ModelDownloadTest : public testing::Test
{
protected:
    void SetUp() override
    {
        saved = fs::current_path();
        dir = fs::temp_directory_path() / ("dravik-download-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        fs::current_path(dir);
        SetModelHostUrl(server.BaseUrl());
        aiSettingsFileName = "ai_settings.cfg";
    }
    void TearDown() override
    {
        SetModelHostUrl("https://huggingface.co");
        fs::current_path(saved);
        fs::remove_all(dir);
    }
    std::string Out(const char* name) const { return (dir / "out" / name).string(); }
    fs::path saved, dir;
    LocalHttpServer server;
    std::vector<int> reports;
    std::function<void(int)> Recorder()
    {
        return [this](int p) { reports.push_back(p); };
    }
};

TEST_F(ModelDownloadTest, ProgressGrowsAndALargeFileSucceeds)
{
    // 40 MiB in 1 MiB pieces at 25 ms: about a second of polls. The server
    // announces the size, so progress is measured against 40 MiB, not the
    // 1700 MiB that the name suggests.
    HttpRoute slow;
    slow.bodySize = 40 * MiB;
    slow.chunkSize = MiB;
    slow.chunkDelayMs = 25;
    server.AddRoute("/phi-2.gguf", slow);
    ModelManager m;
    CaptureStdout();
    const bool ok = m.DownloadFile(server.BaseUrl() + "/phi-2.gguf", Out("phi2.gguf"), Recorder());
    std::string out = GetCapturedStdout();
    EXPECT_TRUE(ok) << out;
    EXPECT_EQ(fs::file_size(Out("phi2.gguf")), 40 * MiB);
    ASSERT_GE(reports.size(), 4u) << out;
    EXPECT_EQ(reports.front(), 0);
    EXPECT_EQ(reports.back(), 100);
    // Whole percentages in between, rising strictly, past the half way.
    for (size_t i = 1; i + 1 < reports.size(); i++)
        EXPECT_GT(reports[i], reports[i - 1]);
    EXPECT_GE(reports[reports.size() - 2], 50) << out;
    EXPECT_NE(out.find("Debug: Matched Phi model pattern"), std::string::npos);
    EXPECT_NE(out.find("Expected size: 1700MB"), std::string::npos);
    EXPECT_NE(out.find("Download started - file detected: " + Out("phi2.gguf") + ".download-"), std::string::npos);
    EXPECT_NE(out.find("Debug: Server announced size = 41943040 bytes (40MB)"), std::string::npos) << out;
    EXPECT_NE(out.find("MB, expected: 40MB)"), std::string::npos) << out;
    EXPECT_NE(out.find("Download completed! Final size: 41943040 bytes (40MB)"), std::string::npos);
    EXPECT_NE(out.find("Download thread finished with result code: 0"), std::string::npos);

    // A server that announces nothing: the size from the name holds, 1 % and
    // 2 % of 1700 MiB, then 100 when the transfer ends.
    slow.announceLength = false;
    server.AddRoute("/quiet/phi-2.gguf", slow);
    reports.clear();
    CaptureStdout();
    EXPECT_TRUE(m.DownloadFile(server.BaseUrl() + "/quiet/phi-2.gguf", Out("quiet.gguf"), Recorder()));
    out = GetCapturedStdout();
    EXPECT_EQ(out.find("Debug: Server announced"), std::string::npos);
    EXPECT_NE(std::find(reports.begin(), reports.end(), 1), reports.end()) << out;
    EXPECT_NE(out.find("Download progress: 1% (size: "), std::string::npos) << out;
    EXPECT_NE(out.find("MB, expected: 1700MB)"), std::string::npos) << out;
    EXPECT_EQ(reports.back(), 100);
}

TEST_F(ModelDownloadTest, FailuresReportThePartsMessages)
{
    ModelManager m;

    // A model that no failure below touches; a killed program's download (no such pid) goes.
    fs::create_directories(dir / "out");
    std::ofstream(Out("keep")) << "GGUF a model in use";
    std::ofstream(Out("keep") + ".download-999999999-1") << "GGUF part";

    // Exactly 1 MiB is too small; one byte more succeeds. Nothing is left of the small one.
    HttpRoute mib;
    mib.bodySize = MiB;
    server.AddRoute("/mib", mib);
    HttpRoute more;
    more.bodySize = MiB + 1;
    server.AddRoute("/more", more);
    CaptureStdout();
    EXPECT_FALSE(m.DownloadFile(server.BaseUrl() + "/mib", Out("mib"), Recorder()));
    std::string out = GetCapturedStdout();
    EXPECT_NE(out.find("Download failed - file too small: 1048576 bytes"), std::string::npos) << out;
    EXPECT_FALSE(fs::exists(Out("mib")));
    EXPECT_EQ(reports.back(), 0);
    CaptureStdout();
    EXPECT_TRUE(m.DownloadFile(server.BaseUrl() + "/more", Out("more"), nullptr));
    GetCapturedStdout();

    // A short file of under 1 MiB, over the model.
    HttpRoute small;
    small.bodySize = 300000;
    server.AddRoute("/small", small);
    CaptureStdout();
    EXPECT_FALSE(m.DownloadFile(server.BaseUrl() + "/small", Out("keep"), Recorder()));
    out = GetCapturedStdout();
    EXPECT_NE(out.find("Download failed - file too small: 300000 bytes"), std::string::npos) << out;

    // 404: nothing is written.
    reports.clear();
    CaptureStdout();
    EXPECT_FALSE(m.DownloadFile(server.BaseUrl() + "/missing", Out("keep"), Recorder()));
    out = GetCapturedStdout();
    EXPECT_NE(out.find("Download failed - file not found: " + Out("keep")), std::string::npos) << out;
    EXPECT_NE(out.find("System command result code: 22"), std::string::npos) << out;
    EXPECT_EQ(reports, (std::vector<int>{0, 0}));

    // Refused connection.
    CaptureStdout();
    const std::string refused = "http://127.0.0.1:" + std::to_string(LocalHttpServer::RefusingPort()) + "/x";
    EXPECT_FALSE(m.DownloadFile(refused, Out("refused"), nullptr));
    out = GetCapturedStdout();
    EXPECT_NE(out.find("Download failed - file not found: " + Out("refused")), std::string::npos) << out;
    EXPECT_NE(out.find("System command result code: 7"), std::string::npos) << out;

    // A transfer cut off after 2 of 3 MiB is no model.
    HttpRoute cut;
    cut.bodySize = 3 * MiB;
    cut.sentSize = 2 * MiB;
    server.AddRoute("/cut", cut);
    CaptureStdout();
    EXPECT_FALSE(m.DownloadFile(server.BaseUrl() + "/cut", Out("keep"), nullptr));
    out = GetCapturedStdout();
    EXPECT_NE(out.find("Download failed - transfer incomplete"), std::string::npos) << out;
    EXPECT_EQ(fs::file_size(Out("keep")), 19u); // as it was, and no temporary file is left
    EXPECT_EQ(Files(dir / "out"), (std::set<std::string>{"keep", "more"}));

    // A directory that cannot be created: reported on standard error, no callback.
    std::ofstream(dir / "blocker").close();
    reports.clear();
    testing::internal::CaptureStderr();
    CaptureStdout();
    EXPECT_FALSE(m.DownloadFile(server.BaseUrl() + "/more", (dir / "blocker" / "sub" / "f").string(), Recorder()));
    GetCapturedStdout();
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Failed to create directory: "), std::string::npos);
    EXPECT_TRUE(reports.empty());
}

TEST_F(ModelDownloadTest, InterruptedDownloadsGoAndRunningOnesStay)
{
    // Model 0's temporary file is left by a killed download: nothing holds it.
    // Model 2's is being written by another process, which holds its lock.
    const std::string dead = ModelLocalPath(0) + ".download-1-1";
    const std::string live = ModelLocalPath(2) + ".download-2-1";
    for (const std::string& path : {dead, live})
    {
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path) << "GGUF part";
    }
    int ready[2], release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    const pid_t child = fork();
    if (child == 0)
    {
        const int fd = open(live.c_str(), O_RDONLY);
        char c = flock(fd, LOCK_EX) == 0 ? 'y' : 'n';
        if (write(ready[1], &c, 1) == 1 && read(release[0], &c, 1) >= 0)
            _exit(0);
        _exit(1);
    }
    char locked = 0;
    ASSERT_EQ(read(ready[0], &locked, 1), 1);
    ASSERT_EQ(locked, 'y');

    // A download of model 1 first removes what no process holds, for every model.
    ModelManager m;
    HttpRoute route;
    route.bodySize = 2 * MiB;
    server.AddRoute(m.GetModelInfo(1).downloadUrl.substr(server.BaseUrl().size()), route);
    CaptureStdout();
    EXPECT_TRUE(m.DownloadModel(1, nullptr));
    const std::string out = GetCapturedStdout();
    EXPECT_NE(out.find("Removed an interrupted download: " + dead), std::string::npos) << out;
    EXPECT_FALSE(fs::exists(dead));
    EXPECT_TRUE(fs::exists(live));

    // Once that process has ended, the cleanup at start takes its file too.
    ASSERT_EQ(write(release[1], "x", 1), 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    CaptureStdout();
    RemoveInterruptedDownloads();
    GetCapturedStdout();
    EXPECT_FALSE(fs::exists(live));
    for (int fd : {ready[0], ready[1], release[0], release[1]})
        close(fd);
}

TEST_F(ModelDownloadTest, ExpectedSizesFollowThePatterns)
{
    CaptureStdout();
    ModelManager m;
    EXPECT_EQ(ExpectedDownloadSize(m.GetModelInfo(0).downloadUrl, m.GetModelInfo(0).localPath), 1700 * MiB);
    EXPECT_EQ(ExpectedDownloadSize(m.GetModelInfo(1).downloadUrl, m.GetModelInfo(1).localPath), 2200 * MiB);
    // Model 2 fetches the 1B file: its size, not the 8B one its path names.
    EXPECT_EQ(ExpectedDownloadSize(m.GetModelInfo(2).downloadUrl, m.GetModelInfo(2).localPath), 800 * MiB);
    EXPECT_EQ(ExpectedDownloadSize("http://h/Llama-3.2-8B", "/x"), 5200 * MiB);
    EXPECT_EQ(ExpectedDownloadSize("http://h/qwen2.5-3b", "/x"), 2200 * MiB);
    EXPECT_EQ(ExpectedDownloadSize("http://h/y", "/m/gemma3b/f"), 2200 * MiB);
    EXPECT_EQ(ExpectedDownloadSize("http://h/y", "/z"), 1700 * MiB);
    const std::string out = GetCapturedStdout();
    EXPECT_NE(out.find("Debug: Set expected_size to 2306867200 bytes (2200MB)"), std::string::npos);
    EXPECT_NE(out.find("Debug: Matched Llama 3.2 8B pattern"), std::string::npos);
    EXPECT_NE(out.find("Debug: No pattern matched, using default size"), std::string::npos);
}

TEST_F(ModelDownloadTest, CatalogueDownloadMarksTheRecordAndTheThreadSavesTheSettings)
{
    HttpRoute phi;
    phi.bodySize = 3 * MiB;
    server.AddRoute(PhiPath, phi);

    // An unknown id: false, no callback.
    ModelManager m;
    CaptureStdout();
    EXPECT_FALSE(m.DownloadModel(7, Recorder()));
    EXPECT_TRUE(reports.empty());
    // 3 MiB is a success of the download, though the downloaded test wants more than 1360 MiB.
    EXPECT_TRUE(m.DownloadModel(0, Recorder()));
    EXPECT_TRUE(m.GetModelInfo(0).downloaded);
    EXPECT_FALSE(m.IsModelDownloaded(0));
    const int requests = server.RequestCount();
    // A record marked downloaded succeeds without a request.
    EXPECT_TRUE(m.DownloadModel(0, nullptr));
    std::string out = GetCapturedStdout();
    EXPECT_EQ(server.RequestCount(), requests);
    EXPECT_NE(out.find("Download URL: " + m.GetModelInfo(0).downloadUrl), std::string::npos);
    EXPECT_NE(out.find("Download completed successfully!"), std::string::npos);
    EXPECT_EQ(fs::file_size(m.GetModelInfo(0).localPath), 3 * MiB);
    fs::remove(m.GetModelInfo(0).localPath);

    // The whole thread: start, statuses (those seen until `until`), the saved settings, the reset.
    auto runThread = [](std::function<bool()> until = [] { return !IsModelDownloadThreadRunning(); }) {
        std::set<std::string> seen;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!until() && std::chrono::steady_clock::now() < deadline)
        {
            seen.insert(GetModelDownloadState().downloadStatus);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        EXPECT_TRUE(until());
        return seen;
    };
    SetSelectedModel(0);
    fs::remove("ai_settings.cfg");
    CaptureStdout();
    StartModelDownload();
    ModelDownloadState s = GetModelDownloadState();
    EXPECT_TRUE(s.isDownloading);
    EXPECT_EQ(s.downloadingModel, 0);
    // A second start while one runs does nothing.
    StartModelDownload();
    std::set<std::string> statuses = runThread();
    out = GetCapturedStdout();
    // No chat is open, so nothing loads the model yet.
    EXPECT_TRUE(statuses.count(DownloadedModelLoadsWithChat)) << out;
    EXPECT_FALSE(statuses.count("Model ready!"));
    EXPECT_TRUE(statuses.count("Download completed! Reloading model...")) << out;
    EXPECT_FALSE(statuses.count("Download failed!"));
    s = GetModelDownloadState();
    EXPECT_FALSE(s.isDownloading);
    EXPECT_EQ(s.downloadProgress, 0);
    EXPECT_EQ(s.downloadingModel, -1);
    EXPECT_EQ(s.downloadStatus, "");
    EXPECT_TRUE(fs::exists("ai_settings.cfg"));
    EXPECT_EQ(out.find("Starting download for model 0"), out.rfind("Starting download for model 0"));
    EXPECT_NE(out.find("Download state set - isDownloading: 1, downloadingModel: 0"), std::string::npos);
    EXPECT_NE(out.find("Resetting download state - was downloading model: 0"), std::string::npos);
    EXPECT_NE(out.find("Download state reset - isDownloading: 0, downloadingModel: -1"), std::string::npos);

    // With the chat open, the downloaded file (no model) fails to load in llama.cpp:
    // not "Model ready!", but a status that says so and the reason on the console.
    CaptureStdout();
    InitializeAIChat();
    testing::internal::CaptureStderr();
    StartModelDownload();
    statuses = runThread();
    const std::string err = testing::internal::GetCapturedStderr();
    ShutdownAIChat();
    out = GetCapturedStdout();
    EXPECT_TRUE(statuses.count(DownloadedModelNotLoaded)) << out;
    EXPECT_FALSE(statuses.count("Model ready!"));
    EXPECT_EQ(out.find("Model reloaded and ready to use!"), std::string::npos);
    EXPECT_NE(err.find("Error: The downloaded model could not be loaded: llama.cpp could not load the model file " +
                       m.GetModelInfo(0).localPath + "\n"),
              std::string::npos)
        << err;

    // A failing thread: the model's file is missing on the server.
    SetSelectedModel(2);
    CaptureStdout();
    StartModelDownload();
    statuses = runThread();
    out = GetCapturedStdout();
    EXPECT_TRUE(statuses.count("Download failed!")) << out;
    EXPECT_NE(out.find("Model download failed!"), std::string::npos);
    EXPECT_FALSE(GetModelDownloadState().isDownloading);

    // A new download replaces the model's name, not the data a reader holding it open (as the
    // chat maps it) reads; with another model chosen meanwhile, it is not reloaded.
    const fs::path path = m.GetModelInfo(0).localPath;
    std::ofstream(path) << "GGUF the old model";
    std::ifstream inUse(path);
    SetSelectedModel(0);
    CaptureStdout();
    StartModelDownload();
    SetSelectedModel(2);
    EXPECT_TRUE(runThread().count(DownloadedModelNotSelected));
    EXPECT_EQ(fs::file_size(path), 3 * MiB);
    EXPECT_EQ(Files(path.parent_path()), (std::set<std::string>{"phi-2.gguf"}));
    std::getline(inUse, out);
    EXPECT_EQ(out, "GGUF the old model");

    // At exit the running download stops: its transfer ends and its temporary file goes.
    HttpRoute slow;
    slow.bodySize = 200 * MiB;
    slow.chunkDelayMs = 20;
    server.AddRoute(PhiPath, slow);
    fs::remove(path);
    SetSelectedModel(0);
    StartModelDownload();
    runThread([] { return GetModelDownloadState().downloadProgress >= 1; });
    StopModelDownload();
    EXPECT_FALSE(IsModelDownloadThreadRunning());
    EXPECT_TRUE(Files(path.parent_path()).empty());
    out = GetCapturedStdout();
    EXPECT_NE(out.find("Download cancelled - the transfer was stopped"), std::string::npos) << out;
}
