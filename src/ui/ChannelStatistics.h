// The "Channel Statistics" window: count, extremes, average, range and time span of every
// channel with data, recomputed every frame from the Live View's snapshot.
#pragma once

#include <imgui.h>

#include <string>
#include <vector>

// Swatch colours by channel index; entries 0 to 2 are the channel colours.
extern const ImVec4 StatisticsPalette[10];
// Index 10 and above.
extern const ImVec4 StatisticsPaletteFallback;

// One table row.
struct ChannelStatisticsRow
{
    int channel = 0;
    std::string label;
    int count = 0;
    float minimum = 0.0f;
    float maximum = 0.0f;
    float average = 0.0f;
    double range = 0.0; // in double: max - min of two large floats of opposite sign is no float
    float timeSpan = 0.0f;
};

// The rows of channels 0 .. min(channelCount, channels in the snapshot) - 1 that hold a
// value. labels[i] names channel i; a missing or empty one becomes "Channel <i + 1>".
std::vector<ChannelStatisticsRow> ComputeChannelStatistics(const std::vector<float>& snapshotTimes,
                                                           const std::vector<std::vector<float>>& snapshotHistories,
                                                           int channelCount, const std::vector<std::string>& labels);

// Fixed notation, 3 decimals: 1.5 gives "1.500".
std::string FormatFloat3(double value);
// "1.750 s".
std::string FormatTimeSpan(float seconds);
const ImVec4& StatisticsColor(int channel);

void RenderChannelStatistics(const std::vector<float>& snapshotTimes,
                             const std::vector<std::vector<float>>& snapshotHistories);
