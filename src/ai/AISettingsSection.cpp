#include "ai/AISettingsSection.h"

#include "ai/AISettings.h"
#include "ai/ModelDownload.h"
#include "ai/ModelManager.h"
#include "ui/DashboardSettings.h"

#include <imgui.h>

#include <chrono>
#include <filesystem>
#include <iostream>

static ImVec4 PresentColor()
{
    return GetThemeIndex() == 0 ? ImVec4(0.0f, 0.6f, 0.0f, 1.0f) : ImVec4(0.0f, 1.0f, 0.0f, 1.0f);
}
static const ImVec4 AbsentColor(1.0f, 0.0f, 0.0f, 1.0f);
static const ImVec4 DownloadColor(0.0f, 0.8f, 1.0f, 1.0f);

void AIModelSettingsPage()
{
    LoadAISettings();
    if (!ImGui::CollapsingHeader("AI Model Settings", ImGuiTreeNodeFlags_DefaultOpen))
        return;
    bool enabled = IsAIEnabled();
    if (ImGui::Checkbox("Enable AI Chat and Intelligent Analysis", &enabled))
    {
        SetAIEnabled(enabled);
        SaveAISettings();
        if (enabled)
            std::cout << "AI enabled - Model: " << GetSelectedModel() << std::endl;
        else
            std::cout << "AI disabled" << std::endl;
    }
    if (AISettingsSaveFailed())
        ImGui::TextColored(AbsentColor, "Failed to save AI settings to %s", aiSettingsFileName.c_str());
    if (!enabled)
        return;
    ImGui::Separator();
    ImGui::Spacing();
    AIModelSelectionSection();
    ImGui::Separator();
    ImGui::Spacing();
    AIStatusSection();
    ImGui::Separator();
    ImGui::Spacing();
    AIConfigurationSection();
}

struct ModelChoice
{
    const char* label;
    const char* consoleLine;
    const char* line1;
    const char* line2;
};

static const ModelChoice ModelChoices[3] = {
    {"Phi Mini 2 (2.7B parameters)", "Selected Phi Mini 2 model", "   Lightweight model - Fast and efficient",
     "   Size: ~1.7GB | RAM: ~2GB | Context: 2048 tokens"},
    {"Llama 3.2 3B (3.2B parameters)", "Selected Llama 3.2 3B model",
     "   Balanced model - Good performance/quality ratio", "   Size: ~1.9GB | RAM: ~4GB | Context: 4096 tokens"},
    {"Llama 3.2 1B (1.2B parameters)", "Selected Llama 3.2 1B model", "   Compact model - Fastest, smallest memory use",
     "   Size: ~0.8GB | RAM: ~1.5GB | Context: 4096 tokens"},
};

void AIModelSelectionSection()
{
    ImGui::Text("AI Model Selection:");
    ImGui::Spacing();
    static ModelManager manager;
    bool downloaded[3];
    for (int id = 0; id < 3; id++)
        downloaded[id] = manager.IsModelDownloaded(id);
    // One whole copy of the download state for this frame.
    const ModelDownloadState state = GetModelDownloadState();

    for (int id = 0; id < 3; id++)
    {
        const ModelChoice& choice = ModelChoices[id];
        if (ImGui::RadioButton(choice.label, GetSelectedModel() == id))
        {
            SetSelectedModel(id);
            // The user's choice lifts the block on a model whose load crashed.
            RemoveModelLoadMarker();
            SaveAISettings();
            std::cout << choice.consoleLine << std::endl;
        }
        if (id == 0)
        {
            ImGui::SameLine(0, -1);
            ImGui::Text("(Current: %d)", GetSelectedModel());
        }
        ImGui::SameLine(0, -1);
        if (state.isDownloading && state.downloadingModel == id)
            ImGui::TextColored(DownloadColor, "Downloading... %d%%", state.downloadProgress);
        else if (downloaded[id])
            ImGui::TextColored(PresentColor(), "Available");
        else
            ImGui::TextColored(AbsentColor, "Not Downloaded");
        ImGui::Text("%s", choice.line1);
        ImGui::Text("%s", choice.line2);
        ImGui::Spacing();
    }
}

void AIStatusSection()
{
    ImGui::Text("AI Status:");
    ImGui::Spacing();
    static ModelManager manager;
    const int32_t selection = GetSelectedModel();
    const bool downloaded = manager.IsModelDownloaded(ModelIdFromSelection(selection));
    const char* name = selection == 0   ? "Phi Mini 2"
                       : selection == 1 ? "Llama 3.2 3B"
                       : selection == 2 ? "Llama 3.2 1B"
                                        : "Unknown";
    ImGui::Text("Current Model: %s", name);
    ImGui::SameLine(0, -1);
    if (downloaded)
        ImGui::TextColored(PresentColor(), "Active");
    else
        ImGui::TextColored(AbsentColor, "Model Not Available");
    ImGui::Spacing();
    ImGui::Text("System Compatibility:");
    // The available memory changes while the program runs: measured again each
    // second, not each frame.
    static SystemInfo info;
    static std::chrono::steady_clock::time_point measured;
    const auto now = std::chrono::steady_clock::now();
    if (info.cpuName.empty() || now - measured >= std::chrono::seconds(1))
    {
        info = manager.DetectSystemInfo();
        measured = now;
    }
    ImGui::BulletText("RAM: %dGB available", info.availableRamGB);
    ImGui::BulletText("CPU: %s - Compatible", info.cpuName.c_str());
    // The models run on the processor; no GPU is used.
    ImGui::BulletText("GPU: %s - CPU mode", info.hasGpu ? info.gpuName.c_str() : "not used");
    ImGui::Spacing();
}

static void DeleteSelectedModel(const ModelManager& manager)
{
    namespace fs = std::filesystem;
    const int32_t selection = GetSelectedModel();
    std::cout << "Deleting model " << selection << "..." << std::endl;
    std::string path = manager.GetModelInfo(ModelIdFromSelection(selection)).localPath;
    std::error_code ec;
    if (fs::exists("application", ec) && !fs::exists(path, ec))
        path = "../" + path;
    std::cout << "Deleting model file: " << path << std::endl;
    if (!fs::exists(path, ec))
    {
        std::cout << "Model file not found: " << path << std::endl;
        return;
    }
    if (!fs::remove(path, ec))
    {
        std::cout << "Failed to delete model file!" << std::endl;
        if (ec)
            std::cerr << "Model file removal error: " << ec.message() << std::endl;
        return;
    }
    std::cout << "Model deleted successfully!" << std::endl;
    const fs::path parent = fs::path(path).parent_path();
    if (fs::is_empty(parent, ec) && !ec && fs::remove(parent, ec))
        std::cout << "Empty model directory removed." << std::endl;
}

void AIConfigurationSection()
{
    ImGui::Text("AI Configuration:");
    ImGui::Spacing();
    const ModelDownloadState state = GetModelDownloadState();
    if (state.isDownloading)
    {
        ImGui::Text("Downloading model... %d%%", state.downloadProgress);
        ImGui::ProgressBar(state.downloadProgress / 100.0f, ImVec2(-1, 0), state.downloadStatus.c_str());
        if (ImGui::Button("Cancel Download"))
            CancelModelDownload();
    }
    else
    {
        ModelManager manager;
        if (manager.IsModelDownloaded(ModelIdFromSelection(GetSelectedModel())))
        {
            ImGui::TextColored(PresentColor(), "Model Already Available");
            ImGui::SameLine(0, -1);
            if (ImGui::Button("Delete Model"))
                DeleteSelectedModel(manager);
        }
        else if (ImGui::Button("Download Selected Model"))
            StartModelDownload();
        // Why the selected model's last download failed, until the next one starts.
        if (!state.lastFailure.empty() && state.lastFailureModel == ModelIdFromSelection(GetSelectedModel()))
            ImGui::TextColored(AbsentColor, "%s", state.lastFailure.c_str());
    }
    if (ImGui::Button("Clear Model Cache"))
        std::cout << "Clearing model cache..." << std::endl;
}
