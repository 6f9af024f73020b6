// Internals of the plotting layer: plot and item state, the item machinery (begin/end item with
// legend registration and colour resolution, next-item data, fitting), transformers, getters,
// renderers and the batched primitive loop. Custom plot items are built on these.
// It needs no ImVec2 operators itself; included before <imgui.h> it turns them on for its includer.
#pragma once

#if !defined(IMGUI_VERSION) && !defined(IMGUI_DEFINE_MATH_OPERATORS)
#define IMGUI_DEFINE_MATH_OPERATORS
#endif
#include <imgui_internal.h>

#include "plot/implot.h"

#include <math.h>

//-----------------------------------------------------------------------------
// State
//-----------------------------------------------------------------------------

struct ImPlotTick
{
    double PlotPos;
    bool Major;
    int LabelOffset; // into ImPlotTicker::Labels, -1 for none
    ImVec2 LabelSize;
};

// Ticks of one axis with their label texts.
struct ImPlotTicker
{
    ImVector<ImPlotTick> Ticks;
    ImGuiTextBuffer Labels;
    ImVec2 MaxSize;
    void Reset()
    {
        Ticks.shrink(0);
        Labels.Buf.shrink(0);
        MaxSize = ImVec2(0, 0);
    }
    const char* GetLabel(const ImPlotTick& t) const { return t.LabelOffset < 0 ? "" : Labels.Buf.Data + t.LabelOffset; }
};

struct ImPlotAxis
{
    ImPlotRange Range = ImPlotRange(0, 1);
    ImPlotAxisFlags Flags = 0;
    ImPlotAxisFlags PreviousFlags = 0;
    bool Vertical = false;
    bool HasLabel = false;
    int LabelOffset = -1; // into ImPlotPlot::TextBuffer
    bool HasRange = false;
    ImPlotCond RangeCond = ImPlotCond_None;
    ImPlotRange SetupRange;
    bool FitThisFrame = false;
    ImPlotRange FitExtents = ImPlotRange(HUGE_VAL, -HUGE_VAL);
    float PixelMin = 0, PixelMax = 1; // x: left to right; y: bottom to top (PixelMin > PixelMax)
    double ScaleToPixel = 1;
    ImPlotTicker Ticker;

    bool IsAutoFitting() const { return (Flags & ImPlotAxisFlags_AutoFit) != 0; }
    bool IsInputLockedMin() const { return (Flags & ImPlotAxisFlags_LockMin) != 0 || IsAutoFitting(); }
    bool IsInputLockedMax() const { return (Flags & ImPlotAxisFlags_LockMax) != 0 || IsAutoFitting(); }
    void UpdateTransform() { ScaleToPixel = (double)(PixelMax - PixelMin) / Range.Size(); }
    float PlotToPixels(double plt) const { return (float)(PixelMin + ScaleToPixel * (plt - Range.Min)); }
    double PixelsToPlot(float pix) const { return Range.Min + (double)(pix - PixelMin) / ScaleToPixel; }
    void ExtendFit(double v)
    {
        if (!isfinite(v))
            return;
        FitExtents.Min = v < FitExtents.Min ? v : FitExtents.Min;
        FitExtents.Max = v > FitExtents.Max ? v : FitExtents.Max;
    }
    // Sets a range, keeping it ordered, finite and of non-zero size.
    void SetRange(double v_min, double v_max);
    void ApplyFit(float padding);
};

struct ImPlotItem
{
    ImGuiID ID = 0;
    ImU32 Color = IM_COL32_WHITE;
    bool Show = true;
    bool SeenThisFrame = false;
    bool LegendHovered = false; // the mouse was over its legend entry when the legend was last drawn
    ImRect LegendHoverRect;
    int NameOffset = -1; // into ImPlotPlot::TextBuffer, this frame's display name
};

// What the next item draws with: set by SetNextLineStyle/SetNextFillStyle, resolved by BeginItem.
struct ImPlotNextItemData
{
    ImVec4 Colors[5]; // ImPlotCol_Line .. ImPlotCol_ErrorBar
    float LineWeight;
    float FillAlpha;
    bool RenderLine;
    bool RenderFill;
    ImPlotNextItemData() { Reset(); }
    void Reset()
    {
        for (int i = 0; i < 5; ++i)
            Colors[i] = IMPLOT_AUTO_COL;
        LineWeight = FillAlpha = IMPLOT_AUTO;
        RenderLine = RenderFill = false;
    }
};

struct ImPlotPlot
{
    ImGuiID ID = 0;
    ImPlotFlags Flags = 0;
    ImPlotFlags PreviousFlags = 0;
    bool JustCreated = true;
    bool Initialized = false; // the first frame has been drawn
    bool SetupLocked = false;
    bool FitThisFrame = false;
    bool Hovered = false;
    bool Held = false;
    ImPlotAxis XAxis, YAxis;
    ImPlotLocation LegendLocation = ImPlotLocation_NorthWest;
    ImPlotLegendFlags LegendFlags = 0;
    ImRect LegendRect; // as drawn last
    bool LegendHovered = false;
    ImGuiTextBuffer TextBuffer; // title, axis labels, item names for this frame
    int TitleOffset = -1;
    ImRect FrameRect, CanvasRect, PlotRect;
    ImDrawList* DrawList = nullptr;
    ImPool<ImPlotItem> Items;
    ImVector<int> LegendIndices; // items with a legend entry, in the order plotted this frame
    int ColormapIdx = 0;         // next automatic item colour
    bool FitRequested = false;   // double-click: fit on the next frame

    const char* GetTitle() const { return TitleOffset < 0 ? "" : TextBuffer.Buf.Data + TitleOffset; }
    const char* GetItemName(const ImPlotItem& item) const
    {
        return item.NameOffset < 0 ? "" : TextBuffer.Buf.Data + item.NameOffset;
    }
};

struct ImPlotColorMod
{
    ImPlotCol Col;
    ImVec4 BackupValue;
};

struct ImPlotStyleMod
{
    ImPlotStyleVar VarIdx;
    float BackupFloat[2];
};

struct ImPlotContext
{
    ImPool<ImPlotPlot> Plots;
    ImPlotPlot* CurrentPlot = nullptr;
    ImPlotItem* CurrentItem = nullptr;
    ImPlotNextItemData NextItemData;
    ImPlotStyle Style;
    ImVector<ImPlotColorMod> ColorModifiers;
    ImVector<ImPlotStyleMod> StyleModifiers;
    // Lines are reduced to what each pixel column shows (first, minimum, maximum, last). Off only to
    // measure the unreduced drawing.
    bool ReduceLines = true;
    ImVector<ImVec2> ReducedPoints; // scratch of the line reduction, kept between frames
};

namespace ImPlot
{

//-----------------------------------------------------------------------------
// Plot and item access
//-----------------------------------------------------------------------------

ImPlotPlot* GetCurrentPlot();
ImPlotItem* GetCurrentItem();
ImPlotItem* GetItem(const char* label_id); // an item of the current plot, or null

// Registers the item in the current plot (and its legend entry unless hidden by "##" or
// ImPlotItemFlags_NoLegend) and resolves the next-item data. recolor_from names the style colour
// that recolours the item when it is set (ImPlotCol_Line for lines, ImPlotCol_Fill for fills).
// Returns false when the item is hidden; then EndItem must not be called.
bool BeginItem(const char* label_id, ImPlotItemFlags flags = 0, ImPlotCol recolor_from = IMPLOT_AUTO);
void EndItem();
const ImPlotNextItemData& GetItemData();

// Fitting: true while the current plot fits an axis this frame; FitPoint extends the fit.
bool FitThisFrame();
void FitPoint(const ImPlotPoint& p);

// Colours.
bool IsColorAuto(const ImVec4& col);
ImVec4 GetAutoColor(ImPlotCol idx);
ImU32 GetColormapColorU32(int idx);

// Ticks: nice values (1, 2 or 5 times a power of ten) over range, about target_count majors, with
// minor ticks between them and labels with the precision the step needs.
void CalcTicks(const ImPlotRange& range, int target_count, ImPlotTicker& ticker);
// The tick step CalcTicks uses.
double NiceTickStep(double span, int target_count);
// The smallest step of 1, 2 or 5 times a power of ten that is not below v.
double NiceStepAtLeast(double v);
// Major ticks at every multiple of step inside range, with their minor ticks and labels.
void CalcTicksWithStep(const ImPlotRange& range, double step, ImPlotTicker& ticker);
// The ticks of an axis over its pixel length: labelled majors that do not overlap, at least three
// where the length allows.
void CalcAxisTicks(const ImPlotAxis& axis, ImPlotTicker& ticker);

//-----------------------------------------------------------------------------
// Transformer: plot units to pixels over the current plot's axes
//-----------------------------------------------------------------------------

struct Transformer1
{
    Transformer1(const ImPlotAxis& axis)
        : ScaMin(axis.Range.Min), PltMin(axis.Range.Min), PixMin((double)axis.PixelMin), M(axis.ScaleToPixel)
    {}
    float operator()(double p) const { return (float)(PixMin + M * (p - PltMin)); }
    double ScaMin, PltMin, PixMin, M;
};

struct Transformer2
{
    Transformer2(const ImPlotAxis& x, const ImPlotAxis& y) : Tx(x), Ty(y) {}
    Transformer2() : Transformer2(GetCurrentPlot()->XAxis, GetCurrentPlot()->YAxis) {}
    ImVec2 operator()(const ImPlotPoint& p) const { return ImVec2(Tx(p.x), Ty(p.y)); }
    ImVec2 operator()(double x, double y) const { return ImVec2(Tx(x), Ty(y)); }
    Transformer1 Tx, Ty;
};

//-----------------------------------------------------------------------------
// Getters
//-----------------------------------------------------------------------------

// Non-negative remainder.
inline int PosMod(int l, int r) { return (l % r + r) % r; }

// Element idx of an array read with ImPlot's offset (modulo count) and byte stride.
template <typename T> inline T IndexData(const T* data, int idx, int count, int offset, int stride)
{
    const int s = ((offset == 0) << 0) | ((stride == sizeof(T)) << 1);
    switch (s)
    {
    case 3: return data[idx];
    case 2: return data[(offset + idx) % count];
    case 1: return *(const T*)(const void*)((const unsigned char*)data + (size_t)idx * stride);
    default: return *(const T*)(const void*)((const unsigned char*)data + (size_t)((offset + idx) % count) * stride);
    }
}

template <typename T> struct IndexerIdx
{
    IndexerIdx(const T* data, int count, int offset = 0, int stride = sizeof(T))
        : Data(data), Count(count), Offset(count ? PosMod(offset, count) : 0), Stride(stride)
    {}
    double operator()(int idx) const { return (double)IndexData(Data, idx, Count, Offset, Stride); }
    const T* Data;
    int Count, Offset, Stride;
};

struct IndexerLin
{
    IndexerLin(double m, double b) : M(m), B(b) {}
    double operator()(int idx) const { return M * idx + B; }
    const double M, B;
};

struct IndexerConst
{
    IndexerConst(double ref) : Ref(ref) {}
    double operator()(int) const { return Ref; }
    double Ref;
};

template <typename IX, typename IY> struct GetterXY
{
    GetterXY(IX x, IY y, int count) : IndxerX(x), IndxerY(y), Count(count) {}
    ImPlotPoint operator()(int idx) const { return ImPlotPoint(IndxerX(idx), IndxerY(idx)); }
    const IX IndxerX;
    const IY IndxerY;
    const int Count;
};

struct GetterFuncPtr
{
    GetterFuncPtr(ImPlotGetter getter, void* data, int count) : Getter(getter), Data(data), Count(count) {}
    ImPlotPoint operator()(int idx) const { return Getter(idx, Data); }
    ImPlotGetter Getter;
    void* const Data;
    const int Count;
};

//-----------------------------------------------------------------------------
// Fitters
//-----------------------------------------------------------------------------

template <typename G> struct Fitter1
{
    Fitter1(const G& getter) : Getter(getter) {}
    void Fit(ImPlotAxis& x, ImPlotAxis& y) const
    {
        for (int i = 0; i < Getter.Count; ++i)
        {
            ImPlotPoint p = Getter(i);
            x.ExtendFit(p.x);
            y.ExtendFit(p.y);
        }
    }
    const G& Getter;
};

template <typename G1, typename G2> struct Fitter2
{
    Fitter2(const G1& getter1, const G2& getter2) : Getter1(getter1), Getter2(getter2) {}
    void Fit(ImPlotAxis& x, ImPlotAxis& y) const
    {
        Fitter1<G1>(Getter1).Fit(x, y);
        Fitter1<G2>(Getter2).Fit(x, y);
    }
    const G1& Getter1;
    const G2& Getter2;
};

// BeginItem that also fits the fitter's points while the plot fits this frame.
template <typename F>
bool BeginItemEx(const char* label_id, const F& fitter, ImPlotItemFlags flags = 0, ImPlotCol recolor_from = IMPLOT_AUTO)
{
    if (!BeginItem(label_id, flags, recolor_from))
        return false;
    ImPlotPlot& plot = *GetCurrentPlot();
    if (plot.FitThisFrame && (flags & ImPlotItemFlags_NoFit) == 0)
        fitter.Fit(plot.XAxis, plot.YAxis);
    return true;
}

//-----------------------------------------------------------------------------
// Renderers and the primitive loop
//-----------------------------------------------------------------------------

// A renderer draws Prims primitives of IdxConsumed indices and VtxConsumed vertices each.
// Init runs before the first primitive; Render returns false for a primitive it culled (nothing written).
struct RendererBase
{
    RendererBase(int prims, int idx_consumed, int vtx_consumed)
        : Prims((unsigned int)(prims > 0 ? prims : 0)), IdxConsumed((unsigned int)idx_consumed),
          VtxConsumed((unsigned int)vtx_consumed)
    {}
    const unsigned int Prims;
    Transformer2 Transformer;
    const unsigned int IdxConsumed;
    const unsigned int VtxConsumed;
};

// Touching counts as overlapping: what lies on the cull rectangle's edge is drawn.
inline bool RectsOverlap(const ImVec2& mn, const ImVec2& mx, const ImRect& cull)
{
    return mn.y <= cull.Max.y && mx.y >= cull.Min.y && mn.x <= cull.Max.x && mx.x >= cull.Min.x;
}

// The intersection of the line through a1, a2 with the line through b1, b2.
inline ImVec2 Intersection(const ImVec2& a1, const ImVec2& a2, const ImVec2& b1, const ImVec2& b2)
{
    float v1 = (a1.x * a2.y - a1.y * a2.x);
    float v2 = (b1.x * b2.y - b1.y * b2.x);
    float v3 = ((a1.x - a2.x) * (b1.y - b2.y) - (a1.y - a2.y) * (b1.x - b2.x));
    return ImVec2((v1 * (b1.x - b2.x) - v2 * (a1.x - a2.x)) / v3, (v1 * (b1.y - b2.y) - v2 * (a1.y - a2.y)) / v3);
}

// Writes line segments as the draw list asks: without anti-aliasing one plain quad of the line's
// weight; with it, a quad textured with the atlas's baked anti-aliased line (whole weights), or
// a quad with a transparent one-pixel fringe on each side (other weights).
struct LineWriter
{
    enum Mode
    {
        Plain,
        Textured,
        Fringed
    };
    LineWriter(const ImDrawList& dl, ImU32 col, float weight)
    {
        const float w = ImMax(1.0f, weight);
        const int whole = (int)w;
        Col = col;
        ColFringe = col & ~IM_COL32_A_MASK;
        UV0 = UV1 = dl._Data->TexUvWhitePixel;
        HalfCore = HalfOuter = w * 0.5f;
        if ((dl.Flags & ImDrawListFlags_AntiAliasedLines) == 0)
            LineMode = Plain;
        else if ((dl.Flags & ImDrawListFlags_AntiAliasedLinesUseTex) != 0 && dl._Data->TexUvLines != nullptr &&
                 (float)whole == w && whole < IM_DRAWLIST_TEX_LINES_WIDTH_MAX)
        {
            // The baked line is w texels with a transparent texel on each side.
            LineMode = Textured;
            const ImVec4 uv = dl._Data->TexUvLines[whole];
            UV0 = ImVec2(uv.x, uv.y);
            UV1 = ImVec2(uv.z, uv.w);
            HalfOuter = w * 0.5f + 1.0f;
        }
        else
        {
            LineMode = Fringed;
            HalfCore = (w - 1.0f) * 0.5f;
            HalfOuter = HalfCore + 1.0f;
        }
        VtxCount = LineMode == Fringed ? 8 : 4;
        IdxCount = LineMode == Fringed ? 18 : 6;
    }

    // True when the segment, with its width, touches the cull rectangle.
    bool Visible(const ImVec2& p1, const ImVec2& p2, const ImRect& cull) const
    {
        const ImVec2 mn = ImMin(p1, p2), mx = ImMax(p1, p2);
        return RectsOverlap(ImVec2(mn.x - HalfOuter, mn.y - HalfOuter), ImVec2(mx.x + HalfOuter, mx.y + HalfOuter),
                            cull);
    }

    void Write(ImDrawList& dl, ImVec2 p1, ImVec2 p2) const
    {
        float dx = p2.x - p1.x, dy = p2.y - p1.y;
        const float len2 = dx * dx + dy * dy;
        if (len2 > 0.0f)
        {
            const float inv = 1.0f / sqrtf(len2);
            dx *= inv;
            dy *= inv;
        }
        else
        {
            // A zero-length segment still shows, as a square dot of the line's width.
            dx = 1.0f;
            dy = 0.0f;
            p1.x -= HalfCore;
            p2.x += HalfCore;
        }
        // n is the unit normal; vertices go from the +n side to the -n side at p1, then at p2.
        const ImVec2 n(dy, -dx);
        ImDrawVert* v = dl._VtxWritePtr;
        ImDrawIdx* idx = dl._IdxWritePtr;
        const unsigned int i0 = dl._VtxCurrentIdx;
        if (LineMode == Fringed)
        {
            const float offsets[4] = {HalfOuter, HalfCore, -HalfCore, -HalfOuter};
            const ImU32 cols[4] = {ColFringe, Col, Col, ColFringe};
            for (int e = 0; e < 2; ++e)
            {
                const ImVec2& p = e == 0 ? p1 : p2;
                for (int k = 0; k < 4; ++k)
                {
                    v[e * 4 + k].pos = ImVec2(p.x + n.x * offsets[k], p.y + n.y * offsets[k]);
                    v[e * 4 + k].uv = UV0;
                    v[e * 4 + k].col = cols[k];
                }
            }
            // Three quads across the line: fringe, core, fringe.
            for (unsigned int k = 0; k < 3; ++k)
            {
                idx[k * 6 + 0] = (ImDrawIdx)(i0 + k);
                idx[k * 6 + 1] = (ImDrawIdx)(i0 + k + 1);
                idx[k * 6 + 2] = (ImDrawIdx)(i0 + 4 + k + 1);
                idx[k * 6 + 3] = (ImDrawIdx)(i0 + k);
                idx[k * 6 + 4] = (ImDrawIdx)(i0 + 4 + k + 1);
                idx[k * 6 + 5] = (ImDrawIdx)(i0 + 4 + k);
            }
        }
        else
        {
            const ImVec2 o(n.x * HalfOuter, n.y * HalfOuter);
            v[0].pos = ImVec2(p1.x + o.x, p1.y + o.y);
            v[1].pos = ImVec2(p1.x - o.x, p1.y - o.y);
            v[2].pos = ImVec2(p2.x - o.x, p2.y - o.y);
            v[3].pos = ImVec2(p2.x + o.x, p2.y + o.y);
            v[0].uv = v[3].uv = UV0;
            v[1].uv = v[2].uv = UV1;
            for (int k = 0; k < 4; ++k)
                v[k].col = Col;
            idx[0] = (ImDrawIdx)(i0);
            idx[1] = (ImDrawIdx)(i0 + 1);
            idx[2] = (ImDrawIdx)(i0 + 2);
            idx[3] = (ImDrawIdx)(i0);
            idx[4] = (ImDrawIdx)(i0 + 2);
            idx[5] = (ImDrawIdx)(i0 + 3);
        }
        dl._VtxWritePtr += VtxCount;
        dl._IdxWritePtr += IdxCount;
        dl._VtxCurrentIdx += VtxCount;
    }

    Mode LineMode;
    ImU32 Col, ColFringe;
    ImVec2 UV0, UV1;
    float HalfCore, HalfOuter; // half widths of the opaque core and of the whole quad
    unsigned int VtxCount, IdxCount;
};

// A polyline through the getter's points, one segment per pair of points, no NaN skipping.
template <class G> struct RendererLineStrip : RendererBase
{
    RendererLineStrip(const G& getter, const LineWriter& writer)
        : RendererBase(getter.Count - 1, (int)writer.IdxCount, (int)writer.VtxCount), Getter(getter), Writer(writer)
    {
        P1 = getter.Count > 0 ? this->Transformer(Getter(0)) : ImVec2(0, 0);
    }
    void Init(ImDrawList&) const {}
    bool Render(ImDrawList& dl, const ImRect& cull_rect, int prim) const
    {
        ImVec2 P2 = this->Transformer(Getter(prim + 1));
        if (!Writer.Visible(P1, P2, cull_rect))
        {
            P1 = P2;
            return false;
        }
        Writer.Write(dl, P1, P2);
        P1 = P2;
        return true;
    }
    const G& Getter;
    const LineWriter& Writer;
    mutable ImVec2 P1;
};

// A polyline through points already in pixels (the reduced line).
struct RendererLineStripPixels : RendererBase
{
    RendererLineStripPixels(const ImVec2* points, int count, const LineWriter& writer)
        : RendererBase(count - 1, (int)writer.IdxCount, (int)writer.VtxCount), Points(points), Writer(writer)
    {}
    void Init(ImDrawList&) const {}
    bool Render(ImDrawList& dl, const ImRect& cull_rect, int prim) const
    {
        const ImVec2& p1 = Points[prim];
        const ImVec2& p2 = Points[prim + 1];
        if (!Writer.Visible(p1, p2, cull_rect))
            return false;
        Writer.Write(dl, p1, p2);
        return true;
    }
    const ImVec2* Points;
    const LineWriter& Writer;
};

// Writes one shaded quad: five vertices (P11, P21, crossing, P12, P22) and two triangles, the
// second pair of corners swapped through the crossing vertex when the curves cross.
inline void WriteShadedQuad(ImDrawList& dl, const ImVec2 (&pos)[5], const ImU32 (&col)[5], ImVec2 uv, int crossing)
{
    for (int i = 0; i < 5; ++i)
    {
        dl._VtxWritePtr[i].pos = pos[i];
        dl._VtxWritePtr[i].uv = uv;
        dl._VtxWritePtr[i].col = col[i];
    }
    dl._VtxWritePtr += 5;
    const unsigned int i0 = dl._VtxCurrentIdx;
    dl._IdxWritePtr[0] = (ImDrawIdx)(i0);
    dl._IdxWritePtr[1] = (ImDrawIdx)(i0 + 1 + crossing);
    dl._IdxWritePtr[2] = (ImDrawIdx)(i0 + 3);
    dl._IdxWritePtr[3] = (ImDrawIdx)(i0 + 1);
    dl._IdxWritePtr[4] = (ImDrawIdx)(i0 + 4);
    dl._IdxWritePtr[5] = (ImDrawIdx)(i0 + 3 - crossing);
    dl._IdxWritePtr += 6;
    dl._VtxCurrentIdx += 5;
}

// The quads between two curves; a quad in which the curves cross is split at the crossing.
template <class G1, class G2> struct RendererShaded : RendererBase
{
    RendererShaded(const G1& getter1, const G2& getter2, ImU32 col)
        : RendererBase(ImMin(getter1.Count, getter2.Count) - 1, 6, 5), Getter1(getter1), Getter2(getter2), Col(col)
    {
        P11 = getter1.Count > 0 ? this->Transformer(Getter1(0)) : ImVec2(0, 0);
        P12 = getter2.Count > 0 ? this->Transformer(Getter2(0)) : ImVec2(0, 0);
    }
    void Init(ImDrawList& dl) const { UV = dl._Data->TexUvWhitePixel; }
    bool Render(ImDrawList& dl, const ImRect& cull_rect, int prim) const
    {
        ImVec2 P21 = this->Transformer(Getter1(prim + 1));
        ImVec2 P22 = this->Transformer(Getter2(prim + 1));
        ImRect rect(ImMin(ImMin(ImMin(P11, P12), P21), P22), ImMax(ImMax(ImMax(P11, P12), P21), P22));
        if (!RectsOverlap(rect.Min, rect.Max, cull_rect))
        {
            P11 = P21;
            P12 = P22;
            return false;
        }
        const int intersect = (P11.y > P12.y && P22.y > P21.y) || (P12.y > P11.y && P21.y > P22.y);
        ImVec2 intersection = intersect == 0 ? ImVec2(0, 0) : Intersection(P11, P21, P12, P22);
        const ImVec2 pos[5] = {P11, P21, intersection, P12, P22};
        const ImU32 col[5] = {Col, Col, Col, Col, Col};
        WriteShadedQuad(dl, pos, col, UV, intersect);
        P11 = P21;
        P12 = P22;
        return true;
    }
    const G1& Getter1;
    const G2& Getter2;
    const ImU32 Col;
    mutable ImVec2 P11, P12;
    mutable ImVec2 UV;
};

// Largest vertex index of one draw command with 16-bit indices.
constexpr unsigned int MaxIdx16 = 65535;

// Runs the renderer's primitives into space reserved on the draw list in batches that fit the
// 16-bit index range. Space reserved for culled primitives is reused by later ones and returned
// at the end.
template <class R> void RenderPrimitivesEx(const R& renderer, ImDrawList& draw_list, const ImRect& cull_rect)
{
    unsigned int prims = renderer.Prims;
    unsigned int prims_culled = 0;
    unsigned int idx = 0;
    renderer.Init(draw_list);
    while (prims)
    {
        const unsigned int room = draw_list._VtxCurrentIdx < MaxIdx16 ? MaxIdx16 - draw_list._VtxCurrentIdx : 0;
        unsigned int cnt = ImMin(prims, room / renderer.VtxConsumed);
        if (cnt >= ImMin(64u, prims))
        {
            if (prims_culled >= cnt)
                prims_culled -= cnt;
            else
            {
                draw_list.PrimReserve((int)((cnt - prims_culled) * renderer.IdxConsumed),
                                      (int)((cnt - prims_culled) * renderer.VtxConsumed));
                prims_culled = 0;
            }
        }
        else
        {
            if (prims_culled > 0)
            {
                draw_list.PrimUnreserve((int)(prims_culled * renderer.IdxConsumed),
                                        (int)(prims_culled * renderer.VtxConsumed));
                prims_culled = 0;
            }
            cnt = ImMin(prims, MaxIdx16 / renderer.VtxConsumed);
            draw_list.PrimReserve((int)(cnt * renderer.IdxConsumed), (int)(cnt * renderer.VtxConsumed));
        }
        prims -= cnt;
        for (unsigned int ie = idx + cnt; idx != ie; ++idx)
        {
            if (!renderer.Render(draw_list, cull_rect, (int)idx))
                prims_culled++;
        }
    }
    if (prims_culled > 0)
        draw_list.PrimUnreserve((int)(prims_culled * renderer.IdxConsumed), (int)(prims_culled * renderer.VtxConsumed));
}

template <template <class> class R, class G, typename... Args> void RenderPrimitives1(const G& getter, Args... args)
{
    ImPlotPlot& plot = *GetCurrentPlot();
    RenderPrimitivesEx(R<G>(getter, args...), *plot.DrawList, plot.PlotRect);
}

template <template <class, class> class R, class G1, class G2, typename... Args>
void RenderPrimitives2(const G1& getter1, const G2& getter2, Args... args)
{
    ImPlotPlot& plot = *GetCurrentPlot();
    RenderPrimitivesEx(R<G1, G2>(getter1, getter2, args...), *plot.DrawList, plot.PlotRect);
}

//-----------------------------------------------------------------------------
// Line reduction
//-----------------------------------------------------------------------------

// Reduces a run of points to what each pixel column shows: for every run of consecutive points in
// the same column (floor of pixel x), the first, the one with the smallest and the one with the
// largest pixel y (in index order) and the last. The polyline through the result covers the same
// pixels as the polyline through every point. Points with a non-finite coordinate are kept as they
// are. point_at(i) gives point i in pixels; out has room for count points and may be the array
// point_at reads (a run is written only after it has been read). Returns the number written.
template <class PointAt> int ReduceColumnsEx(int count, const PointAt& point_at, ImVec2* out)
{
    int n = 0;
    int i = 0;
    ImVec2 next = count > 0 ? point_at(0) : ImVec2(0, 0);
    while (i < count)
    {
        const ImVec2 first = next;
        if (!(isfinite(first.x) && isfinite(first.y)))
        {
            out[n++] = first;
            if (++i < count)
                next = point_at(i);
            continue;
        }
        const float column = floorf(first.x);
        ImVec2 pmin = first, pmax = first, last = first;
        int imin = i, imax = i, ilast = i;
        int j = i + 1;
        for (; j < count; ++j)
        {
            next = point_at(j);
            if (!(isfinite(next.x) && isfinite(next.y)) || floorf(next.x) != column)
                break;
            if (next.y < pmin.y)
            {
                pmin = next;
                imin = j;
            }
            if (next.y > pmax.y)
            {
                pmax = next;
                imax = j;
            }
            last = next;
            ilast = j;
        }
        const bool min_first = imin < imax;
        const int ia = min_first ? imin : imax, ib = min_first ? imax : imin;
        const ImVec2 pa = min_first ? pmin : pmax, pb = min_first ? pmax : pmin;
        out[n++] = first;
        if (ia != i && ia != ilast)
            out[n++] = pa;
        if (ib != i && ib != ilast && ib != ia)
            out[n++] = pb;
        if (ilast != i)
            out[n++] = last;
        i = j;
    }
    return n;
}

// ReduceColumnsEx over an array of pixel positions.
int ReducePixelColumns(const ImVec2* points, int count, ImVec2* out);

// Transforms the getter's points to pixels and reduces them into out, in one pass.
template <class G> void ReduceLine(const G& getter, const Transformer2& transformer, ImVector<ImVec2>& out)
{
    out.resize(getter.Count);
    out.resize(ReduceColumnsEx(
        getter.Count, [&](int i) { return transformer(getter(i)); }, out.Data));
}

// Draws a line through the getter's points with the item's line colour and weight, anti-aliased
// when the draw list asks for it: reduced per pixel column when the context says so, else one
// segment per pair of points.
template <class G> void RenderLineReduced(const G& getter, ImU32 col, float weight)
{
    ImPlotContext& gp = *GetCurrentContext();
    ImPlotPlot& plot = *GetCurrentPlot();
    if (getter.Count < 2)
        return;
    const LineWriter writer(*plot.DrawList, col, weight);
    if (gp.ReduceLines)
    {
        ReduceLine(getter, Transformer2(), gp.ReducedPoints);
        RenderPrimitivesEx(RendererLineStripPixels(gp.ReducedPoints.Data, gp.ReducedPoints.Size, writer),
                           *plot.DrawList, plot.PlotRect);
    }
    else
    {
        RenderPrimitivesEx(RendererLineStrip<G>(getter, writer), *plot.DrawList, plot.PlotRect);
    }
}

// Text drawn rotated a quarter turn counter-clockwise, reading bottom to top, starting at pos.
void AddTextVertical(ImDrawList* draw_list, ImVec2 pos, ImU32 col, const char* text_begin,
                     const char* text_end = nullptr);

} // namespace ImPlot
