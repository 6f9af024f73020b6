// The AI Model Settings section in the real program window: the switch, the
// model choice, the download display and cancel, and deleting a model file.
#include "ai/AISettings.h"
#include "ai/ModelDownload.h"
#include "ai/ModelManager.h"
#include "support/ImGuiItemProbe.h"
#include "support/LocalHttpServer.h"
#include "support/UiHarness.h"
#include "ui/Sidebar.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;
using namespace uitest;

static const char* const Page = "SettingsFullWindow";
static ImGuiID AI(const char* label) { return WidgetId(Page, {"UIContextAI", label}); }

static std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class AISettingsSectionTest : public ::testing::Test
{
protected:
    ProgramDirectory dir;
    ConsoleCapture console;
    UiHarness ui;

    void SetUp() override
    {
        ASSERT_TRUE(ui.HasWindow());
        {
            std::lock_guard<std::mutex> lock(AISettingsMutex);
            aiSettingsFileName = "ai_settings.cfg";
            aiSettingsLoaded = false;
            aiEnabled = false;
            selectedModel = 1;
        }
        ui.UI().sidebar->selectedPage = "Settings";
        ui.RunFrames(2);
        // Room for the last section: the ones above it closed, as a user does.
        const char* const upper[][2] = {{"UIContextGeneral", "General Settings"},
                                        {"UIContextSerial", "Serial Communication Settings"},
                                        {"UIContextDataReception", "Data Reception Settings"},
                                        {"UIContextCSV", "CSV Recording Settings"},
                                        {"UIContextViewer", "Live View Settings"}};
        for (const auto& header : upper)
            ASSERT_TRUE(ClickItem(ui, WidgetId(Page, {header[0], header[1]}))) << header[1];
    }
    // The page's lower end in view, as the mouse wheel brings it.
    void ScrollToBottom()
    {
        ImGui::SetScrollY(ImGui::FindWindowByName(Page), 100000.0f);
        ui.RunFrames(2);
    }
    void TearDown() override
    {
        std::lock_guard<std::mutex> lock(downloadStateMutex);
        isDownloading = false;
        downloadProgress = 0;
        downloadingModel = -1;
        downloadStatus.clear();
    }
};

TEST_F(AISettingsSectionTest, SwitchChoiceDownloadDisplayAndDelete)
{
    FrameText text;
    ui.RunFrames(1);
    EXPECT_TRUE(text.Contains("AI Model Settings"));
    EXPECT_TRUE(text.Contains("Enable AI Chat and Intelligent Analysis"));
    EXPECT_FALSE(text.Contains("AI Model Selection:"));

    // Ticking the switch saves at once and shows the three parts.
    ASSERT_TRUE(ClickItem(ui, AI("Enable AI Chat and Intelligent Analysis")));
    ui.RunFrames(1);
    EXPECT_NE(ReadFile("ai_settings.cfg").find("ai_enabled=true"), std::string::npos);
    EXPECT_GE(console.FindOut("AI enabled - Model: 1"), 0);
    EXPECT_TRUE(text.Contains("AI Model Selection:"));
    EXPECT_TRUE(text.Contains("AI Status:"));
    EXPECT_TRUE(text.Contains("AI Configuration:"));
    EXPECT_TRUE(text.Contains("CPU: " + ModelManager().systemInfo.cpuName + " - Compatible"));
    EXPECT_TRUE(text.Contains("GPU: not used - CPU mode"));

    // The 1B choice (model 2) with its file absent. Choosing lifts the block that a
    // crashed model load left.
    ASSERT_TRUE(WriteModelLoadMarker("/models/crashed.gguf"));
    ASSERT_TRUE(ClickItem(ui, AI("Llama 3.2 1B (1.2B parameters)")));
    ui.RunFrames(1);
    EXPECT_EQ(ReadModelLoadMarker(), "");
    EXPECT_EQ(GetSelectedModel(), 2);
    EXPECT_NE(ReadFile("ai_settings.cfg").find("ai_model=2"), std::string::npos);
    EXPECT_GE(console.FindOut("Selected Llama 3.2 1B model"), 0);
    EXPECT_TRUE(text.Contains("(Current: 2)"));
    EXPECT_TRUE(text.Contains("Not Downloaded"));
    EXPECT_TRUE(text.Contains("   Size: ~0.8GB | RAM: ~1.5GB | Context: 4096 tokens"));
    EXPECT_TRUE(text.Contains("Current Model: Llama 3.2 1B"));
    EXPECT_TRUE(text.Contains("Model Not Available"));
    EXPECT_TRUE(ItemDrawn(ui, AI("Download Selected Model")));

    // A download of model 1 at 37 %, as the download thread leaves the state.
    {
        std::lock_guard<std::mutex> lock(downloadStateMutex);
        isDownloading = true;
        downloadProgress = 37;
        downloadingModel = 1;
        downloadStatus = "Downloading... 37%";
    }
    ui.RunFrames(1);
    EXPECT_TRUE(text.Contains("Downloading... 37%"));
    EXPECT_TRUE(text.Contains("Downloading model... 37%"));
    EXPECT_FALSE(ItemDrawn(ui, AI("Download Selected Model")));
    ScrollToBottom();
    ui.SaveScreenshot(TestDirectory() + "/shots/ai_settings_downloading.png");
    ASSERT_TRUE(ClickItem(ui, AI("Cancel Download")));
    ui.RunFrames(1);
    const ModelDownloadState s = GetModelDownloadState();
    EXPECT_FALSE(s.isDownloading);
    EXPECT_EQ(s.downloadProgress, 0);
    EXPECT_TRUE(s.downloadStatus.empty());
    EXPECT_EQ(s.downloadingModel, -1); // the cancelled thread does not come back to reset it
    EXPECT_FALSE(text.Contains("Downloading model..."));
    EXPECT_TRUE(ItemDrawn(ui, AI("Download Selected Model")));

    // A present model 2 file (sparse, over 640 MiB) is offered for deletion; the
    // emptied sub-directory goes with it.
    const std::string path = ModelManager().GetModelInfo(2).localPath;
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path).close();
    fs::resize_file(path, 641ull * 1048576);
    ui.RunFrames(1);
    EXPECT_TRUE(text.Contains("Model Already Available"));
    EXPECT_TRUE(text.Contains("Available"));
    EXPECT_TRUE(text.Contains("Active"));
    ScrollToBottom();
    ASSERT_TRUE(ClickItem(ui, AI("Delete Model")));
    ui.RunFrames(1);
    EXPECT_FALSE(fs::exists(path));
    EXPECT_FALSE(fs::exists(fs::path(path).parent_path()));
    EXPECT_GE(console.FindOut("Deleting model 2..."), 0);
    EXPECT_GE(console.FindOut("Deleting model file: " + path), 0);
    EXPECT_GE(console.FindOut("Model deleted successfully!"), 0);
    EXPECT_GE(console.FindOut("Empty model directory removed."), 0);
    EXPECT_TRUE(ItemDrawn(ui, AI("Download Selected Model")));

    ScrollToBottom();
    ASSERT_TRUE(ClickItem(ui, AI("Clear Model Cache")));
    EXPECT_GE(console.FindOut("Clearing model cache..."), 0);

    // An unknown choice from the file: "Unknown", and the download part acts on model 1.
    SetSelectedModel(7);
    ui.RunFrames(1);
    EXPECT_TRUE(text.Contains("Current Model: Unknown"));
}

TEST_F(AISettingsSectionTest, FailuresShownInTheSectionAndNoWorkingDirectory)
{
    FrameText text;
    // A save that fails is shown until one succeeds.
    fs::create_directories("ai_settings.cfg");
    ASSERT_TRUE(ClickItem(ui, AI("Enable AI Chat and Intelligent Analysis")));
    ui.RunFrames(1);
    EXPECT_TRUE(text.Contains("Failed to save AI settings to ai_settings.cfg"));
    fs::remove("ai_settings.cfg");
    ASSERT_TRUE(ClickItem(ui, AI("Llama 3.2 3B (3.2B parameters)")));
    ui.RunFrames(1);
    EXPECT_FALSE(text.Contains("Failed to save AI settings"));

    // A cancelled download gives way at once to a new one. The server sends a
    // page, not a model: the section says so until the next download starts.
    LocalHttpServer server;
    HttpRoute page;
    page.bodySize = 4 * 1048576;
    page.chunkDelayMs = 40;
    page.head = "<!DOCTYPE html>";
    server.AddRoute("/bartowski/Llama-3.2-3B-Instruct-GGUF/resolve/main/Llama-3.2-3B-Instruct-Q4_K_M.gguf", page);
    SetModelHostUrl(server.BaseUrl());
    ScrollToBottom();
    ASSERT_TRUE(ClickItem(ui, AI("Download Selected Model")));
    ScrollToBottom();
    ASSERT_TRUE(ClickItem(ui, AI("Cancel Download")));
    ScrollToBottom();
    ASSERT_TRUE(ClickItem(ui, AI("Download Selected Model")));
    ui.RunFrames(1);
    EXPECT_TRUE(text.Contains("Downloading model..."));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (IsModelDownloadThreadRunning() && std::chrono::steady_clock::now() < deadline)
        ui.RunFrames(1);
    ui.RunFrames(1);
    EXPECT_TRUE(text.Contains("Download failed: the file received is not a GGUF model"));
    EXPECT_GE(console.FindOut("Model download cancelled"), 0);
    EXPECT_FALSE(fs::exists(ModelManager().GetModelInfo(1).localPath));
    SetModelHostUrl("https://huggingface.co");

    // The working directory removed while the section shows: the models are not
    // available, one console line says why, and the program goes on.
    const fs::path gone = fs::temp_directory_path() / ("dravik-gone-" + std::to_string(getpid()));
    fs::create_directories(gone);
    fs::current_path(gone);
    fs::remove(gone);
    ui.RunFrames(5);
    EXPECT_TRUE(ItemDrawn(ui, AI("Download Selected Model")));
    int lines = 0;
    for (const std::string& line : console.ErrLines())
        lines += line.find("Error: Cannot read the working directory") == 0;
    EXPECT_EQ(lines, 1);
    fs::current_path(dir.Path());
}
