#include "ui/MeasuringCursors.h"

#include "plot/implot.h"

#include <imgui.h>

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
unsigned int dragPlotId = 0;
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

int CursorSampleIndex(const std::vector<float>& times, double T)
{
    // Beyond either end the nearest sample was taken at another time: it is no reading of the cursor.
    if (times.empty() || T < (double)times.front() || T > (double)times.back())
        return -1;
    return FindNearestSampleIndex(times, T);
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
    const int k1 = CursorSampleIndex(snapshotTimes, cursor1Time);
    const int k2 = CursorSampleIndex(snapshotTimes, cursor2Time);
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
    const int k1 = CursorSampleIndex(snapshotTimes, cursor1Time);
    const int k2 = CursorSampleIndex(snapshotTimes, cursor2Time);
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

// Drawing of the cursors on the current plot.

struct CursorLook
{
    ImVec4 line;
    const char* label;
    ImU32 handle;
    ImU32 dotFill;
};

static const CursorLook CursorLooks[2] = {
    {ImVec4(1.0f, 0.0f, 0.0f, 0.8f), "##cursor1", 0xC80000FF, 0xFF0000FF},
    {ImVec4(0.0f, 0.541f, 0.902f, 1.0f), "##cursor2", 0xC8E68A00, 0xFFE68A00},
};

static void HandleCursorMouse()
{
    // Inside a plot the id stack starts from the plot's id, so this names the plot.
    const ImGuiID thisPlot = ImGui::GetID("##cursors");
    if (ImPlot::IsPlotHovered() && ImGui::IsMouseClicked(ImGuiMouseButton_Left, false))
    {
        PlaceOrMoveCursor(ImPlot::GetPlotMousePos(IMPLOT_AUTO, IMPLOT_AUTO).x);
        dragPlotId = thisPlot;
    }
    if (ImPlot::IsPlotHovered() && ImGui::IsMouseClicked(ImGuiMouseButton_Right, false))
        ClearCursors();
    // A drag follows the mouse in the axes of the plot where it started, hovered or not; the
    // other plots showing the cursors leave it alone (each maps the mouse to another time).
    const bool down = ImGui::IsMouseDown(ImGuiMouseButton_Left);
    if (down && thisPlot != dragPlotId)
        return;
    double x = 0.0;
    if (down && (cursor1Dragging || cursor2Dragging))
        x = ImPlot::GetPlotMousePos(IMPLOT_AUTO, IMPLOT_AUTO).x;
    DragCursors(down, x);
}

// Line and handles of one cursor.
static void DrawCursorLine(const CursorLook& look, double T)
{
    ImPlot::PushStyleColor(ImPlotCol_Line, look.line);
    ImPlot::PlotInfLines(look.label, &T, 1, 0, 0, sizeof(double));
    ImPlot::PopStyleColor(1);

    ImDrawList* drawList = ImPlot::GetPlotDrawList();
    if (!drawList)
        return;
    ImPlotRect limits = ImPlot::GetPlotLimits(IMPLOT_AUTO, IMPLOT_AUTO);
    ImVec2 top = ImPlot::PlotToPixels(T, limits.Y.Max, IMPLOT_AUTO, IMPLOT_AUTO);
    ImVec2 bottom = ImPlot::PlotToPixels(T, limits.Y.Min, IMPLOT_AUTO, IMPLOT_AUTO);
    // The limits lie just inside the plot area's border; the tabs go on its edges, outside it.
    top.y = ImPlot::GetPlotPos().y;
    bottom.y = ImPlot::GetPlotPos().y + ImPlot::GetPlotSize().y;
    drawList->AddRectFilled(ImVec2(top.x - 4, top.y - 12), ImVec2(top.x + 4, top.y), look.handle, 2.0f, 0);
    drawList->AddRectFilled(ImVec2(bottom.x - 4, bottom.y), ImVec2(bottom.x + 4, bottom.y + 12), look.handle, 2.0f, 0);
}

static void DrawCursorDot(const CursorLook& look, ImU32 rim, int k, const std::vector<float>& snapshotTimes,
                          const std::vector<float>& values)
{
    ImDrawList* drawList = ImPlot::GetPlotDrawList();
    if (!drawList || k < 0 || (size_t)k >= values.size())
        return;
    ImVec2 p = ImPlot::PlotToPixels((double)snapshotTimes[k], (double)values[k], IMPLOT_AUTO, IMPLOT_AUTO);
    drawList->AddCircleFilled(p, 4.0f, look.dotFill, 8);
    drawList->AddCircle(p, 4.0f, rim, 8, 2.0f);
}

void RenderDualCursors(const std::vector<std::string>& labels, bool showDots, const std::vector<float>& snapshotTimes,
                       const std::vector<std::vector<float>>& snapshotHistories)
{
    HandleCursorMouse();
    const int handled = HandledChannelCount(labels, snapshotHistories);
    for (int c = 1; c <= 2; c++)
    {
        if (!(c == 1 ? cursor1Placed : cursor2Placed))
            continue;
        const CursorLook& look = CursorLooks[c - 1];
        const double T = c == 1 ? cursor1Time : cursor2Time;
        DrawCursorLine(look, T);
        if (showDots)
        {
            const int k = CursorSampleIndex(snapshotTimes, T);
            for (int i = 0; i < handled && k != -1; i++)
                DrawCursorDot(look, 0xFFFFFFFF, k, snapshotTimes, snapshotHistories[i]);
        }
        // Cursor 2's text, set later in the frame, wins when both are in reach.
        if (ImPlot::IsPlotHovered() && std::fabs(ImPlot::GetPlotMousePos(IMPLOT_AUTO, IMPLOT_AUTO).x - T) < 0.1)
        {
            std::string text = DualCursorTooltip(c, labels, snapshotTimes, snapshotHistories);
            ImGui::SetTooltip("%s", text.c_str());
        }
    }
}

void RenderIndividualDualCursors(int channel, const std::string& label, bool showDots,
                                 const std::vector<float>& snapshotTimes,
                                 const std::vector<std::vector<float>>& snapshotHistories)
{
    HandleCursorMouse();
    for (int c = 1; c <= 2; c++)
    {
        if (!(c == 1 ? cursor1Placed : cursor2Placed))
            continue;
        const CursorLook& look = CursorLooks[c - 1];
        const double T = c == 1 ? cursor1Time : cursor2Time;
        DrawCursorLine(look, T);
        if (showDots && channel >= 0 && (size_t)channel < snapshotHistories.size())
        {
            const int k = CursorSampleIndex(snapshotTimes, T);
            DrawCursorDot(look, 0xFF000000, k, snapshotTimes, snapshotHistories[channel]);
        }
    }
    if (cursor1Placed && ImPlot::IsPlotHovered())
    {
        std::string text = IndividualDualCursorTooltip(channel, label, snapshotTimes, snapshotHistories);
        ImGui::SetTooltip("%s", text.c_str());
    }
}
