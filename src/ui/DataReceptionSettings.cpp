#include "ui/DataReceptionSettings.h"

#include "serial/ChannelData.h"
#include "serial/CsvRecorder.h"

#include <imgui.h>

#include <algorithm>

void DataReceptionSettingsPage()
{
    if (!ImGui::CollapsingHeader("Data Reception Settings", ImGuiTreeNodeFlags_DefaultOpen))
        return;

    ImGui::Text("Number of channels:");
    // A recording's rows must match its header: the count stays as it is until the recording stops.
    const bool recording = IsCsvRecording();
    // The count is an atomic read by the reader thread: edit a copy and store
    // it once, already clamped, so the reader never sees a value out of range.
    int count = GetChannelCount();
    ImGui::BeginDisabled(recording);
    ImGui::SetNextItemWidth(150);
    ImGui::InputInt("Channels", &count, 1, 100, 0);
    ImGui::EndDisabled();
    if (recording)
    {
        ImGui::TextDisabled("Stop the CSV recording to change the number of channels.");
        return;
    }
    count = std::clamp(count, 0, MaxChannelCount);
    if (count != GetChannelCount())
        SetChannelCount(count);
}
