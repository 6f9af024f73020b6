#include "ui/PlotThemes.h"

void ApplyDarkPlotTheme(ImPlotStyle* dst)
{
    ImPlotStyle* style = dst ? dst : &ImPlot::GetStyle();
    style->LineWeight = 1.5f;
    style->MinorAlpha = 0.25f;
    style->MajorGridSize = ImVec2(1.0f, 1.0f);
    style->MinorGridSize = ImVec2(1.0f, 1.0f);

    ImVec4* colors = style->Colors;
    colors[ImPlotCol_Line] = IMPLOT_AUTO_COL;
    colors[ImPlotCol_Fill] = IMPLOT_AUTO_COL;
    colors[ImPlotCol_MarkerOutline] = IMPLOT_AUTO_COL;
    colors[ImPlotCol_MarkerFill] = IMPLOT_AUTO_COL;
    colors[ImPlotCol_ErrorBar] = IMPLOT_AUTO_COL;
    colors[ImPlotCol_FrameBg] = ImVec4(0.0f, 0.0f, 0.0f, 1.0f);
    colors[ImPlotCol_PlotBg] = ImVec4(0.0f, 0.0f, 0.0f, 0.5f);
    colors[ImPlotCol_PlotBorder] = ImVec4(0.0f, 0.0f, 0.0f, 1.0f);
    colors[ImPlotCol_LegendBg] = ImVec4(0.0f, 0.0f, 0.0f, 0.0f);
    colors[ImPlotCol_LegendBorder] = ImVec4(0.0f, 0.0f, 0.0f, 0.0f);
    colors[ImPlotCol_LegendText] = ImVec4(0.95f, 0.95f, 0.97f, 1.0f);
    colors[ImPlotCol_TitleText] = ImVec4(0.95f, 0.95f, 0.97f, 1.0f);
    colors[ImPlotCol_InlayText] = ImVec4(0.9f, 0.9f, 0.92f, 1.0f);
    colors[ImPlotCol_AxisText] = ImVec4(0.9f, 0.9f, 0.92f, 1.0f);
    colors[ImPlotCol_AxisGrid] = ImVec4(0.38f, 0.4f, 0.43f, 1.0f);
    colors[ImPlotCol_AxisTick] = ImVec4(0.9f, 0.9f, 0.92f, 1.0f);
    colors[ImPlotCol_AxisBg] = IMPLOT_AUTO_COL;
    colors[ImPlotCol_AxisBgHovered] = IMPLOT_AUTO_COL;
    colors[ImPlotCol_AxisBgActive] = IMPLOT_AUTO_COL;
    colors[ImPlotCol_Selection] = ImVec4(1.0f, 0.6f, 0.0f, 1.0f);
    colors[ImPlotCol_Crosshairs] = ImVec4(1.0f, 1.0f, 1.0f, 0.5f);
}

void ApplyLightPlotTheme(ImPlotStyle* dst)
{
    ImPlotStyle* style = dst ? dst : &ImPlot::GetStyle();
    // LineWeight and the grid sizes stay as they are.
    style->MinorAlpha = 1.0f;

    ImVec4* colors = style->Colors;
    colors[ImPlotCol_Line] = IMPLOT_AUTO_COL;
    colors[ImPlotCol_Fill] = IMPLOT_AUTO_COL;
    colors[ImPlotCol_MarkerOutline] = IMPLOT_AUTO_COL;
    colors[ImPlotCol_MarkerFill] = IMPLOT_AUTO_COL;
    colors[ImPlotCol_ErrorBar] = IMPLOT_AUTO_COL;
    colors[ImPlotCol_FrameBg] = ImVec4(1.0f, 1.0f, 1.0f, 1.0f);
    colors[ImPlotCol_PlotBg] = ImVec4(0.42f, 0.57f, 1.0f, 0.13f);
    colors[ImPlotCol_PlotBorder] = ImVec4(0.0f, 0.0f, 0.0f, 0.0f);
    colors[ImPlotCol_LegendBg] = ImVec4(1.0f, 1.0f, 1.0f, 0.98f);
    colors[ImPlotCol_LegendBorder] = ImVec4(0.0f, 0.0f, 0.0f, 0.0f);
    colors[ImPlotCol_LegendText] = ImVec4(0.0f, 0.0f, 0.0f, 1.0f);
    colors[ImPlotCol_TitleText] = ImVec4(0.0f, 0.0f, 0.0f, 1.0f);
    colors[ImPlotCol_InlayText] = ImVec4(0.0f, 0.0f, 0.0f, 1.0f);
    colors[ImPlotCol_AxisText] = ImVec4(0.0f, 0.0f, 0.0f, 1.0f);
    colors[ImPlotCol_AxisGrid] = ImVec4(1.0f, 1.0f, 1.0f, 1.0f);
    colors[ImPlotCol_AxisTick] = ImVec4(0.0f, 0.0f, 0.0f, 0.25f);
    colors[ImPlotCol_AxisBg] = IMPLOT_AUTO_COL;
    colors[ImPlotCol_AxisBgHovered] = IMPLOT_AUTO_COL;
    colors[ImPlotCol_AxisBgActive] = IMPLOT_AUTO_COL;
    colors[ImPlotCol_Selection] = ImVec4(0.82f, 0.64f, 0.03f, 1.0f);
    colors[ImPlotCol_Crosshairs] = ImVec4(0.0f, 0.0f, 0.0f, 0.5f);
}
