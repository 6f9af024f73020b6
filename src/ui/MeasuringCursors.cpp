#include "ui/MeasuringCursors.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>

namespace DualCursorState
{
bool cursor1Placed = false;
bool cursor2Placed = false;
bool cursor1Dragging = false;
bool cursor2Dragging = false;
double cursor1Time = 0.0;
double cursor2Time = 0.0;
} // namespace DualCursorState

using namespace DualCursorState;

int FindNearestSampleIndex(const std::vector<float>& times, double x)
{
    int best = -1;
    float bestDistance = FLT_MAX;
    for (size_t j = 0; j < times.size(); j++)
    {
        // Distance in double, compared as float; NaN never wins.
        float d = (float)std::fabs((double)times[j] - x);
        if (d < bestDistance)
        {
            best = (int)j;
            bestDistance = d;
        }
    }
    return best;
}

void PlaceOrMoveCursor(double x)
{
    if (!cursor1Placed)
    {
        cursor1Time = x;
        cursor1Placed = true;
        cursor1Dragging = true;
    }
    else if (!cursor2Placed)
    {
        cursor2Time = x;
        cursor2Placed = true;
        cursor2Dragging = true;
    }
    else if (std::fabs(x - cursor1Time) < std::fabs(x - cursor2Time))
    {
        cursor1Time = x;
        cursor1Dragging = true;
    }
    else
    {
        // A tie moves cursor 2.
        cursor2Time = x;
        cursor2Dragging = true;
    }
}

void ClearCursors()
{
    cursor1Placed = false;
    cursor2Placed = false;
    cursor1Dragging = false;
    cursor2Dragging = false;
}

void DragCursors(bool left_down, double x)
{
    if (!left_down)
    {
        cursor1Dragging = false;
        cursor2Dragging = false;
        return;
    }
    if (cursor1Dragging)
        cursor1Time = x;
    if (cursor2Dragging)
        cursor2Time = x;
}

std::string ChannelLabelAt(const std::vector<std::string>& labels, int i)
{
    if (i >= 0 && i < (int)labels.size() && !labels[i].empty())
        return labels[i];
    return "Channel " + std::to_string(i + 1);
}

// printf of one double; large magnitudes print more than the buffer holds.
static std::string FormatNumber(const char* format, double value)
{
    char buf[64];
    int n = std::snprintf(buf, sizeof(buf), format, value);
    if (n < 0)
        return std::string();
    if (n < (int)sizeof(buf))
        return std::string(buf, (size_t)n);
    std::string out((size_t)n, '\0');
    std::snprintf(out.data(), out.size() + 1, format, value);
    return out;
}

std::string FormatFixed(double value) { return FormatNumber("%f", value); }

static bool IsValidIndex(int k, const std::vector<std::vector<float>>& histories, int channel)
{
    return k != -1 && channel >= 0 && channel < (int)histories.size() && k < (int)histories[channel].size();
}

// Channels handled by a combined-plot cursor: below both the channel and the label count.
static int HandledChannelCount(const std::vector<std::string>& labels, const std::vector<std::vector<float>>& histories)
{
    return (int)std::min(labels.size(), histories.size());
}

std::string DualCursorTooltip(int cursor, const std::vector<std::string>& labels,
                              const std::vector<float>& snapshotTimes,
                              const std::vector<std::vector<float>>& snapshotHistories)
{
    const bool first = cursor == 1;
    const double T = first ? cursor1Time : cursor2Time;
    const bool otherPlaced = first ? cursor2Placed : cursor1Placed;
    const int k1 = FindNearestSampleIndex(snapshotTimes, cursor1Time);
    const int k2 = FindNearestSampleIndex(snapshotTimes, cursor2Time);
    const int kc = first ? k1 : k2;
    const int ko = first ? k2 : k1;

    std::string text = first ? "Cursor 1 - Time: " : "Cursor 2 - Time: ";
    text += FormatFixed(T) + "s\n";
    if (otherPlaced)
        text += "\xCE\x94T: " + FormatFixed(std::fabs(cursor2Time - cursor1Time)) + "s\n";
    text += "---\n";
    const int n = HandledChannelCount(labels, snapshotHistories);
    for (int i = 0; i < n; i++)
    {
        if (!IsValidIndex(kc, snapshotHistories, i))
            continue;
        const std::vector<float>& values = snapshotHistories[i];
        text += ChannelLabelAt(labels, i) + ": " + FormatFixed(values[kc]);
        if (otherPlaced && IsValidIndex(ko, snapshotHistories, i))
        {
            // Always cursor 2 minus cursor 1, in float.
            float delta = values[k2] - values[k1];
            text += " (\xCE\x94: " + FormatFixed(delta) + ")";
        }
        text += "\n";
    }
    return text;
}

std::string IndividualDualCursorTooltip(int channel, const std::string& label, const std::vector<float>& snapshotTimes,
                                        const std::vector<std::vector<float>>& snapshotHistories)
{
    const int k1 = FindNearestSampleIndex(snapshotTimes, cursor1Time);
    const int k2 = FindNearestSampleIndex(snapshotTimes, cursor2Time);
    std::string text = "Time: " + FormatFixed(cursor1Time) + "s\n";
    if (IsValidIndex(k1, snapshotHistories, channel))
    {
        const std::vector<float>& values = snapshotHistories[channel];
        text += label + ": " + FormatFixed(values[k1]);
        if (cursor2Placed && IsValidIndex(k2, snapshotHistories, channel))
        {
            float delta = values[k2] - values[k1];
            text += " (\xCE\x94: " + FormatFixed(delta) + ")";
        }
    }
    return text;
}

std::string SingleCursorTooltip(int k, const std::vector<std::string>& labels, const std::vector<float>& snapshotTimes,
                                const std::vector<std::vector<float>>& snapshotHistories)
{
    if (k < 0 || k >= (int)snapshotTimes.size())
        return std::string();
    std::string text = "Time: " + FormatFixed(snapshotTimes[k]) + "s\n";
    const int n = HandledChannelCount(labels, snapshotHistories);
    for (int i = 0; i < n; i++)
        if (IsValidIndex(k, snapshotHistories, i))
            text += ChannelLabelAt(labels, i) + ": " + FormatFixed(snapshotHistories[i][k]) + "\n";
    return text;
}

std::string IndividualSingleCursorTooltip(double t, const std::string& label, float value)
{
    // "Time: %.3fs\n%s: %.3f"
    return "Time: " + FormatNumber("%.3f", t) + "s\n" + label + ": " + FormatNumber("%.3f", (double)value);
}
