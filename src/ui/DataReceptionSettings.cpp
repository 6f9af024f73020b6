#include "ui/DataReceptionSettings.h"

#include "serial/ChannelData.h"

#include <imgui.h>

#include <algorithm>

void DataReceptionSettingsPage()
{
    if (!ImGui::CollapsingHeader("Data Reception Settings", ImGuiTreeNodeFlags_DefaultOpen))
        return;

    ImGui::Text("Number of channels:");
    // The count is an atomic read by the reader thread: edit a copy and store
    // it once, already clamped, so the reader never sees a value out of range.
    int count = GetChannelCount();
    ImGui::SetNextItemWidth(150);
    ImGui::InputInt("Channels", &count, 1, 100, 0);
    count = std::clamp(count, 0, MaxChannelCount);
    if (count != GetChannelCount())
        SetChannelCount(count);
}
