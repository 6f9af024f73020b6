#include "ui/IndividualViews.h"

#include "dock/Dock.h"
#include "plot/implot.h"
#include "ui/ChannelLabels.h"
#include "ui/DashboardDockSpace.h"
#include "ui/DashboardSettings.h"
#include "ui/LiveView.h"
#include "ui/MeasuringCursors.h"
#include "ui/PlotThemes.h"

#include <imgui.h>

#include <string>

// The snapping cursor of one channel's view: no dots, three decimals.
static void RenderIndividualSingleCursor(int channel, const std::string& label, const std::vector<float>& snapshotTimes,
                                         const std::vector<std::vector<float>>& snapshotHistories)
{
    if (!ImPlot::IsPlotHovered())
        return;
    const double x = ImPlot::GetPlotMousePos(IMPLOT_AUTO, IMPLOT_AUTO).x;
    const int k = FindNearestSampleIndex(snapshotTimes, x);
    if (k == -1 || (size_t)channel >= snapshotHistories.size() || (size_t)k >= snapshotHistories[channel].size())
        return;
    const double t = (double)snapshotTimes[k];
    ImPlot::PlotInfLines("##cursor", &t, 1, 0, 0, sizeof(double));
    std::string text = IndividualSingleCursorTooltip(t, label, snapshotHistories[channel][k]);
    ImGui::SetTooltip("%s", text.c_str());
}

void RenderIndividualViews(const std::vector<float>& snapshotTimes,
                           const std::vector<std::vector<float>>& snapshotHistories)
{
    std::vector<bool> visible;
    std::vector<std::string> labels;
    GetChannelVisibility(visible);
    GetChannelLabels(labels);

    // Only channels the snapshot holds: after a change of the count the store follows on the
    // reader's next step.
    for (size_t i = 0; i < visible.size() && i < labels.size() && i < snapshotHistories.size(); i++)
    {
        if (!visible[i])
            continue;
        const int channel = (int)i;
        const std::string label = ChannelLabelAt(labels, channel);
        // The title is also the window's id: a new name opens a new window.
        const std::string title = label + " - Individual View";

        dock::SetNextWindowDockID(GetDashboardDockSpaceId(), ImGuiCond_FirstUseEver);
        ImGui::SetNextWindowSize(ImVec2(400, 300), ImGuiCond_FirstUseEver);
        if (dock::Begin(title.c_str(), nullptr, 0))
        {
            if (ImPlot::BeginPlot(label.c_str(), ImGui::GetContentRegionAvail(), 0))
            {
                if (GetPlotThemeIndex())
                    ApplyDarkPlotTheme(nullptr);
                else
                    ApplyLightPlotTheme(nullptr);

                const ImPlotAxisFlags axisFlags =
                    snapshotTimes.empty() ? ImPlotAxisFlags_None : ImPlotAxisFlags_AutoFit;
                ImPlot::SetupAxes("Time (s)", label.c_str(), axisFlags, axisFlags);
                if (!snapshotTimes.empty())
                {
                    PlotChannel(channel, label, ChannelColors[i % 3], snapshotTimes, snapshotHistories);

                    bool enabled = false, dualMode = false, showDots = false;
                    GetCursorSettings(enabled, dualMode, showDots);
                    if (enabled)
                    {
                        if (dualMode)
                            RenderIndividualDualCursors(channel, label, showDots, snapshotTimes, snapshotHistories);
                        else
                            RenderIndividualSingleCursor(channel, label, snapshotTimes, snapshotHistories);
                    }

                    ChannelPlotTypePopup(channel, label);
                }
                ImPlot::EndPlot();
            }
        }
        dock::End();
    }
}
