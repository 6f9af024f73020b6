#include "ui/LiveViewSettings.h"

#include "serial/ChannelData.h"
#include "ui/DashboardSettings.h"

#include <imgui.h>
#include <imgui_internal.h> // the active item and its text

#include <algorithm>
#include <cstring>
#include <string>

// A typed size is the limit only once the edit ends (Enter, or leaving the field): each keystroke
// would otherwise be one, and "5000" typed over 10,000 points would keep 5 of them. The step
// buttons apply at once. Until the edit ends the field keeps the value typed so far.
static bool DataSizeTyping = false;
static int DataSizeTyped = 0;
static int DataSizeFieldFrame = -1; // the frame the field was last drawn in

static void ApplyDataSize(int maxPoints)
{
    maxPoints = std::clamp(maxPoints, 0, MaxPointsLimit);
    if (maxPoints != GetMaxPointsPerChannel())
        SetMaxPointsPerChannel(maxPoints);
}

static void DataSizeField()
{
    // The text field inside InputInt carries the widget's own ID.
    const ImGuiID field = ImGui::GetID("##DataSize");
    // The limit is an atomic read by the reader thread: edit a copy.
    int maxPoints = DataSizeTyping ? DataSizeTyped : GetMaxPointsPerChannel();
    ImGui::SetNextItemWidth(150);
    ImGui::InputInt("##DataSize", &maxPoints, 1, 100, 0);
    DataSizeFieldFrame = ImGui::GetFrameCount();
    DataSizeTyping = ImGui::GetActiveID() == field;
    if (DataSizeTyping)
    {
        DataSizeTyped = maxPoints;
        // A field left empty changes nothing.
        const ImGuiInputTextState* state = ImGui::GetInputTextState(field);
        if (state && state->TextLen == 0)
            DataSizeTyped = GetMaxPointsPerChannel();
        return;
    }
    ApplyDataSize(maxPoints);
}

void FinishDataSizeEdit()
{
    // The field went away while it had the keyboard (another page chosen, the section
    // closed): its edit ends with it, not when it is next drawn.
    if (DataSizeTyping && DataSizeFieldFrame != ImGui::GetFrameCount())
    {
        DataSizeTyping = false;
        ApplyDataSize(DataSizeTyped);
    }
}

void LiveViewSettingsPage()
{
    if (!ImGui::CollapsingHeader("Live View Settings", ImGuiTreeNodeFlags_DefaultOpen))
        return;

    ImGui::Text("Data Size (max 10,000): ");
    DataSizeField();

    ChannelConfigurationSection();

    ImGui::Separator();
    ImGui::Text("Data Cursor Settings:");
    ImGui::Checkbox("Enable Cursors", &cursorsEnabled);
    if (cursorsEnabled)
    {
        ImGui::Indent();
        int mode = dualCursorMode ? 1 : 0;
        const char* modes[] = {"Single Cursor", "Dual Cursors"};
        ImGui::SetNextItemWidth(150);
        if (ImGui::Combo("Cursor Mode", &mode, modes, 2))
            dualCursorMode = mode == 1;
        if (dualCursorMode)
            ImGui::Text("Time and value differences will be shown in tooltips");
        else
            ImGui::Text("Hover over the plot to see cursor with data values");
        ImGui::Checkbox("Show Intersection Dots", &showIntersectionDots);
        if (showIntersectionDots)
        {
            ImGui::Indent();
            ImGui::Text("Small dots will show where cursors intersect data lines");
            ImGui::Unindent();
        }
        ImGui::Unindent();
    }

    ImGui::Spacing();
    ImGui::Separator();
    ImGui::Spacing();
    ImGui::Text("Display Options:");
    ImGui::Checkbox("Show Channel Statistics", &ShowChannelStatistics);
    if (ImGui::IsItemHovered())
        ImGui::SetTooltip("Enable/disable the Channel Statistics window display");
}

void ChannelConfigurationSection()
{
    ImGui::Text("Channel Configuration:");

    const int count = GetChannelCount();
    ChannelDisplayNames.resize((size_t)std::max(0, count));

    const int k = std::min(count, MaxChannelCount);
    for (int i = 0; i < k; i++)
    {
        char buffer[256];
        const std::string& name = ChannelDisplayNames[i];
        size_t n = std::min(name.size(), sizeof(buffer) - 1);
        std::memcpy(buffer, name.data(), n);
        buffer[n] = '\0';

        ImGui::BeginGroup();
        std::string visibleId = "Show Individual Plot##Visible" + std::to_string(i);
        ImGui::Checkbox(visibleId.c_str(), &ShowIndividualPlot[i]);
        std::string nameLabel = "Data " + std::to_string(i + 1);
        ImGui::SetNextItemWidth(200);
        if (ImGui::InputText(nameLabel.c_str(), buffer, sizeof(buffer), 0))
            ChannelDisplayNames[i] = buffer;
        ImGui::EndGroup();
        if (i < k - 1)
            ImGui::Spacing();
    }
}
