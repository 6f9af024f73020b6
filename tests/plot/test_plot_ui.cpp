// The plotting layer on real frames in a real window: drawing, live auto-fit, the legend (hide on
// click, popup on right click), wheel zoom, drag to pan and double-click to fit again.
#include "plot/implot_internal.h"

#include "PlotUiFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

const float Xs[] = {0.0f, 1.0f, 2.0f, 3.0f, 4.0f};
const float Ys[] = {0.0f, 2.0f, 1.0f, 3.0f, 2.0f};
const float Ys2[] = {3.0f, 1.0f, 2.0f, 0.0f, 1.0f};

// What one frame of the test plot saw.
struct PlotView
{
    ImPlotRect limits;
    ImVec2 plotPos, plotSize;
    ImRect redEntry;
    bool redShown = true;
    bool hovered = false;
    bool popupOpen = false;
    ImPlotPoint mouse;
};

struct PlotUi : ::testing::Test
{
    PlotUiFixture ui;
    PlotView view;
    ImPlotAxisFlags axisFlags = ImPlotAxisFlags_None;
    bool setLimits = true;

    void SetUp() override
    {
        ASSERT_TRUE(ui.Open());
        // Clicks of a test come quickly; only the double-click test wants them taken as one.
        ImGui::GetIO().MouseDoubleClickTime = 0.0f;
    }

    void Body()
    {
        PlotUiFixture::FullWindow("Host", [&] {
            if (!ImPlot::BeginPlot("Test Plot", ImGui::GetContentRegionAvail()))
                return;
            ImPlot::SetupAxes("Time (s)", "Value", axisFlags, axisFlags);
            if (setLimits)
                ImPlot::SetupAxesLimits(0, 10, 0, 10, ImPlotCond_Once);
            ImPlot::PushStyleColor(ImPlotCol_Line, ImVec4(1.0f, 0.0f, 0.0f, 1.0f));
            ImPlot::PlotLine<float>("Red", Xs, Ys, 5, 0, 0, sizeof(float));
            ImPlot::PopStyleColor(1);
            ImPlot::PushStyleColor(ImPlotCol_Line, ImVec4(0.0f, 1.0f, 0.0f, 1.0f));
            ImPlot::PlotLine<float>("Green", Xs, Ys2, 5, 0, 0, sizeof(float));
            ImPlot::PopStyleColor(1);
            view.popupOpen = false;
            if (ImPlot::BeginLegendPopup("Red", ImGuiMouseButton_Right))
            {
                view.popupOpen = true;
                ImGui::Text("Plot Type for %s:", "Red");
                ImPlot::EndLegendPopup();
            }
            view.limits = ImPlot::GetPlotLimits();
            view.plotPos = ImPlot::GetPlotPos();
            view.plotSize = ImPlot::GetPlotSize();
            view.hovered = ImPlot::IsPlotHovered();
            view.mouse = ImPlot::GetPlotMousePos();
            ImPlotItem* red = ImPlot::GetItem("Red");
            view.redEntry = red->LegendHoverRect;
            view.redShown = red->Show;
            ImPlot::EndPlot();
        });
    }

    void Frame(const std::function<void(ImGuiIO&)>& input = nullptr)
    {
        ui.Frame([&] { Body(); }, input);
    }
    void Frames(int n)
    {
        for (int i = 0; i < n; ++i)
            Frame();
    }
    void Click(ImGuiMouseButton button)
    {
        Frame([&](ImGuiIO& io) { io.AddMouseButtonEvent(button, true); });
        Frame([&](ImGuiIO& io) { io.AddMouseButtonEvent(button, false); });
    }
    ImVec2 PlotCentre() const { return view.plotPos + view.plotSize * 0.5f; }
    int RedPixelsInPlot()
    {
        // Leave out the legend, whose swatch is red too.
        return ui.CountDominant(ui.Pixels(), 0,
                                ImRect(view.redEntry.Max.x + 4, view.plotPos.y, view.plotPos.x + view.plotSize.x,
                                       view.plotPos.y + view.plotSize.y));
    }
    int GreenPixels() { return ui.CountDominant(ui.Pixels(), 1, ImRect(0, 0, (float)ui.width, (float)ui.height)); }
};

TEST_F(PlotUi, DrawsLinesAxesAndFitsLiveData)
{
    axisFlags = ImPlotAxisFlags_AutoFit;
    setLimits = false;
    Frames(3);
    EXPECT_DOUBLE_EQ(view.limits.X.Min, 0.0);
    EXPECT_DOUBLE_EQ(view.limits.X.Max, 4.0);
    EXPECT_DOUBLE_EQ(view.limits.Y.Max, 3.0);
    EXPECT_GT(RedPixelsInPlot(), 200);
    EXPECT_GT(GreenPixels(), 200);

    // Live data: the fit follows a series that grows every frame.
    std::vector<float> t, v;
    ImPlotRect live;
    for (int i = 0; i < 30; ++i)
    {
        t.push_back(i * 0.5f);
        v.push_back((float)(i % 7));
        ui.Frame([&] {
            PlotUiFixture::FullWindow("Host", [&] {
                ASSERT_TRUE(ImPlot::BeginPlot("Live", ImGui::GetContentRegionAvail()));
                ImPlot::SetupAxes("Time (s)", "Value", ImPlotAxisFlags_AutoFit, ImPlotAxisFlags_AutoFit);
                ImPlot::PlotLine<float>("Ch", t.data(), v.data(), (int)t.size());
                live = ImPlot::GetPlotLimits();
                ImPlot::EndPlot();
            });
        });
    }
    // The limits seen in a frame are the fit of the frame before.
    EXPECT_DOUBLE_EQ(live.X.Max, 28 * 0.5);
    EXPECT_DOUBLE_EQ(live.Y.Min, 0.0);
    EXPECT_DOUBLE_EQ(live.Y.Max, 6.0);
}

TEST_F(PlotUi, LegendClickHidesAndShowsTheItem)
{
    Frames(3);
    EXPECT_GT(RedPixelsInPlot(), 100);
    ASSERT_GT(view.redEntry.GetWidth(), 0.0f);
    ui.mouse = view.redEntry.GetCenter();
    Frame();
    EXPECT_FALSE(view.hovered); // the legend is not the plot area
    Click(ImGuiMouseButton_Left);
    Frame();
    EXPECT_FALSE(view.redShown);
    EXPECT_EQ(RedPixelsInPlot(), 0);
    EXPECT_GT(GreenPixels(), 100);
    // The click on the legend did not pan.
    EXPECT_DOUBLE_EQ(view.limits.X.Min, 0.0);
    Click(ImGuiMouseButton_Left);
    Frame();
    EXPECT_TRUE(view.redShown);
    EXPECT_GT(RedPixelsInPlot(), 100);
}

TEST_F(PlotUi, LegendPopupOpensOnRightClickAndClosesOutside)
{
    Frames(3);
    ui.mouse = view.redEntry.GetCenter();
    Frame();
    Click(ImGuiMouseButton_Right);
    EXPECT_TRUE(view.popupOpen);
    Frames(2);
    EXPECT_TRUE(view.popupOpen);
    EXPECT_TRUE(view.redShown); // a right click does not hide
    ui.mouse = PlotCentre() + ImVec2(200, 100);
    Frame();
    Click(ImGuiMouseButton_Left);
    Frame();
    EXPECT_FALSE(view.popupOpen);
}

TEST_F(PlotUi, WheelZoomsAboutTheMouse)
{
    Frames(2);
    ui.mouse = PlotCentre();
    Frame();
    ASSERT_TRUE(view.hovered);
    const ImPlotPoint m = view.mouse;
    const ImPlotRect before = view.limits;
    Frame([](ImGuiIO& io) { io.AddMouseWheelEvent(0.0f, 1.0f); });
    Frame();
    EXPECT_NEAR(view.limits.X.Size(), 9.0, 1e-6);
    EXPECT_NEAR(view.limits.Y.Size(), 9.0, 1e-6);
    // The point under the mouse keeps its place in the range.
    EXPECT_NEAR((m.x - view.limits.X.Min) / view.limits.X.Size(), (m.x - before.X.Min) / before.X.Size(), 1e-9);
    EXPECT_NEAR((m.y - view.limits.Y.Min) / view.limits.Y.Size(), (m.y - before.Y.Min) / before.Y.Size(), 1e-9);
    Frame([](ImGuiIO& io) { io.AddMouseWheelEvent(0.0f, -2.0f); });
    Frame();
    EXPECT_GT(view.limits.X.Size(), 10.0);
}

TEST_F(PlotUi, DragPansAndDoubleClickFitsAgain)
{
    Frames(2);
    ui.mouse = PlotCentre();
    Frame();
    const double scale = view.plotSize.x / view.limits.X.Size();
    Frame([](ImGuiIO& io) { io.AddMouseButtonEvent(ImGuiMouseButton_Left, true); });
    for (int i = 0; i < 4; ++i)
    {
        ui.mouse += ImVec2(25, -10);
        Frame();
    }
    Frame([](ImGuiIO& io) { io.AddMouseButtonEvent(ImGuiMouseButton_Left, false); });
    Frame();
    // Within 2%: negative y labels widen the axis and so change the scale a little while dragging.
    EXPECT_NEAR(view.limits.X.Min, -100.0 / scale, 2.0 / scale);
    EXPECT_NEAR(view.limits.X.Size(), 10.0, 1e-6);
    EXPECT_LT(view.limits.Y.Min, -0.1); // dragged up: the view moves down

    ImGui::GetIO().MouseDoubleClickTime = 0.3f;
    Click(ImGuiMouseButton_Left);
    Click(ImGuiMouseButton_Left);
    Frame();
    EXPECT_DOUBLE_EQ(view.limits.X.Min, 0.0);
    EXPECT_DOUBLE_EQ(view.limits.X.Max, 4.0);
    EXPECT_DOUBLE_EQ(view.limits.Y.Min, 0.0);
    EXPECT_DOUBLE_EQ(view.limits.Y.Max, 3.0);
}

TEST_F(PlotUi, AutoFitAxesIgnoreZoomAndPan)
{
    axisFlags = ImPlotAxisFlags_AutoFit;
    setLimits = false;
    Frames(2);
    ui.mouse = PlotCentre();
    Frame([](ImGuiIO& io) { io.AddMouseWheelEvent(0.0f, 3.0f); });
    Frame([](ImGuiIO& io) { io.AddMouseButtonEvent(ImGuiMouseButton_Left, true); });
    ui.mouse += ImVec2(60, 30);
    Frame();
    Frame([](ImGuiIO& io) { io.AddMouseButtonEvent(ImGuiMouseButton_Left, false); });
    Frame();
    EXPECT_DOUBLE_EQ(view.limits.X.Min, 0.0);
    EXPECT_DOUBLE_EQ(view.limits.X.Max, 4.0);
    EXPECT_DOUBLE_EQ(view.limits.Y.Max, 3.0);
}

// Auto-fit puts the extremes on the edges of the plot area; lines lying there are drawn, reduced
// per pixel column or not, anti-aliased or not.
TEST_F(PlotUi, LinesOnTheEdgesOfTheFitAreDrawn)
{
    const int n = 400;
    std::vector<float> t(n), top(n, 10.0f), bottom(n, 0.0f), square(n);
    for (int i = 0; i < n; ++i)
    {
        t[i] = i * 0.01f;
        square[i] = (i / 50) % 2 ? 10.0f : 0.0f;
    }
    auto line = [](const char* label, ImVec4 col, const std::vector<float>& x, const std::vector<float>& y) {
        ImPlot::PushStyleColor(ImPlotCol_Line, col);
        ImPlot::PlotLine<float>(label, x.data(), y.data(), (int)x.size());
        ImPlot::PopStyleColor();
    };
    ImRect constants, wave;
    for (bool reduce : {true, false})
        for (bool aa : {true, false})
        {
            ImPlot::GetCurrentContext()->ReduceLines = reduce;
            for (int f = 0; f < 3; ++f)
                ui.Frame([&] {
                    PlotUiFixture::FullWindow("Host", [&] {
                        if (!aa)
                            ImGui::GetWindowDrawList()->Flags &= ~ImDrawListFlags_AntiAliasedLines;
                        const ImPlotAxisFlags fit = ImPlotAxisFlags_AutoFit;
                        const ImVec2 size(-1, ImGui::GetContentRegionAvail().y * 0.5f - 4);
                        ASSERT_TRUE(ImPlot::BeginPlot("##Constants", size, ImPlotFlags_NoLegend));
                        ImPlot::SetupAxes(nullptr, nullptr, fit, fit);
                        line("Top", ImVec4(1, 0, 0, 1), t, top);
                        line("Bottom", ImVec4(0, 1, 0, 1), t, bottom);
                        constants = ImPlot::GetCurrentPlot()->PlotRect;
                        ImPlot::EndPlot();
                        ASSERT_TRUE(ImPlot::BeginPlot("##Square", size, ImPlotFlags_NoLegend));
                        ImPlot::SetupAxes(nullptr, nullptr, fit, fit);
                        line("Square", ImVec4(0, 0, 1, 1), t, square);
                        wave = ImPlot::GetCurrentPlot()->PlotRect;
                        ImPlot::EndPlot();
                    });
                });
            const std::vector<unsigned char> px = ui.Pixels();
            const float w = constants.GetWidth();
            EXPECT_GT(ui.CountDominant(px, 0, constants), 0.9f * w) << reduce << aa;
            EXPECT_GT(ui.CountDominant(px, 1, constants), 0.9f * w) << reduce << aa;
            // Flat tops and bottoms, about half the width each, in the outermost rows.
            const ImRect wave_top(wave.Min, ImVec2(wave.Max.x, wave.Min.y + 3));
            const ImRect wave_bottom(ImVec2(wave.Min.x, wave.Max.y - 3), wave.Max);
            EXPECT_GT(ui.CountDominant(px, 2, wave_top), 0.4f * w) << reduce << aa;
            EXPECT_GT(ui.CountDominant(px, 2, wave_bottom), 0.4f * w) << reduce << aa;
        }
}

} // namespace
