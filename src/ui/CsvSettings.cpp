#include "ui/CsvSettings.h"

#include "serial/ChannelData.h"
#include "serial/CsvRecorder.h"

#include <imgui.h>

#include <algorithm>
#include <cstring>

bool UseTimestampedFileName = true;
char CsvFileNameBuffer[256] = "dravik.csv";
char CsvChannelNames[3][64] = {"Channel_1", "Channel_2", "Channel_3"};
bool ShowCsvChannelNameEditor = false;

static const char* const CsvFileNamePrefix = "dravik";
// Why the last Start failed, as the recorder said it: the file and the reason.
static std::string CsvStartError;

std::vector<std::string> GetCsvChannelNames()
{
    std::vector<std::string> names;
    const int n = std::min(GetChannelCount(), MaxChannelCount);
    for (int i = 0; i < n; i++)
        names.emplace_back(CsvChannelNames[i], strnlen(CsvChannelNames[i], sizeof(CsvChannelNames[i])));
    return names;
}

static void StartRecordingFromSettings()
{
    const std::string fileName =
        UseTimestampedFileName ? MakeTimestampedFileName(CsvFileNamePrefix)
                               : std::string(CsvFileNameBuffer, strnlen(CsvFileNameBuffer, sizeof(CsvFileNameBuffer)));
    const std::vector<std::string> names = GetCsvChannelNames();
    // A time-stamped name is the same for every Start within one second, so
    // such a Start never replaces a file; a name the user typed is replaced.
    if (StartCsvRecording(fileName, names, !UseTimestampedFileName))
        ImGui::OpenPopup("Recording Started");
    else
    {
        CsvStartError = GetCsvStartError();
        ImGui::OpenPopup("Recording Failed");
    }
}

void CsvSettingsPage()
{
    // Closed, nothing of the section is drawn, its popups included.
    if (!ImGui::CollapsingHeader("CSV Recording Settings", ImGuiTreeNodeFlags_DefaultOpen))
        return;

    ImGui::Text("CSV Filename:");
    ImGui::Checkbox("Use timestamped filename", &UseTimestampedFileName);
    if (UseTimestampedFileName)
        ImGui::TextColored(ImVec4(0.7f, 0.7f, 0.7f, 1.0f), "Will use: %s",
                           MakeTimestampedFileName(CsvFileNamePrefix).c_str());
    else
        ImGui::InputText("##CSVFilename", CsvFileNameBuffer, sizeof(CsvFileNameBuffer), 0);

    const int n = GetChannelCount();
    if (n < 1)
    {
        ImGui::TextColored(ImVec4(1.0f, 0.5f, 0.0f, 1.0f), "Set number of channels in Data Reception Settings first");
    }
    else
    {
        ImGui::Text("Channel Names (%d channels):", n);
        if (ImGui::Button("Configure Channel Names"))
            ShowCsvChannelNameEditor = !ShowCsvChannelNameEditor;
        if (ShowCsvChannelNameEditor)
        {
            ImGui::BeginChild("ChannelNames", ImVec2(0, 150), ImGuiChildFlags_Borders, 0);
            const int k = std::min(n, MaxChannelCount);
            for (int i = 0; i < k; i++)
            {
                const std::string label = "Channel " + std::to_string(i + 1) + "##";
                ImGui::InputText(label.c_str(), CsvChannelNames[i], sizeof(CsvChannelNames[i]), 0);
            }
            ImGui::EndChild();
        }
    }

    ImGui::Separator();

    if (IsCsvRecording())
    {
        if (ImGui::Button("Stop CSV Recording", ImVec2(150, 30)))
            StopCsvRecording();
        ImGui::TextColored(ImVec4(0.0f, 1.0f, 0.0f, 1.0f), "Recording to: %s", GetCsvFileName().c_str());
        ImGui::Text("Data points recorded: %zu", static_cast<size_t>(GetCsvRowCount()));
        ImGui::SameLine();
        ImGui::TextColored(ImVec4(1.0f, 0.0f, 0.0f, 1.0f), "REC");
        // Rows are refused only for want of values, that is with no channels.
        const uint64_t refused = GetCsvRefusedRowCount();
        if (refused > 0)
            ImGui::TextColored(ImVec4(1.0f, 0.5f, 0.0f, 1.0f),
                               "Rows not recorded: %llu (no channels: set the number of channels in Data "
                               "Reception Settings)",
                               (unsigned long long)refused);
    }
    else
    {
        if (ImGui::Button("Start CSV Recording", ImVec2(150, 30)) && n >= 1)
            StartRecordingFromSettings();
        ImGui::TextColored(ImVec4(0.7f, 0.7f, 0.7f, 1.0f), "Not recording");
        const std::string stopped = GetCsvStopReason();
        if (!stopped.empty())
            ImGui::TextColored(ImVec4(1.0f, 0.0f, 0.0f, 1.0f), "%s", stopped.c_str());
    }

    // Opened and drawn in the same ID scope, so BeginPopupModal finds them.
    if (ImGui::BeginPopupModal("Recording Started", nullptr, ImGuiWindowFlags_AlwaysAutoResize))
    {
        ImGui::Text("CSV recording started successfully!");
        if (ImGui::Button("OK", ImVec2(120, 0)))
            ImGui::CloseCurrentPopup();
        ImGui::EndPopup();
    }
    if (ImGui::BeginPopupModal("Recording Failed", nullptr, ImGuiWindowFlags_AlwaysAutoResize))
    {
        ImGui::Text("Failed to start CSV recording!");
        if (!CsvStartError.empty())
            ImGui::TextUnformatted(CsvStartError.c_str());
        ImGui::Text("Check if the file can be created and is not in use.");
        if (ImGui::Button("OK", ImVec2(120, 0)))
            ImGui::CloseCurrentPopup();
        ImGui::EndPopup();
    }
}
