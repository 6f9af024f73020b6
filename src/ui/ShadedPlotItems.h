// Shaded plot items of our own on the plotting layer's item machinery: a filled area with a
// brighter opaque outline, and a band filled with a vertical alpha gradient.
#pragma once

#include "plot/implot_internal.h"

#include <float.h>

// The area between (xs, ys) and the level yRef (-INFINITY / +INFINITY: the plot's lower / upper
// edge), filled at 0.4 of the fill alpha, outlined along ys.
void PlotShadedWithOutline(const char* label, const float* xs, const float* ys, int count, double yRef,
                           ImPlotShadedFlags flags = 0, int offset = 0, int stride = sizeof(float));
// The band between two curves, filled at 0.3 of the fill alpha, outlined along the first curve.
void PlotShadedBandWithOutline(const char* label, ImPlotGetter getter1, void* data1, ImPlotGetter getter2, void* data2,
                               int count, ImPlotShadedFlags flags = 0);
// The same band filled through RendererShadedGradient.
void PlotShadedBandGradient(const char* label, ImPlotGetter getter1, void* data1, ImPlotGetter getter2, void* data2,
                            int count, ImPlotShadedFlags flags = 0);

// The quads between two curves like the standard shaded renderer, with each vertex's alpha scaled by
// where its y lies in the data range: above zero faint at the bottom of the range and strongest at
// the top, below zero the other way round.
template <class G1, class G2> struct RendererShadedGradient : ImPlot::RendererBase
{
    RendererShadedGradient(const G1& getter1, const G2& getter2, ImU32 col)
        : RendererBase(ImMin(getter1.Count, getter2.Count) - 1, 6, 5), Getter1(getter1), Getter2(getter2), Col(col)
    {
        P11 = getter1.Count > 0 ? Transformer(Getter1(0)) : ImVec2(0, 0);
        P12 = getter2.Count > 0 ? Transformer(Getter2(0)) : ImVec2(0, 0);
        YMin = DBL_MAX;
        YMax = -DBL_MAX;
        for (int i = 0; i < Getter1.Count; ++i)
        {
            const double y1 = Getter1(i).y;
            const double y2 = Getter2(i).y;
            const double lo = y1 < y2 ? y1 : y2;
            const double hi = y1 > y2 ? y1 : y2;
            YMin = lo < YMin ? lo : YMin;
            YMax = hi > YMax ? hi : YMax;
        }
        if (!(YMin < YMax))
        {
            YMin = 0.0;
            YMax = 1.0;
        }
    }

    // Col with its alpha scaled by the factor of data value y.
    ImU32 VertexColor(double y) const
    {
        float t = (float)((y - YMin) / (YMax - YMin));
        if (!(t >= 0.0f)) // below zero, or not a number
            t = 0.0f;
        if (t > 1.0f)
            t = 1.0f;
        const float f = y >= 0.0 ? t : 1.0f - t;
        const float a = (float)((Col >> IM_COL32_A_SHIFT) & 0xFF);
        const ImU32 alpha = (ImU32)(int)(a * f);
        return (Col & ~IM_COL32_A_MASK) | (alpha << IM_COL32_A_SHIFT);
    }

    void Init(ImDrawList& draw_list) const { UV = draw_list._Data->TexUvWhitePixel; }

    bool Render(ImDrawList& draw_list, const ImRect& cull_rect, int prim) const
    {
        const ImPlotPoint d21 = Getter1(prim + 1);
        const ImPlotPoint d22 = Getter2(prim + 1);
        const ImVec2 P21 = Transformer(d21);
        const ImVec2 P22 = Transformer(d22);
        const ImVec2 mn = ImMin(ImMin(P11, P12), ImMin(P21, P22));
        const ImVec2 mx = ImMax(ImMax(P11, P12), ImMax(P21, P22));
        if (!ImPlot::RectsOverlap(mn, mx, cull_rect))
        {
            P11 = P21;
            P12 = P22;
            return false;
        }
        const int crossing = (P11.y > P12.y && P22.y > P21.y) || (P12.y > P11.y && P21.y > P22.y);
        const ImVec2 cross = crossing == 0 ? ImVec2(0, 0) : ImPlot::Intersection(P11, P21, P12, P22);

        const ImVec2 pos[5] = {P11, P21, cross, P12, P22};
        const ImU32 col[5] = {VertexColor(Getter1(prim).y), VertexColor(d21.y), VertexColor(0.0),
                              VertexColor(Getter2(prim).y), VertexColor(d22.y)};
        ImPlot::WriteShadedQuad(draw_list, pos, col, UV, crossing);
        P11 = P21;
        P12 = P22;
        return true;
    }

    const G1& Getter1;
    const G2& Getter2;
    const ImU32 Col;
    mutable ImVec2 P11, P12;
    mutable ImVec2 UV;
    double YMin, YMax;
};
