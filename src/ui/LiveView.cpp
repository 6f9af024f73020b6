#include "ui/LiveView.h"

#include "dock/Dock.h"
#include "serial/ChannelData.h"
#include "ui/ChannelLabels.h"
#include "ui/ChannelStatistics.h"
#include "ui/DashboardSettings.h"
#include "ui/DashboardDockSpace.h"
#include "ui/IndividualViews.h"
#include "ui/MeasuringCursors.h"
#include "ui/PlotThemes.h"
#include "ui/SerialTerminal.h"
#include "ui/ShadedPlotItems.h"

#include <algorithm>
#include <iostream>

const ImVec4 ChannelColors[3] = {
    ImVec4(0.0f, 0.4f, 0.8f, 1.0f),
    ImVec4(0.2f, 0.7f, 0.3f, 1.0f),
    ImVec4(0.6f, 0.2f, 0.8f, 1.0f),
};

void SetChannelPlotType(int channel, int type)
{
    if (channel < 0)
        return;
    if (ChannelPlotTypes.size() < (size_t)channel + 1)
        ChannelPlotTypes.resize((size_t)channel + 1, 0);
    ChannelPlotTypes[channel] = type;
}

int GetChannelPlotType(int channel)
{
    if (channel >= 0 && (size_t)channel < ChannelPlotTypes.size())
        return ChannelPlotTypes[channel];
    return 0;
}

float GetChannelLineWeight(int channel)
{
    if (channel < 0)
        return 1.0f;
    if (ChannelLineWeights.size() < (size_t)channel + 1)
        ChannelLineWeights.resize((size_t)channel + 1, 1.0f);
    return ChannelLineWeights[channel];
}

ImPlotPoint GetChannelPoint(int idx, void* data)
{
    const ChannelPointData& d = *(const ChannelPointData*)data;
    if (idx >= 0 && (size_t)idx < d.times.size() && (size_t)idx < d.values.size())
        return ImPlotPoint((double)d.times[idx], (double)d.values[idx]);
    return ImPlotPoint(0.0, 0.0);
}

ImPlotPoint GetBaselinePoint(int idx, void* data)
{
    const std::vector<float>& times = *(const std::vector<float>*)data;
    if (idx >= 0 && (size_t)idx < times.size())
        return ImPlotPoint((double)times[idx], 0.0);
    return ImPlotPoint(0.0, 0.0);
}

void PlotChannel(int channel, const std::string& label, const ImVec4& colour, const std::vector<float>& snapshotTimes,
                 const std::vector<std::vector<float>>& snapshotHistories)
{
    if (channel < 0 || (size_t)channel >= snapshotHistories.size() || snapshotHistories[channel].empty())
    {
        std::cout << "[RENDER ERROR] Channel " << channel << " has no data in snapshot" << std::endl;
        return;
    }
    const std::vector<float>& values = snapshotHistories[channel];
    if (values.size() != snapshotTimes.size())
    {
        std::cout << "[RENDER ERROR] Channel " << channel
                  << " size mismatch (snapshot) - channelData: " << values.size()
                  << ", xValues: " << snapshotTimes.size() << std::endl;
        return;
    }

    const int type = GetChannelPlotType(channel);
    const int count = (int)values.size();
    ChannelPointData points{snapshotTimes, values};
    // The getters take non-const user data; they only read it.
    void* pointData = &points;
    void* baselineData = (void*)&snapshotTimes;
    switch (type)
    {
    case 0:
        ImPlot::PushStyleColor(ImPlotCol_Line, colour);
        // Overrides the plot theme's LineWeight.
        ImPlot::PushStyleVar(ImPlotStyleVar_LineWeight, GetChannelLineWeight(channel));
        ImPlot::PlotLine<float>(label.c_str(), snapshotTimes.data(), values.data(), count, 0, 0, sizeof(float));
        ImPlot::PopStyleVar(1);
        break;
    case 1:
        ImPlot::PushStyleColor(ImPlotCol_Fill, colour);
        ImPlot::SetNextLineStyle(colour, GetChannelLineWeight(channel));
        PlotShadedBandGradient(label.c_str(), GetChannelPoint, pointData, GetBaselinePoint, baselineData, count, 0);
        break;
    case 2:
        ImPlot::PushStyleColor(ImPlotCol_Fill, colour);
        ImPlot::SetNextLineStyle(colour, GetChannelLineWeight(channel));
        PlotShadedBandWithOutline(label.c_str(), GetChannelPoint, pointData, GetBaselinePoint, baselineData, count, 0);
        break;
    case 3:
        ImPlot::PushStyleColor(ImPlotCol_Fill, colour);
        ImPlot::SetNextLineStyle(colour, GetChannelLineWeight(channel));
        PlotShadedWithOutline(label.c_str(), snapshotTimes.data(), values.data(), count, 0.0, 0, 0, sizeof(float));
        break;
    case 4:
        ImPlot::PushStyleColor(ImPlotCol_Fill, colour);
        ImPlot::PlotShadedG(label.c_str(), GetChannelPoint, pointData, GetBaselinePoint, baselineData, count, 0);
        break;
    default: return;
    }
    ImPlot::PopStyleColor(1);
}

void ChannelPlotTypePopup(int channel, const std::string& label)
{
    if (!ImPlot::BeginLegendPopup(label.c_str(), ImGuiMouseButton_Right))
        return;
    ImGui::Text("Plot Type for %s:", label.c_str());
    ImGui::Separator();
    if (ImGui::MenuItem("Line Plot", nullptr, GetChannelPlotType(channel) == 0, true))
        SetChannelPlotType(channel, 0);
    ImPlot::EndLegendPopup();
}

// The cursor that snaps to the sample nearest the mouse.
static void RenderSingleCursor(const std::vector<std::string>& labels, bool showDots,
                               const std::vector<float>& snapshotTimes,
                               const std::vector<std::vector<float>>& snapshotHistories)
{
    if (!ImPlot::IsPlotHovered())
        return;
    const double x = ImPlot::GetPlotMousePos(IMPLOT_AUTO, IMPLOT_AUTO).x;
    const int k = FindNearestSampleIndex(snapshotTimes, x);
    if (k == -1)
        return;
    const double t = (double)snapshotTimes[k];
    ImPlot::PlotInfLines("##cursor", &t, 1, 0, 0, sizeof(double));

    const size_t handled = std::min(snapshotHistories.size(), labels.size());
    if (showDots)
    {
        ImDrawList* drawList = ImPlot::GetPlotDrawList();
        for (size_t i = 0; i < handled && drawList; i++)
        {
            if ((size_t)k >= snapshotHistories[i].size())
                continue;
            ImVec2 p = ImPlot::PlotToPixels(t, (double)snapshotHistories[i][k], IMPLOT_AUTO, IMPLOT_AUTO);
            drawList->AddCircleFilled(p, 4.0f, 0xFFFFFFFF, 8);
            drawList->AddCircle(p, 4.0f, 0xFF000000, 8, 2.0f);
        }
    }
    std::string text = SingleCursorTooltip(k, labels, snapshotTimes, snapshotHistories);
    ImGui::SetTooltip("%s", text.c_str());
}

void RenderLiveView()
{
    std::vector<float> snapshotTimes;
    std::vector<std::vector<float>> snapshotHistories;
    uint64_t samplesAppended = 0;
    GetChannelDataSnapshot(snapshotTimes, snapshotHistories, samplesAppended);

    UpdateSerialTerminal(snapshotHistories, samplesAppended);

    dock::SetNextWindowDockID(GetDashboardDockSpaceId(), ImGuiCond_FirstUseEver);
    ImGui::SetNextWindowSize(ImVec2(600, 400), ImGuiCond_FirstUseEver);
    // A collapsed or hidden window makes BeginPlot return false.
    dock::Begin("\xEF\x88\x81 Live View", nullptr, 0);
    ImGui::PushStyleVar(ImGuiStyleVar_ItemSpacing, ImVec2(12, 12));
    ImGui::PushStyleVar(ImGuiStyleVar_FramePadding, ImVec2(12, 4));

    if (ImPlot::BeginPlot("Combined View", ImGui::GetContentRegionAvail(), 0))
    {
        if (GetPlotThemeIndex())
            ApplyDarkPlotTheme(nullptr);
        else
            ApplyLightPlotTheme(nullptr);

        // The window's draw list: ImGui resets its flags at the window's next Begin.
        if (ImDrawList* drawList = ImPlot::GetPlotDrawList())
            drawList->Flags &= ~(ImDrawListFlags_AntiAliasedLines | ImDrawListFlags_AntiAliasedFill);

        std::vector<std::string> labels;
        GetChannelLabels(labels);
        const int handled = (int)std::min(snapshotHistories.size(), labels.size());

        const ImPlotAxisFlags axisFlags = snapshotTimes.empty() ? ImPlotAxisFlags_None : ImPlotAxisFlags_AutoFit;
        ImPlot::SetupAxes("Time (s)", "Value", axisFlags, axisFlags);
        if (snapshotTimes.empty())
        {
            // The centre of what the axes show: after a port close they keep the last data's range.
            const ImPlotRect limits = ImPlot::GetPlotLimits(IMPLOT_AUTO, IMPLOT_AUTO);
            ImPlot::PlotText("No data available", (limits.X.Min + limits.X.Max) * 0.5,
                             (limits.Y.Min + limits.Y.Max) * 0.5, ImVec2(0, 0), 0);
        }
        else
        {
            for (int i = 0; i < handled; i++)
                PlotChannel(i, ChannelLabelAt(labels, i), ChannelColors[i % 3], snapshotTimes, snapshotHistories);
            for (int i = 0; i < handled; i++)
                ChannelPlotTypePopup(i, ChannelLabelAt(labels, i));

            bool enabled = false, dualMode = false, showDots = false;
            GetCursorSettings(enabled, dualMode, showDots);
            if (enabled)
            {
                if (dualMode)
                    RenderDualCursors(labels, showDots, snapshotTimes, snapshotHistories);
                else
                    RenderSingleCursor(labels, showDots, snapshotTimes, snapshotHistories);
            }
        }
        ImPlot::EndPlot();
    }

    ImGui::PopStyleVar(2);
    dock::End();

    RenderIndividualViews(snapshotTimes, snapshotHistories);
    if (IsChannelStatisticsShown())
        RenderChannelStatistics(snapshotTimes, snapshotHistories);
}
