// The plotting layer on real frames: drawing, legend, zoom, pan and fit with mouse input.
#include "plot/implot_internal.h"

#include "PlotUiFixture.h"

#include <gtest/gtest.h>

namespace
{

const float Xs[] = {0.0f, 1.0f, 2.0f, 3.0f, 4.0f};
const float Ys[] = {0.0f, 2.0f, 1.0f, 3.0f, 2.0f};

TEST(PlotUi, DrawsAFittedLineInItsColour)
{
    PlotUiFixture ui;
    ASSERT_TRUE(ui.Open());
    ImPlotRect limits;
    auto frame = [&] {
        PlotUiFixture::FullWindow("Host", [&] {
            if (ImPlot::BeginPlot("Test Plot", ImGui::GetContentRegionAvail()))
            {
                ImPlot::SetupAxes("Time (s)", "Value", ImPlotAxisFlags_AutoFit, ImPlotAxisFlags_AutoFit);
                ImPlot::PushStyleColor(ImPlotCol_Line, ImVec4(1.0f, 0.0f, 0.0f, 1.0f));
                ImPlot::PlotLine<float>("Red", Xs, Ys, 5, 0, 0, sizeof(float));
                ImPlot::PopStyleColor(1);
                limits = ImPlot::GetPlotLimits();
                ImPlot::EndPlot();
            }
        });
    };
    for (int i = 0; i < 3; ++i)
        ui.Frame(frame);
    EXPECT_DOUBLE_EQ(limits.X.Min, 0.0);
    EXPECT_DOUBLE_EQ(limits.X.Max, 4.0);
    EXPECT_DOUBLE_EQ(limits.Y.Min, 0.0);
    EXPECT_DOUBLE_EQ(limits.Y.Max, 3.0);
    std::vector<unsigned char> px = ui.Pixels();
    EXPECT_GT(ui.CountColor(px, 255, 0, 0), 200);
    WritePpm("plot_line.ppm", px, ui.width, ui.height);
}

} // namespace
