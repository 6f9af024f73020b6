// The plotting layer's logic: line reduction, ticks, ranges and fitting, transforms, indexing,
// the style stacks and the item machinery (legend, colours, fitting, hiding).
#include "plot/implot_internal.h"

#include "HeadlessPlot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace
{

// The pixels (of a 1024 x 1024 grid) a polyline's centre passes through, sampled densely.
std::vector<bool> Rasterise(const std::vector<ImVec2>& pts)
{
    std::vector<bool> cells(1024 * 1024);
    for (size_t i = 0; i + 1 < pts.size(); ++i)
    {
        const ImVec2 a = pts[i], b = pts[i + 1];
        const int steps = 1 + (int)(8.0f * (std::fabs(b.x - a.x) + std::fabs(b.y - a.y)));
        for (int s = 0; s <= steps; ++s)
        {
            const float t = (float)s / steps;
            const int cx = (int)std::floor(a.x + (b.x - a.x) * t), cy = (int)std::floor(a.y + (b.y - a.y) * t);
            cells[(size_t)ImClamp(cy, 0, 1023) * 1024 + ImClamp(cx, 0, 1023)] = true;
        }
    }
    return cells;
}

TEST(LineReduction, KeepsFirstMinMaxLastOfEachColumnInOrder)
{
    // Column 10: first (10.1, 5), max-y (10.3, 9), min-y (10.5, 1), last (10.9, 4); column 11: one point.
    std::vector<ImVec2> pts = {{10.1f, 5}, {10.2f, 6}, {10.3f, 9}, {10.4f, 3}, {10.5f, 1}, {10.9f, 4}, {11.2f, 7}};
    std::vector<ImVec2> out(pts.size());
    const int n = ImPlot::ReducePixelColumns(pts.data(), (int)pts.size(), out.data());
    ASSERT_EQ(n, 5);
    const float want[5][2] = {{10.1f, 5}, {10.3f, 9}, {10.5f, 1}, {10.9f, 4}, {11.2f, 7}};
    for (int i = 0; i < n; ++i)
    {
        EXPECT_FLOAT_EQ(out[i].x, want[i][0]) << i;
        EXPECT_FLOAT_EQ(out[i].y, want[i][1]) << i;
    }

    // A run whose first point is its minimum and last its maximum keeps just those two.
    std::vector<ImVec2> rising = {{3.0f, 1}, {3.5f, 2}, {3.9f, 3}};
    EXPECT_EQ(ImPlot::ReducePixelColumns(rising.data(), 3, rising.data()), 2); // in place
    EXPECT_FLOAT_EQ(rising[1].y, 3.0f);

    // A point that is not finite is kept and splits the run around it.
    std::vector<ImVec2> gap = {{1.1f, 1}, {1.2f, 2}, {1.3f, NAN}, {1.4f, 3}, {1.5f, 4}, {1.6f, 5}};
    std::vector<ImVec2> gap_out(gap.size());
    EXPECT_EQ(ImPlot::ReducePixelColumns(gap.data(), 6, gap_out.data()), 5);
    EXPECT_TRUE(std::isnan(gap_out[2].y));

    EXPECT_EQ(ImPlot::ReducePixelColumns(nullptr, 0, nullptr), 0);
}

TEST(LineReduction, TenThousandPointsOnEightHundredColumnsKeepTheSamePicture)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> noise(-40.0f, 40.0f);
    std::vector<ImVec2> pts(10000);
    for (int i = 0; i < 10000; ++i)
        pts[i] = ImVec2(100.0f + 800.0f * i / 10000.0f, 300.0f + 150.0f * std::sin(i * 0.01f) + noise(rng));
    std::vector<ImVec2> reduced(pts.size());
    const int n = ImPlot::ReducePixelColumns(pts.data(), (int)pts.size(), reduced.data());
    reduced.resize(n);
    EXPECT_LE(n, 4 * 801);
    EXPECT_GE(n, 2 * 800);
    EXPECT_EQ(Rasterise(pts), Rasterise(reduced));
    // The ends stay where they were.
    EXPECT_EQ(reduced.front().x, pts.front().x);
    EXPECT_EQ(reduced.back().y, pts.back().y);
}

TEST(Ticks, NiceStepsLabelsAndMinorTicks)
{
    EXPECT_DOUBLE_EQ(ImPlot::NiceTickStep(1.0, 6), 0.2);
    EXPECT_DOUBLE_EQ(ImPlot::NiceTickStep(10.0, 6), 2.0);
    EXPECT_DOUBLE_EQ(ImPlot::NiceTickStep(100.0, 3), 50.0);
    EXPECT_DOUBLE_EQ(ImPlot::NiceTickStep(0.07, 8), 0.01);

    ImPlotTicker ticker;
    ImPlot::CalcTicks(ImPlotRange(0.0, 1.0), 6, ticker);
    std::vector<std::string> labels;
    std::vector<double> majors;
    int minors = 0;
    for (const ImPlotTick& t : ticker.Ticks)
    {
        if (t.Major)
        {
            majors.push_back(t.PlotPos);
            labels.push_back(ticker.GetLabel(t));
        }
        else
        {
            ++minors;
            EXPECT_TRUE(t.PlotPos > 0.0 && t.PlotPos < 1.0);
        }
    }
    EXPECT_EQ(labels, (std::vector<std::string>{"0.0", "0.2", "0.4", "0.6", "0.8", "1.0"}));
    EXPECT_EQ(minors, 5 * 3); // a step of 2 (times 0.1) splits into 4
    EXPECT_NEAR(majors[3], 0.6, 1e-12);

    // Negative ranges, whole-number steps, and zero printed as zero.
    ImPlot::CalcTicks(ImPlotRange(-23.0, 41.0), 5, ticker);
    labels.clear();
    for (const ImPlotTick& t : ticker.Ticks)
        if (t.Major)
            labels.push_back(ticker.GetLabel(t));
    EXPECT_EQ(labels, (std::vector<std::string>{"-20", "0", "20", "40"}));

    // A degenerate range gives no ticks.
    ImPlot::CalcTicks(ImPlotRange(1.0, 1.0), 5, ticker);
    EXPECT_TRUE(ticker.Ticks.empty());
}

// Plots of any size get labelled 1-2-5 ticks that can be read: at least three where the axis is
// long enough, never overlapping, each label different.
TEST(Ticks, EveryAxisGetsReadableLabels)
{
    EXPECT_DOUBLE_EQ(ImPlot::NiceStepAtLeast(0.3), 0.5);
    EXPECT_DOUBLE_EQ(ImPlot::NiceStepAtLeast(2.0), 2.0);
    EXPECT_DOUBLE_EQ(ImPlot::NiceStepAtLeast(51.0), 100.0);

    HeadlessPlot h(1200, 900);
    const ImVec2 sizes[] = {{400, 300}, {300, 200}, {900, 600}, {200, 150}};
    const ImPlotRange ranges[] = {{-3.0, 7.0},       {0.0, 1.0},        {1e6, 1e6 + 5.0}, {-0.001, 0.002},
                                  {-250.0, 40000.0}, {-3.4e38, 3.4e38}, {0.0, 2e-7},      {1e20, 1e20 + 2e14}};
    for (const ImVec2& size : sizes)
        for (const ImPlotRange& range : ranges)
        {
            if (size.x < 300 && range.Max > 1e7)
                continue; // exponent labels are too wide for two on a 200 px axis
            ImPlotPlot* plot = nullptr;
            float txt_h = 0;
            for (int f = 0; f < 2; ++f)
                h.Frame([&] {
                    ASSERT_TRUE(ImPlot::BeginPlot("Ticks", size));
                    ImPlot::SetupAxes("Time (s)", "Channel 1");
                    ImPlot::SetupAxesLimits(range.Min, range.Max, range.Min, range.Max, ImPlotCond_Always);
                    ImPlot::SetupFinish();
                    plot = ImPlot::GetCurrentPlot();
                    txt_h = ImGui::GetTextLineHeight();
                    ImPlot::EndPlot();
                });
            for (const ImPlotAxis* axis : {&plot->XAxis, &plot->YAxis})
            {
                std::vector<std::string> labels;
                std::vector<float> pixels, widths;
                for (const ImPlotTick& t : axis->Ticker.Ticks)
                    if (t.Major)
                    {
                        EXPECT_TRUE(range.Contains(t.PlotPos));
                        labels.push_back(axis->Ticker.GetLabel(t));
                        EXPECT_LE(labels.back().size(), 14u) << labels.back(); // leaves room for the data
                        pixels.push_back(axis->PlotToPixels(t.PlotPos));
                        widths.push_back(t.LabelSize.x);
                    }
                const float length = std::fabs(axis->PixelMax - axis->PixelMin);
                const std::string where = std::to_string(size.x) + "x" + std::to_string(size.y) + " " +
                                          std::to_string(range.Min) + (axis->Vertical ? " y" : " x");
                if (length >= (axis->Vertical ? 8.0f * txt_h : 300.0f))
                {
                    EXPECT_GE(labels.size(), 3u) << where;
                }
                EXPECT_GE(labels.size(), 2u) << where;
                for (size_t i = 1; i < labels.size(); ++i)
                {
                    EXPECT_NE(labels[i], labels[i - 1]) << where;
                    const float gap = std::fabs(pixels[i] - pixels[i - 1]);
                    EXPECT_GT(gap, axis->Vertical ? txt_h : (widths[i] + widths[i - 1]) * 0.5f) << where;
                }
            }
        }
}

TEST(Axis, RangesFitsAndTransforms)
{
    ImPlotAxis axis;
    axis.SetRange(5.0, -5.0);
    EXPECT_DOUBLE_EQ(axis.Range.Min, -5.0);
    EXPECT_DOUBLE_EQ(axis.Range.Max, 5.0);
    axis.SetRange(2.0, 2.0); // never a zero span
    EXPECT_LT(axis.Range.Min, axis.Range.Max);
    axis.SetRange(NAN, 1.0); // ignored
    EXPECT_LT(axis.Range.Min, 2.0 + 1e-6);

    axis.FitExtents = ImPlotRange(HUGE_VAL, -HUGE_VAL);
    axis.ExtendFit(3.0);
    axis.ExtendFit(NAN);
    axis.ExtendFit(INFINITY);
    axis.ApplyFit(0.0f); // one value: a unit range around it
    EXPECT_DOUBLE_EQ(axis.Range.Min, 2.5);
    EXPECT_DOUBLE_EQ(axis.Range.Max, 3.5);
    axis.ExtendFit(7.0);
    axis.ApplyFit(0.5f); // 3..7 with a quarter of 4 on each side
    EXPECT_DOUBLE_EQ(axis.Range.Min, 2.0);
    EXPECT_DOUBLE_EQ(axis.Range.Max, 8.0);

    ImPlotAxis empty;
    empty.FitExtents = ImPlotRange(HUGE_VAL, -HUGE_VAL);
    empty.ApplyFit(0.0f); // nothing fitted: the range stays
    EXPECT_DOUBLE_EQ(empty.Range.Min, 0.0);
    EXPECT_DOUBLE_EQ(empty.Range.Max, 1.0);

    // y runs upwards: PixelMin is the bottom edge.
    ImPlotAxis x, y;
    x.SetRange(0.0, 10.0);
    x.PixelMin = 100;
    x.PixelMax = 500;
    x.UpdateTransform();
    y.SetRange(-1.0, 1.0);
    y.PixelMin = 400;
    y.PixelMax = 200;
    y.UpdateTransform();
    EXPECT_FLOAT_EQ(x.PlotToPixels(2.5), 200.0f);
    EXPECT_FLOAT_EQ(y.PlotToPixels(1.0), 200.0f);
    EXPECT_FLOAT_EQ(y.PlotToPixels(-0.5), 350.0f);
    EXPECT_NEAR(x.PixelsToPlot(x.PlotToPixels(7.25)), 7.25, 1e-5);
    EXPECT_NEAR(y.PixelsToPlot(300.0f), 0.0, 1e-9);
    ImPlot::Transformer2 tr(x, y);
    const ImVec2 p = tr(ImPlotPoint(10.0, 0.0));
    EXPECT_FLOAT_EQ(p.x, 500.0f);
    EXPECT_FLOAT_EQ(p.y, 300.0f);
}

TEST(Indexing, OffsetModuloCountAndStrideInBytes)
{
    const float v[5] = {0, 1, 2, 3, 4};
    ImPlot::IndexerIdx<float> rotated(v, 5, 7); // offset 7 is 2
    EXPECT_EQ(rotated(0), 2.0);
    EXPECT_EQ(rotated(3), 0.0);
    ImPlot::IndexerIdx<float> negative(v, 5, -1);
    EXPECT_EQ(negative(0), 4.0);
    struct Sample
    {
        double t;
        float y;
    };
    const Sample s[3] = {{0.0, 10.0f}, {1.0, 11.0f}, {2.0, 12.0f}};
    ImPlot::IndexerIdx<float> strided(&s[0].y, 3, 1, (int)sizeof(Sample));
    EXPECT_EQ(strided(0), 11.0);
    EXPECT_EQ(strided(2), 10.0);
}

TEST(Style, PushPopRestoreColoursAndVariables)
{
    HeadlessPlot h;
    ImPlotStyle& style = ImPlot::GetStyle();
    EXPECT_TRUE(ImPlot::IsColorAuto(style.Colors[ImPlotCol_Line]));
    EXPECT_FLOAT_EQ(style.LineWeight, 1.0f);
    ImPlot::PushStyleColor(ImPlotCol_Line, ImVec4(1, 0, 0, 1));
    ImPlot::PushStyleColor(ImPlotCol_Line, IM_COL32(0, 255, 0, 255));
    ImPlot::PushStyleVar(ImPlotStyleVar_LineWeight, 3.0f);
    ImPlot::PushStyleVar(ImPlotStyleVar_PlotPadding, ImVec2(1, 2));
    EXPECT_FLOAT_EQ(style.Colors[ImPlotCol_Line].y, 1.0f);
    EXPECT_FLOAT_EQ(style.PlotPadding.y, 2.0f);
    ImPlot::PopStyleVar(2);
    ImPlot::PopStyleColor(1);
    EXPECT_FLOAT_EQ(style.Colors[ImPlotCol_Line].x, 1.0f);
    ImPlot::PopStyleColor();
    EXPECT_TRUE(ImPlot::IsColorAuto(style.Colors[ImPlotCol_Line]));
    EXPECT_FLOAT_EQ(style.LineWeight, 1.0f);
    EXPECT_FLOAT_EQ(style.PlotPadding.x, 10.0f);
}

const float Xs[] = {0.0f, 1.0f, 2.0f, 3.0f};
const float Ys[] = {-1.0f, 5.0f, NAN, 2.0f};

TEST(Items, FitLegendColoursAndHiding)
{
    HeadlessPlot h;
    ImPlotRect limits;
    std::vector<std::string> legend;
    ImU32 redColor = 0, autoColor = 0;
    int vtxAfterHidden = -1, vtxBeforeHidden = -1;
    bool hideRed = false;
    auto body = [&] {
        ASSERT_TRUE(ImPlot::BeginPlot("Items", ImVec2(600, 400)));
        ImPlot::SetupAxes("x", "y", ImPlotAxisFlags_AutoFit, ImPlotAxisFlags_AutoFit);
        if (ImPlotItem* red = ImPlot::GetItem("Red"))
            red->Show = !hideRed;
        ImPlot::PushStyleColor(ImPlotCol_Line, ImVec4(1, 0, 0, 1));
        ImPlot::PlotLine<float>("Red", Xs, Ys, 4);
        ImPlot::PopStyleColor();
        const float far[] = {100.0f, -100.0f};
        ImPlot::PlotLine<float>("##far", far, far, 2, ImPlotItemFlags_NoFit);
        ImPlot::PlotLine<float>("Auto", Xs, Xs, 4);
        vtxBeforeHidden = ImPlot::GetPlotDrawList()->VtxBuffer.Size;
        ImPlot::SetNextLineStyle(ImVec4(0, 0, 1, 1), 0.0f); // weight 0: nothing drawn
        ImPlot::PlotLine<float>("Blue", Xs, Xs, 4);
        vtxAfterHidden = ImPlot::GetPlotDrawList()->VtxBuffer.Size;
        limits = ImPlot::GetPlotLimits();
        ImPlotPlot& plot = *ImPlot::GetCurrentPlot();
        legend.clear();
        for (int idx : plot.LegendIndices)
            legend.push_back(plot.GetItemName(*plot.Items.GetByIndex(idx)));
        redColor = ImPlot::GetItem("Red") ? ImPlot::GetItem("Red")->Color : 0;
        autoColor = ImPlot::GetItem("Auto")->Color;
        ImPlot::EndPlot();
    };
    h.Frame(body);
    h.Frame(body);
    // Fitted to every finite value of the shown, fitting items.
    EXPECT_DOUBLE_EQ(limits.X.Min, 0.0);
    EXPECT_DOUBLE_EQ(limits.X.Max, 3.0);
    EXPECT_DOUBLE_EQ(limits.Y.Min, -1.0);
    EXPECT_DOUBLE_EQ(limits.Y.Max, 5.0);
    EXPECT_EQ(legend, (std::vector<std::string>{"Red", "Auto", "Blue"}));
    EXPECT_EQ(redColor, IM_COL32(255, 0, 0, 255));
    EXPECT_EQ(autoColor, ImPlot::GetColormapColorU32(2)); // the third item created in the plot
    EXPECT_EQ(vtxAfterHidden, vtxBeforeHidden);

    // A hidden item keeps its legend entry but is neither fitted nor drawn.
    hideRed = true;
    h.Frame(body);
    h.Frame(body);
    EXPECT_EQ(legend.size(), 3u);
    EXPECT_DOUBLE_EQ(limits.Y.Min, 0.0);
    EXPECT_DOUBLE_EQ(limits.Y.Max, 3.0);
}

TEST(Items, NextItemDataResolvesAndResets)
{
    HeadlessPlot h;
    h.Frame([&] {
        ASSERT_TRUE(ImPlot::BeginPlot("Data", ImVec2(400, 300)));
        ImPlot::PushStyleVar(ImPlotStyleVar_FillAlpha, 0.5f);
        ImPlot::PushStyleColor(ImPlotCol_Fill, ImVec4(0.0f, 0.4f, 0.8f, 1.0f));
        ImPlot::SetNextLineStyle(ImVec4(1, 1, 0, 1), 2.5f);
        ASSERT_TRUE(ImPlot::BeginItem("Band", 0, ImPlotCol_Fill));
        const ImPlotNextItemData& s = ImPlot::GetItemData();
        EXPECT_FLOAT_EQ(s.Colors[ImPlotCol_Fill].z, 0.8f);
        EXPECT_FLOAT_EQ(s.Colors[ImPlotCol_Fill].w, 0.5f);
        EXPECT_FLOAT_EQ(s.Colors[ImPlotCol_Line].x, 1.0f);
        EXPECT_FLOAT_EQ(s.LineWeight, 2.5f);
        EXPECT_TRUE(s.RenderLine);
        EXPECT_TRUE(s.RenderFill);
        EXPECT_TRUE(ImPlot::FitThisFrame()); // the first frame fits
        ImPlot::EndItem();
        EXPECT_EQ(ImPlot::GetItem("Band")->Color, ImGui::ColorConvertFloat4ToU32(ImVec4(0.0f, 0.4f, 0.8f, 1.0f)));
        ImPlot::PopStyleColor();
        ImPlot::PopStyleVar();
        // The line style was for one item only.
        ASSERT_TRUE(ImPlot::BeginItem("Next"));
        EXPECT_FLOAT_EQ(ImPlot::GetItemData().LineWeight, 1.0f);
        EXPECT_FALSE(ImPlot::GetItemData().Colors[ImPlotCol_Line].x == 1.0f &&
                     ImPlot::GetItemData().Colors[ImPlotCol_Line].y == 1.0f);
        ImPlot::EndItem();
        ImPlot::EndPlot();
    });
}

TEST(Items, ReducedLineDrawsAboutFourSegmentsPerColumn)
{
    HeadlessPlot h(1000, 700);
    std::vector<float> xs(10000), ys(10000);
    for (int i = 0; i < 10000; ++i)
    {
        xs[i] = i * 0.001f;
        ys[i] = std::sin(i * 0.37f);
    }
    int reduced = 0, full = 0;
    float width = 0;
    for (bool reduce : {true, false})
    {
        ImPlot::GetCurrentContext()->ReduceLines = reduce;
        for (int f = 0; f < 2; ++f)
            h.Frame([&] {
                ASSERT_TRUE(ImPlot::BeginPlot("Long", ImVec2(900, 500)));
                ImPlot::SetupAxes("x", "y", ImPlotAxisFlags_AutoFit, ImPlotAxisFlags_AutoFit);
                width = ImPlot::GetPlotSize().x;
                const int before = ImPlot::GetPlotDrawList()->VtxBuffer.Size;
                ImPlot::PlotLine<float>("Line", xs.data(), ys.data(), 10000);
                (reduce ? reduced : full) = (ImPlot::GetPlotDrawList()->VtxBuffer.Size - before) / 4;
                ImPlot::EndPlot();
            });
    }
    EXPECT_EQ(full, 9999);
    EXPECT_LE(reduced, (int)(4 * (width + 1)));
    EXPECT_GT(reduced, (int)width);
}

// The line renderer follows the draw list: plain quads without anti-aliasing, quads textured with
// the atlas's anti-aliased line for whole weights, quads with transparent fringes for others;
// every draw command stays within 16-bit indices.
TEST(Items, LinesFollowTheDrawListsAntiAliasing)
{
    HeadlessPlot h(1000, 700);
    ImGui::GetIO().BackendFlags |= ImGuiBackendFlags_RendererHasVtxOffset;
    ImPlot::GetCurrentContext()->ReduceLines = false;
    const int n = 20000; // 8 vertices a segment: more than 65,536 vertices in one item
    std::vector<float> xs(n), ys(n);
    for (int i = 0; i < n; ++i)
    {
        xs[i] = (float)i;
        ys[i] = std::sin(i * 0.05f);
    }
    struct Case
    {
        bool aa;
        float weight;
        int vtxPerSegment;
        bool textured, fringed;
    };
    for (const Case& c : {Case{false, 1.0f, 4, false, false}, Case{true, 1.0f, 4, true, false},
                          Case{true, 2.0f, 4, true, false}, Case{true, 1.5f, 8, false, true}})
    {
        int vtx = 0, textured = 0, fringes = 0;
        for (int f = 0; f < 2; ++f) // the first frame fits
            h.Frame([&] {
                vtx = textured = fringes = 0;
                ImDrawList* dl = ImGui::GetWindowDrawList();
                if (c.aa)
                    dl->Flags |= ImDrawListFlags_AntiAliasedLines | ImDrawListFlags_AntiAliasedLinesUseTex;
                else
                    dl->Flags &= ~ImDrawListFlags_AntiAliasedLines;
                ASSERT_TRUE(ImPlot::BeginPlot("AA", ImVec2(900, 500), ImPlotFlags_NoLegend));
                ImPlot::SetupAxes("x", "y", ImPlotAxisFlags_AutoFit, ImPlotAxisFlags_AutoFit);
                ImPlot::SetupFinish(); // frame, grid and title first
                const int before = dl->VtxBuffer.Size;
                ImPlot::SetNextLineStyle(ImVec4(1, 0, 0, 1), c.weight);
                ImPlot::PlotLine<float>("Line", xs.data(), ys.data(), n);
                vtx = dl->VtxBuffer.Size - before;
                const ImVec2 white = dl->_Data->TexUvWhitePixel;
                for (int i = before; i < dl->VtxBuffer.Size; ++i)
                {
                    const ImDrawVert& v = dl->VtxBuffer[i];
                    textured += v.uv.x != white.x || v.uv.y != white.y;
                    fringes += (v.col >> IM_COL32_A_SHIFT) == 0;
                }
                ImPlot::EndPlot();
            });
        EXPECT_EQ(vtx, (n - 1) * c.vtxPerSegment) << c.weight;
        EXPECT_EQ(textured > 0, c.textured) << c.weight;
        EXPECT_EQ(fringes, c.fringed ? vtx / 2 : 0) << c.weight;
        // Every triangle of the line joins vertices of one segment: an index that overflowed its
        // 16 bits would reach a vertex of the line hundreds of pixels away, or none of the line.
        const ImDrawList* dl = ImGui::GetDrawData()->CmdLists[0];
        auto red = [](const ImDrawVert& v) { return (v.col & 0x00FFFFFF) == 0x0000FF; };
        int lineTriangles = 0;
        for (const ImDrawCmd& cmd : dl->CmdBuffer)
            for (unsigned int e = 0; e + 2 < cmd.ElemCount; e += 3)
            {
                const ImDrawVert* v[3];
                for (int k = 0; k < 3; ++k)
                    v[k] = &dl->VtxBuffer[cmd.VtxOffset + dl->IdxBuffer[cmd.IdxOffset + e + k]];
                if (!red(*v[0]))
                    continue;
                lineTriangles++;
                for (int k = 1; k < 3; ++k)
                {
                    ASSERT_TRUE(red(*v[k]));
                    ASSERT_LT(ImLengthSqr(ImVec2(v[k]->pos.x - v[0]->pos.x, v[k]->pos.y - v[0]->pos.y)), 40.0f * 40.0f);
                }
            }
        EXPECT_EQ(lineTriangles, (n - 1) * (c.fringed ? 6 : 2)) << c.weight;
    }
}

} // namespace
