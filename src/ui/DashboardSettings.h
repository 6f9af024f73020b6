// View options of the dashboard. UI thread only; never saved.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

extern int32_t ThemeIndex;  // 1 dark, 0 light
extern bool PlotThemeIndex; // true dark
extern bool cursorsEnabled;
extern bool dualCursorMode;
extern bool showIntersectionDots;
extern bool ShowChannelStatistics;
extern bool ShowIndividualPlot[3];

// Containers of the dashboard, owned by their sections; constructed in this order.
extern std::string TerminalStatusMessage;
extern std::vector<std::string> TerminalLines;
extern std::string TerminalTxText;
extern std::vector<std::string> ChannelDisplayNames;
extern std::vector<float> ChannelLineWeights;
extern std::vector<int> ChannelPlotTypes;

int32_t GetThemeIndex();
bool GetPlotThemeIndex();
void GetCursorSettings(bool& cursors_enabled, bool& dual_cursor_mode, bool& show_intersection_dots);
bool IsChannelStatisticsShown();
void GetChannelVisibility(std::vector<bool>& visibility);
