// The two plot style presets.
#include "ui/PlotThemes.h"

#include "plot/implot_internal.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{

void ExpectColor(const ImVec4& c, float r, float g, float b, float a, const char* what)
{
    EXPECT_FLOAT_EQ(c.x, r) << what;
    EXPECT_FLOAT_EQ(c.y, g) << what;
    EXPECT_FLOAT_EQ(c.z, b) << what;
    EXPECT_FLOAT_EQ(c.w, a) << what;
}

const int AutoColours[] = {ImPlotCol_Line,     ImPlotCol_Fill,   ImPlotCol_MarkerOutline, ImPlotCol_MarkerFill,
                           ImPlotCol_ErrorBar, ImPlotCol_AxisBg, ImPlotCol_AxisBgHovered, ImPlotCol_AxisBgActive};

TEST(PlotThemes, DarkPreset)
{
    ImPlotStyle style;
    style.LineWeight = 4.0f;
    style.MajorGridSize = ImVec2(3, 3);
    style.PlotPadding = ImVec2(7, 7);
    ApplyDarkPlotTheme(&style);
    EXPECT_FLOAT_EQ(style.LineWeight, 1.5f);
    EXPECT_FLOAT_EQ(style.MinorAlpha, 0.25f);
    EXPECT_FLOAT_EQ(style.MajorGridSize.x, 1.0f);
    EXPECT_FLOAT_EQ(style.MajorGridSize.y, 1.0f);
    EXPECT_FLOAT_EQ(style.MinorGridSize.x, 1.0f);
    EXPECT_FLOAT_EQ(style.PlotPadding.x, 7.0f); // other sizes stay
    for (int c : AutoColours)
        EXPECT_TRUE(ImPlot::IsColorAuto(style.Colors[c])) << c;
    const ImVec4* k = style.Colors;
    ExpectColor(k[ImPlotCol_FrameBg], 0, 0, 0, 1, "FrameBg");
    ExpectColor(k[ImPlotCol_PlotBg], 0, 0, 0, 0.5f, "PlotBg");
    ExpectColor(k[ImPlotCol_PlotBorder], 0, 0, 0, 1, "PlotBorder");
    ExpectColor(k[ImPlotCol_LegendBg], 0, 0, 0, 0, "LegendBg");
    ExpectColor(k[ImPlotCol_LegendBorder], 0, 0, 0, 0, "LegendBorder");
    ExpectColor(k[ImPlotCol_LegendText], 0.95f, 0.95f, 0.97f, 1, "LegendText");
    ExpectColor(k[ImPlotCol_TitleText], 0.95f, 0.95f, 0.97f, 1, "TitleText");
    ExpectColor(k[ImPlotCol_InlayText], 0.9f, 0.9f, 0.92f, 1, "InlayText");
    ExpectColor(k[ImPlotCol_AxisText], 0.9f, 0.9f, 0.92f, 1, "AxisText");
    ExpectColor(k[ImPlotCol_AxisGrid], 0.38f, 0.4f, 0.43f, 1, "AxisGrid");
    ExpectColor(k[ImPlotCol_AxisTick], 0.9f, 0.9f, 0.92f, 1, "AxisTick");
    ExpectColor(k[ImPlotCol_Selection], 1, 0.6f, 0, 1, "Selection");
    ExpectColor(k[ImPlotCol_Crosshairs], 1, 1, 1, 0.5f, "Crosshairs");
}

TEST(PlotThemes, LightAfterDarkKeepsWeightAndGridAndTwiceIsOnce)
{
    ImPlotStyle style;
    ApplyDarkPlotTheme(&style);
    ApplyLightPlotTheme(&style);
    EXPECT_FLOAT_EQ(style.LineWeight, 1.5f);
    EXPECT_FLOAT_EQ(style.MinorAlpha, 1.0f);
    EXPECT_FLOAT_EQ(style.MinorGridSize.y, 1.0f);
    for (int c : AutoColours)
        EXPECT_TRUE(ImPlot::IsColorAuto(style.Colors[c])) << c;
    const ImVec4* k = style.Colors;
    ExpectColor(k[ImPlotCol_FrameBg], 1, 1, 1, 1, "FrameBg");
    ExpectColor(k[ImPlotCol_PlotBg], 0.42f, 0.57f, 1, 0.13f, "PlotBg");
    ExpectColor(k[ImPlotCol_PlotBorder], 0, 0, 0, 0, "PlotBorder");
    ExpectColor(k[ImPlotCol_LegendBg], 1, 1, 1, 0.98f, "LegendBg");
    ExpectColor(k[ImPlotCol_LegendBorder], 0, 0, 0, 0, "LegendBorder");
    ExpectColor(k[ImPlotCol_LegendText], 0, 0, 0, 1, "LegendText");
    ExpectColor(k[ImPlotCol_TitleText], 0, 0, 0, 1, "TitleText");
    ExpectColor(k[ImPlotCol_InlayText], 0, 0, 0, 1, "InlayText");
    ExpectColor(k[ImPlotCol_AxisText], 0, 0, 0, 1, "AxisText");
    ExpectColor(k[ImPlotCol_AxisGrid], 1, 1, 1, 1, "AxisGrid");
    ExpectColor(k[ImPlotCol_AxisTick], 0, 0, 0, 0.25f, "AxisTick");
    ExpectColor(k[ImPlotCol_Selection], 0.82f, 0.64f, 0.03f, 1, "Selection");
    ExpectColor(k[ImPlotCol_Crosshairs], 0, 0, 0, 0.5f, "Crosshairs");

    // A fresh style never given the dark preset keeps its own weight.
    ImPlotStyle fresh;
    ApplyLightPlotTheme(&fresh);
    EXPECT_FLOAT_EQ(fresh.LineWeight, 1.0f);

    // Applying a preset twice gives what applying it once gives.
    for (auto apply : {ApplyDarkPlotTheme, ApplyLightPlotTheme})
    {
        ImPlotStyle once, twice;
        apply(&once);
        apply(&twice);
        apply(&twice);
        EXPECT_EQ(std::memcmp(&once, &twice, sizeof(ImPlotStyle)), 0);
    }
}

TEST(PlotThemes, NullWritesTheCurrentStyle)
{
    ImPlotContext* ctx = ImPlot::CreateContext();
    ApplyDarkPlotTheme(nullptr);
    EXPECT_FLOAT_EQ(ImPlot::GetStyle().LineWeight, 1.5f);
    ApplyLightPlotTheme(nullptr);
    EXPECT_FLOAT_EQ(ImPlot::GetStyle().MinorAlpha, 1.0f);
    ExpectColor(ImPlot::GetStyle().Colors[ImPlotCol_FrameBg], 1, 1, 1, 1, "FrameBg");
    ImPlot::DestroyContext(ctx);
}

} // namespace
