// The two measuring cursors shared by every plot of the Dashboard, and the
// nearest-sample rule that every cursor uses.
#pragma once

#include <string>
#include <vector>

// One pair of cursors for the whole program. UI thread only; never saved.
// cursor2Placed implies cursor1Placed.
namespace DualCursorState
{
extern bool cursor1Placed;
extern bool cursor2Placed;
extern bool cursor1Dragging;
extern bool cursor2Dragging;
extern double cursor1Time;
extern double cursor2Time;
// The plot in which the current press started (its ImGui id); only that plot drags the cursors.
extern unsigned int dragPlotId;
} // namespace DualCursorState

// Index of the sample time nearest to x; the first of equal distances wins.
// -1 when times is empty.
int FindNearestSampleIndex(const std::vector<float>& times, double x);
// The sample a measuring cursor at time T reads: the nearest one, or -1 when T lies before the
// first or after the last sample time (or there is none).
int CursorSampleIndex(const std::vector<float>& times, double T);

// Mouse handling of the cursors, with the mouse x in plot units.
void PlaceOrMoveCursor(double x);
void ClearCursors();
void DragCursors(bool left_down, double x);

// Label of channel i: labels[i], or "Channel i+1" when it is empty.
std::string ChannelLabelAt(const std::vector<std::string>& labels, int i);
// printf "%f" of a value.
std::string FormatFixed(double value);

// Tooltip texts.
std::string DualCursorTooltip(int cursor, const std::vector<std::string>& labels,
                              const std::vector<float>& snapshotTimes,
                              const std::vector<std::vector<float>>& snapshotHistories);
std::string IndividualDualCursorTooltip(int channel, const std::string& label, const std::vector<float>& snapshotTimes,
                                        const std::vector<std::vector<float>>& snapshotHistories);
std::string SingleCursorTooltip(int k, const std::vector<std::string>& labels, const std::vector<float>& snapshotTimes,
                                const std::vector<std::vector<float>>& snapshotHistories);
std::string IndividualSingleCursorTooltip(double t, const std::string& label, float value);

// Drawn inside the current plot, after its channel items, while snapshotTimes is not empty.
void RenderDualCursors(const std::vector<std::string>& labels, bool showDots, const std::vector<float>& snapshotTimes,
                       const std::vector<std::vector<float>>& snapshotHistories);
void RenderIndividualDualCursors(int channel, const std::string& label, bool showDots,
                                 const std::vector<float>& snapshotTimes,
                                 const std::vector<std::vector<float>>& snapshotHistories);
