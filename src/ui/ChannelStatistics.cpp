#include "ui/ChannelStatistics.h"

#include "dock/Dock.h"
#include "serial/ChannelData.h"
#include "ui/ChannelLabels.h"
#include "ui/DashboardDockSpace.h"

#include <imgui.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <iomanip>
#include <sstream>

const ImVec4 StatisticsPalette[10] = {
    ImVec4(0.0f, 0.4f, 0.8f, 1.0f),    ImVec4(0.2f, 0.7f, 0.3f, 1.0f),     ImVec4(0.6f, 0.2f, 0.8f, 1.0f),
    ImVec4(0.8f, 0.8f, 0.0f, 1.0f),    ImVec4(0.0f, 0.447f, 0.698f, 1.0f), ImVec4(0.902f, 0.624f, 0.0f, 1.0f),
    ImVec4(0.0f, 0.62f, 0.451f, 1.0f), ImVec4(0.835f, 0.369f, 0.0f, 1.0f), ImVec4(0.5f, 0.5f, 0.5f, 1.0f),
    ImVec4(0.0f, 0.6f, 0.8f, 1.0f),
};
const ImVec4 StatisticsPaletteFallback = ImVec4(0.5f, 0.5f, 0.5f, 1.0f);

const ImVec4& StatisticsColor(int channel)
{
    if (channel >= 0 && channel < 10)
        return StatisticsPalette[channel];
    return StatisticsPaletteFallback;
}

std::string FormatFloat3(double value)
{
    std::ostringstream out;
    out << std::fixed << std::setprecision(3) << value;
    return out.str();
}

std::string FormatTimeSpan(float seconds)
{
    char text[64];
    snprintf(text, sizeof(text), "%.3f s", (double)seconds);
    return text;
}

std::vector<ChannelStatisticsRow> ComputeChannelStatistics(const std::vector<float>& snapshotTimes,
                                                           const std::vector<std::vector<float>>& snapshotHistories,
                                                           int channelCount, const std::vector<std::string>& labels)
{
    std::vector<ChannelStatisticsRow> rows;
    const int channels = std::min(channelCount, (int)snapshotHistories.size());
    for (int i = 0; i < channels; i++)
    {
        const std::vector<float>& values = snapshotHistories[i];
        if (values.empty())
            continue;

        ChannelStatisticsRow row;
        row.channel = i;
        if (i < (int)labels.size() && !labels[i].empty())
            row.label = labels[i];
        else
            row.label = "Channel " + std::to_string(i + 1);
        row.count = (int)values.size();

        // First minimum and first maximum in storage order. The sum is a double: a float sum
        // of thousands of values drifts, and its average can leave [min, max].
        float smallest = values[0];
        float largest = values[0];
        double sum = 0.0;
        for (float v : values)
        {
            if (v < smallest)
                smallest = v;
            if (v > largest)
                largest = v;
            sum += v;
        }
        row.minimum = smallest;
        row.maximum = largest;
        row.average = std::clamp((float)(sum / row.count), smallest, largest);
        row.range = (double)largest - (double)smallest;
        if (!snapshotTimes.empty() && snapshotTimes.size() == values.size())
            row.timeSpan = snapshotTimes.back() - snapshotTimes.front();
        rows.push_back(row);
    }
    return rows;
}

// A short thick line in the channel's colour, centred on the text line, then the cursor
// moved right by textOffset for the text that follows.
static ImVec2 DrawSwatch(const ImVec4& colour, float x0, float x1, float textOffset)
{
    const ImVec2 p = ImGui::GetCursorScreenPos();
    const float yc = p.y + std::floor((ImGui::GetFontSize() - 3.0f) * 0.5f) + 0.5f;
    ImGui::GetWindowDrawList()->AddLine(ImVec2(p.x + x0, yc), ImVec2(p.x + x1, yc), ImGui::GetColorU32(colour), 3.0f);
    ImGui::SetCursorScreenPos(ImVec2(p.x + textOffset, p.y));
    return p;
}

void RenderChannelStatistics(const std::vector<float>& snapshotTimes,
                             const std::vector<std::vector<float>>& snapshotHistories)
{
    dock::SetNextWindowDockID(GetDashboardDockSpaceId(), ImGuiCond_FirstUseEver);
    ImGui::SetNextWindowSize(ImVec2(600, 400), ImGuiCond_FirstUseEver);
    ImGui::SetNextWindowSizeConstraints(ImVec2(800, 300), ImVec2(FLT_MAX, FLT_MAX));
    if (!dock::Begin("Channel Statistics", nullptr, 0))
    {
        dock::End();
        return;
    }

    std::vector<std::string> labels;
    GetChannelLabels(labels);
    const int channelCount = GetChannelCount();
    if (snapshotHistories.empty() || channelCount == 0)
    {
        ImGui::TextColored(ImVec4(1.0f, 0.5f, 0.0f, 1.0f), "No channel data available");
        dock::End();
        return;
    }

    const std::vector<ChannelStatisticsRow> rows =
        ComputeChannelStatistics(snapshotTimes, snapshotHistories, channelCount, labels);

    ImGui::Text("Channel Statistics");
    ImGui::Separator();
    ImGui::PushStyleVar(ImGuiStyleVar_CellPadding, ImVec2(8, 4));

    const ImGuiStyle& style = ImGui::GetStyle();
    const float rowHeight = ImGui::GetFontSize() + 2.0f * style.CellPadding.y;
    const float contentHeight = (float)rows.size() * rowHeight + ImGui::GetTextLineHeightWithSpacing();
    const float tableWidth = 800.0f + 16.0f * style.CellPadding.x;
    const ImVec2 avail = ImGui::GetContentRegionAvail();
    const bool fitsWidth = avail.x + 1.0f >= tableWidth;
    const bool tooTall = contentHeight > avail.y + 1.0f;

    ImGuiTableFlags flags = ImGuiTableFlags_RowBg | ImGuiTableFlags_Borders | ImGuiTableFlags_SizingFixedFit |
                            ImGuiTableFlags_NoHostExtendX;
    if (!fitsWidth)
        flags |= ImGuiTableFlags_ScrollX;
    if (tooTall)
        flags |= ImGuiTableFlags_ScrollY;
    ImVec2 outerSize(fitsWidth ? 0.0f : tableWidth, tooTall ? avail.y : contentHeight);
    if (!tooTall && !fitsWidth)
        outerSize.y += style.ScrollbarSize;

    if (ImGui::BeginTable("ChannelStats", 7, flags, outerSize, 0.0f))
    {
        ImGui::TableSetupScrollFreeze(0, 1);
        ImGui::TableSetupColumn("Channel", ImGuiTableColumnFlags_WidthFixed, 120.0f);
        ImGui::TableSetupColumn("Count", ImGuiTableColumnFlags_WidthFixed, 80.0f);
        ImGui::TableSetupColumn("Min", ImGuiTableColumnFlags_WidthFixed, 100.0f);
        ImGui::TableSetupColumn("Max", ImGuiTableColumnFlags_WidthFixed, 100.0f);
        ImGui::TableSetupColumn("Avg", ImGuiTableColumnFlags_WidthFixed, 100.0f);
        ImGui::TableSetupColumn("Range", ImGuiTableColumnFlags_WidthFixed, 100.0f);
        ImGui::TableSetupColumn("Time Span", ImGuiTableColumnFlags_WidthFixed, 100.0f);
        ImGui::TableHeadersRow();

        for (const ChannelStatisticsRow& row : rows)
        {
            ImGui::TableNextRow(ImGuiTableRowFlags_None, 0.0f);
            ImGui::TableSetColumnIndex(0);
            DrawSwatch(StatisticsColor(row.channel), 5.0f, 15.0f, 20.0f);
            ImGui::Text("%s", row.label.c_str());
            ImGui::TableSetColumnIndex(1);
            ImGui::Text("%d", row.count);
            ImGui::TableSetColumnIndex(2);
            ImGui::Text("%s", FormatFloat3(row.minimum).c_str());
            ImGui::TableSetColumnIndex(3);
            ImGui::Text("%s", FormatFloat3(row.maximum).c_str());
            ImGui::TableSetColumnIndex(4);
            ImGui::Text("%s", FormatFloat3(row.average).c_str());
            ImGui::TableSetColumnIndex(5);
            ImGui::Text("%s", FormatFloat3(row.range).c_str());
            ImGui::TableSetColumnIndex(6);
            ImGui::Text("%.3f s", (double)row.timeSpan);
        }
        ImGui::EndTable();
    }

    ImGui::PopStyleVar(1);
    ImGui::Spacing();
    ImGui::Text("Legend:");
    ImGui::SameLine(0, -1);
    for (int j = 0; j < (int)rows.size() && j < 3; j++)
    {
        if (j > 0)
            ImGui::SameLine(0, -1);
        const ImVec2 p = DrawSwatch(StatisticsPalette[j], 0.0f, 12.0f, 16.0f);
        ImGui::Text("Channel %d", j + 1);
        ImGui::SetCursorScreenPos(ImVec2(p.x + 80, p.y));
    }

    dock::End();
}
