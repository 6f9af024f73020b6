// The shaded plot items: the gradient renderer's vertex colours, positions and indices, its
// batching over the 16-bit index range, and the three items' fill, outline, legend and hiding.
#include "ui/ShadedPlotItems.h"

#include "HeadlessPlot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace
{

struct Series
{
    std::vector<double> xs, ys;
};

ImPlotPoint SeriesPoint(int idx, void* data)
{
    const Series& s = *(const Series*)data;
    return (idx >= 0 && idx < (int)s.xs.size()) ? ImPlotPoint(s.xs[idx], s.ys[idx]) : ImPlotPoint(0.0, 0.0);
}

Series Baseline(const Series& s) { return Series{s.xs, std::vector<double>(s.xs.size(), 0.0)}; }

// A current plot without a frame: x 0..4 on pixels 0..400, y -2..2 on pixels 200..0.
struct FakePlot
{
    ImPlotContext* ctx;
    ImPlotPlot plot;
    ImDrawListSharedData shared;
    ImDrawList drawList{&shared};
    FakePlot(double xMax = 4.0)
    {
        ctx = ImPlot::CreateContext();
        ImPlot::SetCurrentContext(ctx);
        plot.XAxis.SetRange(0.0, xMax);
        plot.XAxis.PixelMin = 0;
        plot.XAxis.PixelMax = 400;
        plot.XAxis.UpdateTransform();
        plot.YAxis.SetRange(-2.0, 2.0);
        plot.YAxis.PixelMin = 200;
        plot.YAxis.PixelMax = 0;
        plot.YAxis.UpdateTransform();
        plot.PlotRect = ImRect(0, 0, 400, 200);
        plot.DrawList = &drawList;
        ctx->CurrentPlot = &plot;
        shared.TexUvWhitePixel = ImVec2(0.25f, 0.75f);
        drawList._ResetForNewFrame();
        drawList.Flags |= ImDrawListFlags_AllowVtxOffset;
    }
    ~FakePlot()
    {
        ctx->CurrentPlot = nullptr;
        ImPlot::DestroyContext(ctx);
    }
    void Draw(const Series& a, const Series& b, ImU32 col)
    {
        ImPlot::GetterFuncPtr g1(SeriesPoint, (void*)&a, (int)a.xs.size());
        ImPlot::GetterFuncPtr g2(SeriesPoint, (void*)&b, (int)b.xs.size());
        ImPlot::RenderPrimitives2<RendererShadedGradient>(g1, g2, col);
    }
};

int Alpha(const ImDrawVert& v) { return (int)((v.col >> IM_COL32_A_SHIFT) & 0xFF); }

TEST(GradientRenderer, VertexAlphaFollowsTheDataRange)
{
    FakePlot f;
    Series data{{0, 1, 2}, {0, 2, 4}};
    Series zero = Baseline(data);
    const ImU32 col = IM_COL32(0, 102, 204, 76);
    f.Draw(data, zero, col);
    const ImVector<ImDrawVert>& v = f.drawList.VtxBuffer;
    ASSERT_EQ(v.Size, 10);
    ASSERT_EQ(f.drawList.IdxBuffer.Size, 12);
    // Range 0..4: t = y / 4, above zero the factor is t; alpha = 76 * t truncated.
    const int want[10] = {0, 38, 0, 0, 0, /* next primitive */ 38, 76, 0, 0, 0};
    for (int i = 0; i < 10; ++i)
    {
        EXPECT_EQ(Alpha(v[i]), want[i]) << i;
        EXPECT_EQ(v[i].col & ~IM_COL32_A_MASK, col & ~IM_COL32_A_MASK) << i;
        EXPECT_EQ(v[i].uv.x, 0.25f);
        EXPECT_EQ(v[i].uv.y, 0.75f);
    }
    // Vertex order P11, P21, crossing (none: 0,0), P12, P22.
    EXPECT_FLOAT_EQ(v[0].pos.x, 0.0f);
    EXPECT_FLOAT_EQ(v[0].pos.y, 100.0f);
    EXPECT_FLOAT_EQ(v[1].pos.x, 100.0f);
    EXPECT_FLOAT_EQ(v[1].pos.y, 0.0f);
    EXPECT_FLOAT_EQ(v[2].pos.x, 0.0f);
    EXPECT_FLOAT_EQ(v[2].pos.y, 0.0f);
    EXPECT_FLOAT_EQ(v[4].pos.x, 100.0f);
    EXPECT_FLOAT_EQ(v[4].pos.y, 100.0f);
    const ImDrawIdx idx[12] = {0, 1, 3, 1, 4, 3, 5, 6, 8, 6, 9, 8};
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(f.drawList.IdxBuffer[i], idx[i]) << i;
}

TEST(GradientRenderer, CrossingVertexAndNegativeData)
{
    {
        // -1 to 1 across the zero baseline: split at the crossing, which has the factor of y = 0.
        FakePlot f;
        Series data{{0, 1}, {-1, 1}};
        f.Draw(data, Baseline(data), IM_COL32(255, 0, 0, 200));
        const ImVector<ImDrawVert>& v = f.drawList.VtxBuffer;
        ASSERT_EQ(v.Size, 5);
        EXPECT_EQ(Alpha(v[0]), 200); // y -1: t 0, below zero 1 - t
        EXPECT_EQ(Alpha(v[1]), 200); // y 1: t 1
        EXPECT_EQ(Alpha(v[2]), 100); // crossing: t 0.5
        EXPECT_EQ(Alpha(v[3]), 100);
        EXPECT_EQ(Alpha(v[4]), 100);
        EXPECT_FLOAT_EQ(v[2].pos.x, 50.0f);
        EXPECT_FLOAT_EQ(v[2].pos.y, 100.0f);
        const ImDrawIdx idx[6] = {0, 2, 3, 1, 4, 2};
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(f.drawList.IdxBuffer[i], idx[i]) << i;
    }
    {
        // All below zero: range -3..0; the lowest point and the baseline both get full alpha.
        FakePlot f;
        Series data{{0, 1}, {-3, -1}};
        f.Draw(data, Baseline(data), IM_COL32(0, 0, 255, 255));
        const ImVector<ImDrawVert>& v = f.drawList.VtxBuffer;
        ASSERT_EQ(v.Size, 5);
        EXPECT_EQ(Alpha(v[0]), 255);
        EXPECT_EQ(Alpha(v[1]), 84); // t 2/3 as float, factor 1/3: 84.99.. truncated
        EXPECT_EQ(Alpha(v[3]), 255);
        EXPECT_EQ(Alpha(v[4]), 255);
    }
}

TEST(GradientRenderer, RangeOfBothCurvesWithFallback)
{
    FakePlot f;
    Series flat{{0, 1, 2}, {1.5, 1.5, 1.5}};
    Series zero = Baseline(flat);
    ImPlot::GetterFuncPtr g1(SeriesPoint, &flat, 3), g2(SeriesPoint, &zero, 3);
    RendererShadedGradient<ImPlot::GetterFuncPtr, ImPlot::GetterFuncPtr> r(g1, g2, IM_COL32_WHITE);
    EXPECT_EQ(r.Prims, 2u);
    EXPECT_EQ(r.IdxConsumed, 6u);
    EXPECT_EQ(r.VtxConsumed, 5u);
    EXPECT_DOUBLE_EQ(r.YMin, 0.0);
    EXPECT_DOUBLE_EQ(r.YMax, 1.5);

    Series atZero{{0, 1}, {0, 0}};
    Series zero2 = Baseline(atZero);
    ImPlot::GetterFuncPtr h1(SeriesPoint, &atZero, 2), h2(SeriesPoint, &zero2, 2);
    RendererShadedGradient<ImPlot::GetterFuncPtr, ImPlot::GetterFuncPtr> z(h1, h2, IM_COL32_WHITE);
    EXPECT_DOUBLE_EQ(z.YMin, 0.0); // all equal: 0..1
    EXPECT_DOUBLE_EQ(z.YMax, 1.0);
    EXPECT_EQ(z.VertexColor(0.5) >> IM_COL32_A_SHIFT, 127u);
    EXPECT_EQ(z.VertexColor(7.0) >> IM_COL32_A_SHIFT, 255u); // clamped
}

// Every command's indices address its own vertices within the 16-bit range.
void ExpectCommandsConsistent(const ImDrawList& dl)
{
    for (const ImDrawCmd& cmd : dl.CmdBuffer)
    {
        EXPECT_EQ(cmd.ElemCount % 3, 0u);
        for (unsigned int i = 0; i < cmd.ElemCount; ++i)
        {
            const unsigned int vtx = cmd.VtxOffset + dl.IdxBuffer[(int)(cmd.IdxOffset + i)];
            ASSERT_LT(vtx, (unsigned int)dl.VtxBuffer.Size);
        }
    }
}

Series Ramp(int points, double xMax)
{
    Series s;
    for (int i = 0; i < points; ++i)
    {
        s.xs.push_back(xMax * i / (points - 1));
        s.ys.push_back(std::sin(i * 0.1));
    }
    return s;
}

int CommandsWithElements(const ImDrawList& dl)
{
    int n = 0;
    for (const ImDrawCmd& cmd : dl.CmdBuffer)
        n += cmd.ElemCount > 0;
    return n;
}

TEST(GradientRenderer, BatchesThirteenThousandOneHundredSevenPrimitives)
{
    {
        // 13,107 primitives of 5 vertices fill one command's 65535 vertices exactly.
        FakePlot f;
        Series s = Ramp(13108, 3.99);
        f.Draw(s, Baseline(s), IM_COL32_WHITE);
        EXPECT_EQ(f.drawList.VtxBuffer.Size, 65535);
        EXPECT_EQ(f.drawList.IdxBuffer.Size, 13107 * 6);
        EXPECT_EQ(CommandsWithElements(f.drawList), 1);
        ExpectCommandsConsistent(f.drawList);
    }
    {
        // With vertices already in the list they no longer fit: a second command takes the rest.
        FakePlot f;
        f.drawList.AddRectFilled(ImVec2(1, 1), ImVec2(2, 2), IM_COL32_WHITE);
        Series s = Ramp(13108, 3.99);
        f.Draw(s, Baseline(s), IM_COL32_WHITE);
        EXPECT_EQ(f.drawList.VtxBuffer.Size, 4 + 65535);
        EXPECT_EQ(CommandsWithElements(f.drawList), 2);
        EXPECT_GT(f.drawList.CmdBuffer.back().VtxOffset, 0u);
        ExpectCommandsConsistent(f.drawList);
    }
    {
        // 30,000 primitives of which the right half lies outside the plot: the culled ones'
        // space is reused and handed back, so the list holds exactly the visible ones.
        FakePlot f(4.0);
        Series s = Ramp(30001, 8.0);
        f.Draw(s, Baseline(s), IM_COL32_WHITE);
        const int visible = f.drawList.VtxBuffer.Size / 5;
        EXPECT_EQ(f.drawList.VtxBuffer.Size % 5, 0);
        EXPECT_NEAR(visible, 15000, 3);
        EXPECT_EQ(f.drawList.IdxBuffer.Size, visible * 6);
        EXPECT_EQ(CommandsWithElements(f.drawList), 2);
        ExpectCommandsConsistent(f.drawList);
    }
}

// The three items inside real (headless) frames.
struct ItemRun
{
    int fillVtx = -1;     // vertices of the whole item
    ImU32 firstCol = 0;   // colour of its first vertex (the fill's, or the outline's without fill)
    ImU32 outlineCol = 0; // colour of the first outline vertex
    bool inLegend = false;
    float plotBottom = 0; // pixel y of the axis minimum, the bottom edge of what the plot shows
    float baselineY = 0;  // pixel y of the fill's fourth vertex (getter 2 at point 0)
};

enum class Kind
{
    Outline,
    Band,
    Gradient
};

ItemRun RunItem(Kind kind, int count, bool hide = false, float lineWeight = 1.0f, float fillAlpha = 1.0f,
                double yRef = 0.0)
{
    HeadlessPlot h;
    static const float xs[] = {0, 1, 2, 3, 4};
    static const float ys[] = {1, 3, 2, 4, 3};
    Series data{{0, 1, 2, 3, 4}, {1, 3, 2, 4, 3}};
    data.xs.resize(count);
    data.ys.resize(count);
    Series zero = Baseline(data);
    ItemRun run;
    const ImVec4 colour(0.0f, 0.4f, 0.8f, 1.0f);
    for (int frame = 0; frame < 2; ++frame)
        h.Frame([&] {
            ASSERT_TRUE(ImPlot::BeginPlot("Items", ImVec2(500, 400)));
            ImPlot::SetupAxesLimits(-1, 5, -1, 5, ImPlotCond_Always);
            ImPlot::SetupFinish(); // frame and grid drawn now, before the item
            if (ImPlotItem* item = ImPlot::GetItem("Channel"))
                item->Show = !hide;
            ImPlot::PushStyleVar(ImPlotStyleVar_FillAlpha, fillAlpha);
            ImPlot::PushStyleColor(ImPlotCol_Fill, colour);
            ImPlot::SetNextLineStyle(colour, lineWeight);
            ImDrawList* dl = ImPlot::GetPlotDrawList();
            const int before = dl->VtxBuffer.Size;
            if (kind == Kind::Outline)
                PlotShadedWithOutline("Channel", xs, ys, count, yRef, 0, 0, sizeof(float));
            else if (kind == Kind::Band)
                PlotShadedBandWithOutline("Channel", SeriesPoint, &data, SeriesPoint, &zero, count);
            else
                PlotShadedBandGradient("Channel", SeriesPoint, &data, SeriesPoint, &zero, count);
            ImPlot::PopStyleColor();
            ImPlot::PopStyleVar();
            run.fillVtx = dl->VtxBuffer.Size - before;
            if (run.fillVtx > 0)
                run.firstCol = dl->VtxBuffer[before].col;
            const int prims = ImMax(0, count - 1);
            if (dl->VtxBuffer.Size > before + 5 * prims)
                run.outlineCol = dl->VtxBuffer[before + 5 * prims].col;
            if (run.fillVtx >= 4)
                run.baselineY = dl->VtxBuffer[before + 3].pos.y;
            run.plotBottom = ImPlot::PlotToPixels(0.0, ImPlot::GetPlotLimits().Y.Min).y;
            ImPlotPlot& plot = *ImPlot::GetCurrentPlot();
            run.inLegend = plot.LegendIndices.Size == 1;
            ImPlot::EndPlot();
        });
    return run;
}

TEST(ShadedItems, FillAlphaFactorsAndBrighterOutline)
{
    const ImU32 outline = ImGui::ColorConvertFloat4ToU32(ImVec4(0.0f, 0.52f, 1.0f, 1.0f));
    ItemRun a = RunItem(Kind::Outline, 5);
    EXPECT_EQ(a.firstCol, ImGui::ColorConvertFloat4ToU32(ImVec4(0.0f, 0.4f, 0.8f, 0.4f)));
    EXPECT_EQ(a.outlineCol, outline);
    EXPECT_GT(a.fillVtx, 5 * 4);
    EXPECT_TRUE(a.inLegend);

    ItemRun b = RunItem(Kind::Band, 5);
    EXPECT_EQ(b.firstCol, ImGui::ColorConvertFloat4ToU32(ImVec4(0.0f, 0.4f, 0.8f, 0.3f)));
    EXPECT_EQ(b.outlineCol, outline);

    ItemRun g = RunItem(Kind::Gradient, 5);
    // The first vertex is the data point y = 1 of the range 0..4: alpha 76 * 0.25 truncated.
    EXPECT_EQ(g.firstCol >> IM_COL32_A_SHIFT, 19u);
    EXPECT_EQ(g.outlineCol, outline);
}

TEST(ShadedItems, EmptyHiddenAndPartlyRenderedItems)
{
    for (Kind kind : {Kind::Outline, Kind::Band, Kind::Gradient})
    {
        for (int count : {0, 1})
        {
            ItemRun r = RunItem(kind, count);
            EXPECT_TRUE(r.inLegend);
            EXPECT_EQ(r.fillVtx, 0);
        }
        ItemRun hidden = RunItem(kind, 5, true);
        EXPECT_TRUE(hidden.inLegend);
        EXPECT_EQ(hidden.fillVtx, 0);
        // Line weight 0: the fill alone, 4 primitives of 5 vertices.
        EXPECT_EQ(RunItem(kind, 5, false, 0.0f).fillVtx, 20);
        // Fill alpha 0: the outline alone, opaque.
        ItemRun lineOnly = RunItem(kind, 5, false, 1.0f, 0.0f);
        EXPECT_EQ(lineOnly.fillVtx % 4, 0);
        EXPECT_GT(lineOnly.fillVtx, 0);
        EXPECT_EQ(lineOnly.firstCol >> IM_COL32_A_SHIFT, 255u);
    }
}

TEST(ShadedItems, InfiniteReferenceTakesThePlotEdge)
{
    ItemRun r = RunItem(Kind::Outline, 5, false, 1.0f, 1.0f, -INFINITY);
    EXPECT_FLOAT_EQ(r.baselineY, r.plotBottom);
}

} // namespace
