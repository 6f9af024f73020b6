#include "ui/DashboardSettings.h"

int32_t ThemeIndex = 1;
bool PlotThemeIndex = true;
bool cursorsEnabled = false;
bool dualCursorMode = false;
bool showIntersectionDots = true;
bool ShowChannelStatistics = false;
bool ShowIndividualPlot[3] = {false, false, false};

std::string TerminalStatusMessage;
std::vector<std::string> TerminalLines;
std::string TerminalTxText;
std::vector<std::string> ChannelDisplayNames;
std::vector<float> ChannelLineWeights;
std::vector<int> ChannelPlotTypes;

int32_t GetThemeIndex() { return ThemeIndex; }
bool GetPlotThemeIndex() { return PlotThemeIndex; }

void GetCursorSettings(bool& cursors_enabled, bool& dual_cursor_mode, bool& show_intersection_dots)
{
    cursors_enabled = cursorsEnabled;
    dual_cursor_mode = dualCursorMode;
    show_intersection_dots = showIntersectionDots;
}

bool IsChannelStatisticsShown() { return ShowChannelStatistics; }

void GetChannelVisibility(std::vector<bool>& visibility)
{
    visibility.clear();
    for (bool shown : ShowIndividualPlot)
        visibility.push_back(shown);
}
