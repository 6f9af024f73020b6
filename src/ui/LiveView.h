// The Live View: the combined plot of every channel on the Dashboard page,
// and the drawing of one channel shared with the individual views.
#pragma once

#include "plot/implot.h"

#include <imgui.h>

#include <string>
#include <vector>

// Channel colours, by channel index modulo 3.
extern const ImVec4 ChannelColors[3];

// User data of the two getters of the band plot types.
struct ChannelPointData
{
    const std::vector<float>& times;
    const std::vector<float>& values;
};

void RenderLiveView();

// One channel as one plot item named label, inside the current plot.
void PlotChannel(int channel, const std::string& label, const ImVec4& colour, const std::vector<float>& snapshotTimes,
                 const std::vector<std::vector<float>>& snapshotHistories);

// Plot type 0 line, 1 gradient band, 2 band with outline, 3 area with outline, 4 plain band.
void SetChannelPlotType(int channel, int type);
int GetChannelPlotType(int channel);
float GetChannelLineWeight(int channel);

// Getters: (times[idx], values[idx]) of a ChannelPointData, and (times[idx], 0)
// of a time vector; (0, 0) outside the data.
ImPlotPoint GetChannelPoint(int idx, void* data);
ImPlotPoint GetBaselinePoint(int idx, void* data);

// The legend popup "Plot Type for <label>:" of one channel.
void ChannelPlotTypePopup(int channel, const std::string& label);
