// The plotting layer: contexts, style, plots with their axes, ticks, grid, legend and input.
#include "plot/implot_internal.h"

#include <float.h>
#include <initializer_list>
#include <stdio.h>
#include <string.h>

static ImPlotContext* GImPlot = nullptr;

ImPlotStyle::ImPlotStyle()
{
    LineWeight = 1.0f;
    FillAlpha = 1.0f;
    PlotBorderSize = 1.0f;
    MinorAlpha = 0.25f;
    MajorTickLen = ImVec2(10, 10);
    MinorTickLen = ImVec2(5, 5);
    MajorTickSize = ImVec2(1, 1);
    MinorTickSize = ImVec2(1, 1);
    MajorGridSize = ImVec2(1, 1);
    MinorGridSize = ImVec2(1, 1);
    PlotPadding = ImVec2(10, 10);
    LabelPadding = ImVec2(5, 5);
    LegendPadding = ImVec2(10, 10);
    LegendInnerPadding = ImVec2(5, 5);
    LegendSpacing = ImVec2(5, 0);
    FitPadding = ImVec2(0, 0);
    PlotDefaultSize = ImVec2(400, 300);
    PlotMinSize = ImVec2(200, 150);
    ImPlot::StyleColorsAuto(this);
}

void ImPlotAxis::SetRange(double v_min, double v_max)
{
    if (!isfinite(v_min) || !isfinite(v_max))
        return;
    if (v_min > v_max)
    {
        double t = v_min;
        v_min = v_max;
        v_max = t;
    }
    // Keep a span the pixel transform can resolve.
    const double min_span = ImMax(1e-12, ImMax(fabs(v_min), fabs(v_max)) * 1e-12);
    if (v_max - v_min < min_span)
    {
        const double mid = 0.5 * (v_min + v_max);
        v_min = mid - min_span * 0.5;
        v_max = mid + min_span * 0.5;
    }
    Range.Min = v_min;
    Range.Max = v_max;
}

void ImPlotAxis::ApplyFit(float padding)
{
    if (FitExtents.Min > FitExtents.Max)
        return; // nothing was fitted
    double lo = FitExtents.Min, hi = FitExtents.Max;
    if (lo == hi)
    {
        lo -= 0.5;
        hi += 0.5;
    }
    const double pad = (hi - lo) * (double)padding * 0.5;
    SetRange(lo - pad, hi + pad);
}

namespace ImPlot
{

//-----------------------------------------------------------------------------
// Context
//-----------------------------------------------------------------------------

ImPlotContext* CreateContext()
{
    ImPlotContext* ctx = IM_NEW(ImPlotContext)();
    if (GImPlot == nullptr)
        SetCurrentContext(ctx);
    return ctx;
}

void DestroyContext(ImPlotContext* ctx)
{
    if (ctx == nullptr)
        ctx = GImPlot;
    if (ctx == nullptr)
        return;
    if (GImPlot == ctx)
        SetCurrentContext(nullptr);
    IM_DELETE(ctx);
}

ImPlotContext* GetCurrentContext() { return GImPlot; }

void SetCurrentContext(ImPlotContext* ctx) { GImPlot = ctx; }

ImPlotPlot* GetCurrentPlot() { return GImPlot ? GImPlot->CurrentPlot : nullptr; }

ImPlotItem* GetCurrentItem() { return GImPlot ? GImPlot->CurrentItem : nullptr; }

ImPlotItem* GetItem(const char* label_id)
{
    ImPlotPlot* plot = GetCurrentPlot();
    if (plot == nullptr)
        return nullptr;
    return plot->Items.GetByKey(ImHashStr(label_id, 0, plot->ID));
}

//-----------------------------------------------------------------------------
// Colours and style
//-----------------------------------------------------------------------------

bool IsColorAuto(const ImVec4& col) { return col.w == -1.0f; }

// Automatic item colours, taken in turn by the items of a plot.
static const ImU32 AutoItemColors[] = {
    IM_COL32(76, 114, 176, 255),  IM_COL32(221, 132, 82, 255),  IM_COL32(85, 168, 104, 255),
    IM_COL32(196, 78, 82, 255),   IM_COL32(129, 114, 179, 255), IM_COL32(147, 120, 96, 255),
    IM_COL32(218, 139, 195, 255), IM_COL32(140, 140, 140, 255), IM_COL32(204, 185, 116, 255),
    IM_COL32(100, 181, 205, 255),
};

ImU32 GetColormapColorU32(int idx)
{
    const int n = (int)(sizeof(AutoItemColors) / sizeof(AutoItemColors[0]));
    return AutoItemColors[PosMod(idx, n)];
}

ImVec4 GetAutoColor(ImPlotCol idx)
{
    const ImGuiStyle& s = ImGui::GetStyle();
    switch (idx)
    {
    case ImPlotCol_Line:
    case ImPlotCol_Fill:
    case ImPlotCol_MarkerOutline:
    case ImPlotCol_MarkerFill:
    case ImPlotCol_ErrorBar:
    case ImPlotCol_LegendText:
    case ImPlotCol_TitleText:
    case ImPlotCol_InlayText:
    case ImPlotCol_AxisText: return s.Colors[ImGuiCol_Text];
    case ImPlotCol_FrameBg: return s.Colors[ImGuiCol_FrameBg];
    case ImPlotCol_PlotBg: return s.Colors[ImGuiCol_WindowBg];
    case ImPlotCol_PlotBorder:
    case ImPlotCol_LegendBorder: return s.Colors[ImGuiCol_Border];
    case ImPlotCol_LegendBg: return s.Colors[ImGuiCol_PopupBg];
    case ImPlotCol_AxisGrid:
    {
        ImVec4 c = s.Colors[ImGuiCol_Text];
        c.w *= 0.25f;
        return c;
    }
    case ImPlotCol_AxisTick: return GetStyleColorVec4(ImPlotCol_AxisGrid);
    case ImPlotCol_AxisBg: return ImVec4(0, 0, 0, 0);
    case ImPlotCol_AxisBgHovered: return s.Colors[ImGuiCol_ButtonHovered];
    case ImPlotCol_AxisBgActive: return s.Colors[ImGuiCol_ButtonActive];
    case ImPlotCol_Selection: return ImVec4(1, 1, 0, 1);
    case ImPlotCol_Crosshairs: return GetStyleColorVec4(ImPlotCol_PlotBorder);
    default: return s.Colors[ImGuiCol_Text];
    }
}

ImVec4 GetStyleColorVec4(ImPlotCol idx)
{
    const ImVec4& c = GetStyle().Colors[idx];
    return IsColorAuto(c) ? GetAutoColor(idx) : c;
}

static ImU32 GetStyleColorU32(ImPlotCol idx) { return ImGui::GetColorU32(GetStyleColorVec4(idx)); }

ImPlotStyle& GetStyle()
{
    IM_ASSERT(GImPlot != nullptr && "No current ImPlot context");
    return GImPlot->Style;
}

void StyleColorsAuto(ImPlotStyle* dst)
{
    ImPlotStyle* style = dst ? dst : &GetStyle();
    for (int i = 0; i < ImPlotCol_COUNT; ++i)
        style->Colors[i] = IMPLOT_AUTO_COL;
    style->MinorAlpha = 0.25f;
}

void PushStyleColor(ImPlotCol idx, ImU32 col) { PushStyleColor(idx, ImGui::ColorConvertU32ToFloat4(col)); }

void PushStyleColor(ImPlotCol idx, const ImVec4& col)
{
    ImPlotContext& gp = *GImPlot;
    ImPlotColorMod backup;
    backup.Col = idx;
    backup.BackupValue = gp.Style.Colors[idx];
    gp.ColorModifiers.push_back(backup);
    gp.Style.Colors[idx] = col;
}

void PopStyleColor(int count)
{
    ImPlotContext& gp = *GImPlot;
    IM_ASSERT(count <= gp.ColorModifiers.Size && "PopStyleColor() called more times than PushStyleColor()");
    count = ImMin(count, gp.ColorModifiers.Size);
    while (count-- > 0)
    {
        ImPlotColorMod& backup = gp.ColorModifiers.back();
        gp.Style.Colors[backup.Col] = backup.BackupValue;
        gp.ColorModifiers.pop_back();
    }
}

// Where each style variable lives and how many floats it has.
struct StyleVarInfo
{
    int Count;
    size_t Offset;
};

static const StyleVarInfo StyleVarInfos[ImPlotStyleVar_COUNT] = {
    {1, offsetof(ImPlotStyle, LineWeight)},      {1, offsetof(ImPlotStyle, FillAlpha)},
    {1, offsetof(ImPlotStyle, PlotBorderSize)},  {1, offsetof(ImPlotStyle, MinorAlpha)},
    {2, offsetof(ImPlotStyle, MajorTickLen)},    {2, offsetof(ImPlotStyle, MinorTickLen)},
    {2, offsetof(ImPlotStyle, MajorTickSize)},   {2, offsetof(ImPlotStyle, MinorTickSize)},
    {2, offsetof(ImPlotStyle, MajorGridSize)},   {2, offsetof(ImPlotStyle, MinorGridSize)},
    {2, offsetof(ImPlotStyle, PlotPadding)},     {2, offsetof(ImPlotStyle, LabelPadding)},
    {2, offsetof(ImPlotStyle, LegendPadding)},   {2, offsetof(ImPlotStyle, LegendInnerPadding)},
    {2, offsetof(ImPlotStyle, LegendSpacing)},   {2, offsetof(ImPlotStyle, FitPadding)},
    {2, offsetof(ImPlotStyle, PlotDefaultSize)}, {2, offsetof(ImPlotStyle, PlotMinSize)},
};

static float* StyleVarPtr(ImPlotStyleVar idx)
{
    return (float*)(void*)((unsigned char*)&GetStyle() + StyleVarInfos[idx].Offset);
}

static void PushStyleVarFloats(ImPlotStyleVar idx, int count, float v0, float v1)
{
    IM_ASSERT(idx >= 0 && idx < ImPlotStyleVar_COUNT);
    const StyleVarInfo& info = StyleVarInfos[idx];
    IM_ASSERT(info.Count == count && "Style variable pushed with the wrong type");
    if (info.Count != count)
        return;
    float* p = StyleVarPtr(idx);
    ImPlotStyleMod backup;
    backup.VarIdx = idx;
    backup.BackupFloat[0] = p[0];
    backup.BackupFloat[1] = count == 2 ? p[1] : 0.0f;
    GImPlot->StyleModifiers.push_back(backup);
    p[0] = v0;
    if (count == 2)
        p[1] = v1;
}

void PushStyleVar(ImPlotStyleVar idx, float val) { PushStyleVarFloats(idx, 1, val, 0.0f); }

void PushStyleVar(ImPlotStyleVar idx, int val) { PushStyleVarFloats(idx, 1, (float)val, 0.0f); }

void PushStyleVar(ImPlotStyleVar idx, const ImVec2& val) { PushStyleVarFloats(idx, 2, val.x, val.y); }

void PopStyleVar(int count)
{
    ImPlotContext& gp = *GImPlot;
    IM_ASSERT(count <= gp.StyleModifiers.Size && "PopStyleVar() called more times than PushStyleVar()");
    count = ImMin(count, gp.StyleModifiers.Size);
    while (count-- > 0)
    {
        ImPlotStyleMod& backup = gp.StyleModifiers.back();
        float* p = StyleVarPtr(backup.VarIdx);
        p[0] = backup.BackupFloat[0];
        if (StyleVarInfos[backup.VarIdx].Count == 2)
            p[1] = backup.BackupFloat[1];
        gp.StyleModifiers.pop_back();
    }
}

//-----------------------------------------------------------------------------
// Ticks
//-----------------------------------------------------------------------------

double NiceTickStep(double span, int target_count)
{
    if (!(span > 0.0) || !isfinite(span))
        return 1.0;
    const double raw = span / (double)ImMax(1, target_count - 1);
    const double mag = pow(10.0, floor(log10(raw)));
    const double frac = raw / mag;
    double nice;
    if (frac < 1.5)
        nice = 1.0;
    else if (frac < 3.0)
        nice = 2.0;
    else if (frac < 7.0)
        nice = 5.0;
    else
        nice = 10.0;
    return nice * mag;
}

double NiceStepAtLeast(double v)
{
    if (!(v > 0.0) || !isfinite(v))
        return 1.0;
    const double mag = pow(10.0, floor(log10(v)));
    const double f = v / mag;
    const double lead = f <= 1.0 + 1e-9 ? 1.0 : f <= 2.0 + 1e-9 ? 2.0 : f <= 5.0 + 1e-9 ? 5.0 : 10.0;
    return lead * mag;
}

// The next 1-2-5 step below step.
static double SmallerNiceStep(double step)
{
    const double mag = pow(10.0, floor(log10(step) + 1e-9));
    const double lead = step / mag;
    return lead < 1.5 ? 0.5 * mag : lead < 3.0 ? mag : 2.0 * mag;
}

// Multiples of step inside range.
static int MajorTickCount(const ImPlotRange& range, double step)
{
    return (int)(floor(range.Max / step + 1e-9) - ceil(range.Min / step - 1e-9)) + 1;
}

static int TickDigits(double step) { return ImMax(0, (int)-floor(log10(step) + 1e-9)); }

// A tick label: plain decimals for everyday magnitudes, otherwise exponent notation with just
// enough digits to tell the ticks of this range apart (3e+38 rather than forty digits).
static void FormatTickLabel(char* buf, size_t size, double v, double step, const ImPlotRange& range)
{
    const double largest = ImMax(fabs(range.Min), fabs(range.Max));
    if (largest < 1e7 && TickDigits(step) <= 6)
    {
        snprintf(buf, size, "%.*f", TickDigits(step), v);
        return;
    }
    const int digits = (int)floor(log10(ImMax(largest, step)) + 1e-9) - (int)floor(log10(step) + 1e-9) + 1;
    snprintf(buf, size, "%.*g", ImClamp(digits, 1, 17), v);
}

void CalcTicksWithStep(const ImPlotRange& range, double step, ImPlotTicker& ticker)
{
    ticker.Reset();
    const double span = range.Size();
    if (!(span > 0.0) || !isfinite(span) || !(step > 0.0) || !isfinite(step))
        return;
    // Minor ticks split a step of 1 or 5 (times a power of ten) into 5, one of 2 into 4.
    const double mag = pow(10.0, floor(log10(step) + 1e-9));
    const double lead = step / mag;
    const int minor_div = (lead > 1.5 && lead < 3.0) ? 4 : 5;
    const double minor = step / minor_div;
    const double first = ceil(range.Min / step - 1e-9) * step;
    // Begin one step early so that the minor ticks below the first major one are covered.
    for (int n = -1; n < 1000; ++n)
    {
        const double major = first + n * step;
        if (major > range.Max + step * 1e-9)
            break;
        if (n >= 0)
        {
            ImPlotTick t;
            t.PlotPos = fabs(major) < step * 1e-9 ? 0.0 : major;
            t.Major = true;
            t.LabelOffset = ticker.Labels.size();
            char buf[64];
            FormatTickLabel(buf, sizeof(buf), t.PlotPos, step, range);
            ticker.Labels.append(buf, buf + strlen(buf) + 1);
            t.LabelSize = (GImGui != nullptr && GImGui->Font != nullptr) ? ImGui::CalcTextSize(buf) : ImVec2(0, 0);
            ticker.MaxSize = ImMax(ticker.MaxSize, t.LabelSize);
            ticker.Ticks.push_back(t);
        }
        for (int m = 1; m < minor_div; ++m)
        {
            const double v = major + m * minor;
            if (v < range.Min || v > range.Max)
                continue;
            ImPlotTick t;
            t.PlotPos = v;
            t.Major = false;
            t.LabelOffset = -1;
            t.LabelSize = ImVec2(0, 0);
            ticker.Ticks.push_back(t);
        }
    }
}

void CalcTicks(const ImPlotRange& range, int target_count, ImPlotTicker& ticker)
{
    CalcTicksWithStep(range, NiceTickStep(range.Size(), target_count), ticker);
}

// The tick step for an axis of the given length in pixels: labels about preferred pixels apart,
// never closer than min_spacing(step), and at least three labelled ticks where they fit.
template <class MinSpacing>
static double ChooseTickStep(const ImPlotRange& range, float pixels, float preferred, const MinSpacing& min_spacing)
{
    const double span = range.Size();
    if (!(span > 0.0) || !isfinite(span) || !(pixels > 0.0f))
        return NiceStepAtLeast(span);
    const double per_px = span / (double)pixels;
    double step = NiceStepAtLeast(per_px * preferred);
    for (int i = 0; i < 64 && step / per_px < min_spacing(step); ++i)
        step = NiceStepAtLeast(step * 1.01);
    for (int i = 0; i < 64 && MajorTickCount(range, step) < 3; ++i)
    {
        const double smaller = SmallerNiceStep(step);
        if (smaller / per_px < min_spacing(smaller))
            break;
        step = smaller;
    }
    return step;
}

void CalcAxisTicks(const ImPlotAxis& axis, ImPlotTicker& ticker)
{
    const float pixels = fabsf(axis.PixelMax - axis.PixelMin);
    const bool has_font = GImGui != nullptr && GImGui->Font != nullptr;
    const float txt_h = has_font ? ImGui::GetTextLineHeight() : 13.0f;
    double step;
    if (axis.Vertical)
    {
        // Labels are a line high and stacked: half a line between them at least.
        step = ChooseTickStep(axis.Range, pixels, txt_h * 4.0f, [&](double) { return txt_h * 1.5f; });
    }
    else
    {
        // Labels side by side: the widest (at an end of the range) and a gap of two item spacings.
        const float gap = has_font ? 2.0f * ImGui::GetStyle().ItemSpacing.x : 16.0f;
        step = ChooseTickStep(axis.Range, pixels, 100.0f, [&](double s) {
            if (!has_font)
                return 8.0f * 8.0f + gap;
            float widest = 0.0f;
            for (double v : {axis.Range.Min, axis.Range.Max})
            {
                char buf[64];
                FormatTickLabel(buf, sizeof(buf), round(v / s) * s, s, axis.Range);
                widest = ImMax(widest, ImGui::CalcTextSize(buf).x);
            }
            return widest + gap;
        });
    }
    CalcTicksWithStep(axis.Range, step, ticker);
}

//-----------------------------------------------------------------------------
// Plots
//-----------------------------------------------------------------------------

static int AppendText(ImGuiTextBuffer& buf, const char* text, const char* text_end)
{
    // Pieces stay separated by their terminators: the next append starts after this one's.
    int offset = buf.size();
    buf.append(text, text_end);
    buf.Buf.push_back(0);
    return offset;
}

bool BeginPlot(const char* title_id, const ImVec2& size, ImPlotFlags flags)
{
    IM_ASSERT(GImPlot != nullptr && "No current ImPlot context: call ImPlot::CreateContext()");
    ImPlotContext& gp = *GImPlot;
    IM_ASSERT(gp.CurrentPlot == nullptr && "BeginPlot() inside another plot");
    ImGuiContext& g = *GImGui;
    ImGuiWindow* window = g.CurrentWindow;
    if (window->SkipItems)
        return false;

    const ImGuiID id = window->GetID(title_id);
    const bool just_created = gp.Plots.GetByKey(id) == nullptr;
    ImPlotPlot& plot = *gp.Plots.GetOrAddByKey(id);
    plot.ID = id;
    plot.JustCreated = just_created;
    plot.Flags = flags;
    plot.SetupLocked = false;
    plot.XAxis.Vertical = false;
    plot.YAxis.Vertical = true;
    for (ImPlotAxis* axis : {&plot.XAxis, &plot.YAxis})
    {
        axis->PreviousFlags = axis->Flags;
        axis->Flags = 0;
        axis->HasLabel = false;
        axis->HasRange = false;
        axis->FitThisFrame = false;
    }
    plot.TextBuffer.Buf.shrink(0);
    plot.LegendIndices.shrink(0);
    for (int i = 0; i < plot.Items.GetBufSize(); ++i)
        plot.Items.GetByIndex(i)->SeenThisFrame = false;
    const char* title_end = ImGui::FindRenderedTextEnd(title_id);
    plot.TitleOffset = title_end != title_id ? AppendText(plot.TextBuffer, title_id, title_end) : -1;

    const ImPlotStyle& style = gp.Style;
    ImVec2 frame_size = ImGui::CalcItemSize(size, style.PlotDefaultSize.x, style.PlotDefaultSize.y);
    frame_size = ImMax(frame_size, style.PlotMinSize);
    plot.FrameRect = ImRect(window->DC.CursorPos, window->DC.CursorPos + frame_size);
    ImGui::ItemSize(plot.FrameRect);
    if (!ImGui::ItemAdd(plot.FrameRect, plot.ID, &plot.FrameRect))
        return false;

    plot.DrawList = window->DrawList;
    gp.CurrentPlot = &plot;
    ImGui::PushOverrideID(plot.ID);
    // Drawing outside items (cursor handles, markers) may use the whole frame.
    plot.DrawList->PushClipRect(plot.FrameRect.Min, plot.FrameRect.Max, true);
    return true;
}

void SetupAxis(ImAxis axis_idx, const char* label, ImPlotAxisFlags flags)
{
    ImPlotPlot* plot = GetCurrentPlot();
    IM_ASSERT(plot != nullptr && !plot->SetupLocked && "Setup calls go right after BeginPlot");
    if (plot == nullptr || plot->SetupLocked)
        return;
    ImPlotAxis& axis = axis_idx == ImAxis_Y1 ? plot->YAxis : plot->XAxis;
    axis.Flags = flags;
    axis.HasLabel =
        label != nullptr && ImGui::FindRenderedTextEnd(label) != label && (flags & ImPlotAxisFlags_NoLabel) == 0;
    if (axis.HasLabel)
        axis.LabelOffset = AppendText(plot->TextBuffer, label, ImGui::FindRenderedTextEnd(label));
}

void SetupAxisLimits(ImAxis axis_idx, double v_min, double v_max, ImPlotCond cond)
{
    ImPlotPlot* plot = GetCurrentPlot();
    IM_ASSERT(plot != nullptr && !plot->SetupLocked && "Setup calls go right after BeginPlot");
    if (plot == nullptr || plot->SetupLocked)
        return;
    ImPlotAxis& axis = axis_idx == ImAxis_Y1 ? plot->YAxis : plot->XAxis;
    axis.HasRange = true;
    axis.RangeCond = cond == ImPlotCond_None ? ImPlotCond_Once : cond;
    axis.SetupRange = ImPlotRange(v_min, v_max);
}

void SetupAxes(const char* x_label, const char* y_label, ImPlotAxisFlags x_flags, ImPlotAxisFlags y_flags)
{
    SetupAxis(ImAxis_X1, x_label, x_flags);
    SetupAxis(ImAxis_Y1, y_label, y_flags);
}

void SetupAxesLimits(double x_min, double x_max, double y_min, double y_max, ImPlotCond cond)
{
    SetupAxisLimits(ImAxis_X1, x_min, x_max, cond);
    SetupAxisLimits(ImAxis_Y1, y_min, y_max, cond);
}

void SetupLegend(ImPlotLocation location, ImPlotLegendFlags flags)
{
    ImPlotPlot* plot = GetCurrentPlot();
    IM_ASSERT(plot != nullptr && !plot->SetupLocked && "Setup calls go right after BeginPlot");
    if (plot == nullptr || plot->SetupLocked)
        return;
    plot->LegendLocation = location;
    plot->LegendFlags = flags;
}

static const char* AxisLabel(const ImPlotPlot& plot, const ImPlotAxis& axis)
{
    return axis.HasLabel ? plot.TextBuffer.Buf.Data + axis.LabelOffset : nullptr;
}

static bool ShowTickLabels(const ImPlotAxis& axis) { return (axis.Flags & ImPlotAxisFlags_NoTickLabels) == 0; }

// The axes span the plot rectangle less a margin that puts the ends of their ranges on the centre
// of the first pixel inside the border: auto-fit puts the extremes there, and they stay visible.
static void UpdateAxisPixels(ImPlotPlot& plot)
{
    const ImRect& r = plot.PlotRect;
    const float margin = ImFloor(ImMax(0.0f, GImPlot->Style.PlotBorderSize)) + 0.5f;
    const float mx = ImMin(margin, r.GetWidth() * 0.25f);
    const float my = ImMin(margin, r.GetHeight() * 0.25f);
    plot.XAxis.PixelMin = r.Min.x + mx;
    plot.XAxis.PixelMax = r.Max.x - mx;
    plot.YAxis.PixelMin = r.Max.y - my;
    plot.YAxis.PixelMax = r.Min.y + my;
    plot.XAxis.UpdateTransform();
    plot.YAxis.UpdateTransform();
}

// Ticks of both axes for the current ranges and plot rectangle.
static void UpdateTicks(ImPlotPlot& plot)
{
    CalcAxisTicks(plot.YAxis, plot.YAxis.Ticker);
    CalcAxisTicks(plot.XAxis, plot.XAxis.Ticker);
}

static void HandleInput(ImPlotPlot& plot)
{
    ImGuiIO& io = ImGui::GetIO();
    bool hovered = false, held = false;
    ImGui::ButtonBehavior(plot.PlotRect, plot.ID, &hovered, &held, ImGuiButtonFlags_MouseButtonLeft);
    ImGui::SetItemKeyOwner(ImGuiKey_MouseWheelY);
    const bool over_legend = plot.LegendRect.Contains(io.MousePos);
    if (held && !plot.Held)
        plot.LegendHovered = over_legend; // a press that starts on the legend does not pan
    plot.Held = held;
    plot.Hovered = hovered && !over_legend;
    if ((plot.Flags & ImPlotFlags_NoInputs) != 0)
    {
        plot.Held = false;
        return;
    }
    ImPlotAxis& x = plot.XAxis;
    ImPlotAxis& y = plot.YAxis;
    // Drag to pan.
    if (held && !plot.LegendHovered && (io.MouseDelta.x != 0.0f || io.MouseDelta.y != 0.0f))
    {
        if (!x.IsInputLockedMin() && !x.IsInputLockedMax() && io.MouseDelta.x != 0.0f)
        {
            const double d = (double)io.MouseDelta.x / x.ScaleToPixel;
            x.SetRange(x.Range.Min - d, x.Range.Max - d);
        }
        if (!y.IsInputLockedMin() && !y.IsInputLockedMax() && io.MouseDelta.y != 0.0f)
        {
            const double d = (double)io.MouseDelta.y / y.ScaleToPixel;
            y.SetRange(y.Range.Min - d, y.Range.Max - d);
        }
    }
    // Wheel to zoom about the mouse.
    if (plot.Hovered && io.MouseWheel != 0.0f)
    {
        const double scale = pow(0.9, (double)io.MouseWheel);
        for (ImPlotAxis* axis : {&x, &y})
        {
            const double m = axis->PixelsToPlot(axis->Vertical ? io.MousePos.y : io.MousePos.x);
            const double lo = axis->IsInputLockedMin() ? axis->Range.Min : m - (m - axis->Range.Min) * scale;
            const double hi = axis->IsInputLockedMax() ? axis->Range.Max : m + (axis->Range.Max - m) * scale;
            axis->SetRange(lo, hi);
        }
    }
    // Double-click to fit again.
    if (plot.Hovered && ImGui::IsMouseDoubleClicked(ImGuiMouseButton_Left))
        plot.FitRequested = true;
}

void SetupFinish()
{
    ImPlotContext& gp = *GImPlot;
    ImPlotPlot* plot_ptr = gp.CurrentPlot;
    IM_ASSERT(plot_ptr != nullptr && "SetupFinish() needs a current plot");
    if (plot_ptr == nullptr || plot_ptr->SetupLocked)
        return;
    ImPlotPlot& plot = *plot_ptr;
    plot.SetupLocked = true;
    const ImPlotStyle& style = gp.Style;
    ImDrawList& dl = *plot.DrawList;

    for (ImPlotAxis* axis : {&plot.XAxis, &plot.YAxis})
    {
        if (axis->HasRange && (axis->RangeCond == ImPlotCond_Always || !plot.Initialized))
            axis->SetRange(axis->SetupRange.Min, axis->SetupRange.Max);
    }

    // Layout: title on top, x tick labels and label below, y tick labels and label on the left.
    const float txt_h = ImGui::GetTextLineHeight();
    plot.CanvasRect = ImRect(plot.FrameRect.Min + style.PlotPadding, plot.FrameRect.Max - style.PlotPadding);
    const bool show_title = plot.TitleOffset >= 0 && (plot.Flags & ImPlotFlags_NoTitle) == 0;
    float pad_top = show_title ? txt_h + style.LabelPadding.y : 0.0f;
    float pad_bottom = (ShowTickLabels(plot.XAxis) ? txt_h + style.LabelPadding.y : 0.0f) +
                       (plot.XAxis.HasLabel ? txt_h + style.LabelPadding.y : 0.0f);
    // Whole pixels, so that grid lines and the edges of the data fall on pixel centres.
    plot.PlotRect = ImRect(IM_ROUND(plot.CanvasRect.Min.x), IM_ROUND(plot.CanvasRect.Min.y + pad_top),
                           IM_ROUND(plot.CanvasRect.Max.x), IM_ROUND(plot.CanvasRect.Max.y - pad_bottom));
    UpdateAxisPixels(plot);
    CalcAxisTicks(plot.YAxis, plot.YAxis.Ticker);
    float pad_left = (ShowTickLabels(plot.YAxis) ? plot.YAxis.Ticker.MaxSize.x + style.LabelPadding.x : 0.0f) +
                     (plot.YAxis.HasLabel ? txt_h + style.LabelPadding.x : 0.0f);
    plot.PlotRect.Min.x = IM_ROUND(plot.PlotRect.Min.x + pad_left);
    if (plot.PlotRect.Max.x < plot.PlotRect.Min.x + 1.0f)
        plot.PlotRect.Max.x = plot.PlotRect.Min.x + 1.0f;
    if (plot.PlotRect.Max.y < plot.PlotRect.Min.y + 1.0f)
        plot.PlotRect.Max.y = plot.PlotRect.Min.y + 1.0f;
    UpdateAxisPixels(plot);

    HandleInput(plot);

    // Fitting: auto-fit axes every frame, every axis on the first frame and after a double-click.
    for (ImPlotAxis* axis : {&plot.XAxis, &plot.YAxis})
    {
        const bool initial_fit =
            !plot.Initialized && !axis->HasRange && (axis->Flags & ImPlotAxisFlags_NoInitialFit) == 0;
        axis->FitThisFrame = axis->IsAutoFitting() || plot.FitRequested || initial_fit;
        if (axis->FitThisFrame)
            axis->FitExtents = ImPlotRange(HUGE_VAL, -HUGE_VAL);
    }
    plot.FitRequested = false;
    plot.FitThisFrame = plot.XAxis.FitThisFrame || plot.YAxis.FitThisFrame;

    UpdateAxisPixels(plot);
    UpdateTicks(plot);

    // Background and grid, under the items.
    if ((plot.Flags & ImPlotFlags_NoFrame) == 0)
        dl.AddRectFilled(plot.FrameRect.Min, plot.FrameRect.Max, GetStyleColorU32(ImPlotCol_FrameBg),
                         ImGui::GetStyle().FrameRounding);
    if (show_title)
    {
        const char* title = plot.GetTitle();
        const ImVec2 ts = ImGui::CalcTextSize(title);
        dl.AddText(ImVec2(IM_ROUND(plot.CanvasRect.GetCenter().x - ts.x * 0.5f), plot.CanvasRect.Min.y),
                   GetStyleColorU32(ImPlotCol_TitleText), title);
    }
    dl.AddRectFilled(plot.PlotRect.Min, plot.PlotRect.Max, GetStyleColorU32(ImPlotCol_PlotBg));
    dl.PushClipRect(plot.PlotRect.Min, plot.PlotRect.Max, true);
    ImVec4 grid = GetStyleColorVec4(ImPlotCol_AxisGrid);
    const ImU32 col_major = ImGui::GetColorU32(grid);
    grid.w *= style.MinorAlpha;
    const ImU32 col_minor = ImGui::GetColorU32(grid);
    if ((plot.XAxis.Flags & ImPlotAxisFlags_NoGridLines) == 0)
    {
        for (const ImPlotTick& t : plot.XAxis.Ticker.Ticks)
        {
            const float px = ImFloor(plot.XAxis.PlotToPixels(t.PlotPos)) + 0.5f;
            dl.AddLine(ImVec2(px, plot.PlotRect.Min.y), ImVec2(px, plot.PlotRect.Max.y),
                       t.Major ? col_major : col_minor, t.Major ? style.MajorGridSize.x : style.MinorGridSize.x);
        }
    }
    if ((plot.YAxis.Flags & ImPlotAxisFlags_NoGridLines) == 0)
    {
        for (const ImPlotTick& t : plot.YAxis.Ticker.Ticks)
        {
            const float py = ImFloor(plot.YAxis.PlotToPixels(t.PlotPos)) + 0.5f;
            dl.AddLine(ImVec2(plot.PlotRect.Min.x, py), ImVec2(plot.PlotRect.Max.x, py),
                       t.Major ? col_major : col_minor, t.Major ? style.MajorGridSize.y : style.MinorGridSize.y);
        }
    }
    dl.PopClipRect();
}

static void DrawAxes(ImPlotPlot& plot)
{
    const ImPlotStyle& style = GImPlot->Style;
    ImDrawList& dl = *plot.DrawList;
    const float txt_h = ImGui::GetTextLineHeight();
    const ImU32 col_tick = GetStyleColorU32(ImPlotCol_AxisTick);
    const ImU32 col_text = GetStyleColorU32(ImPlotCol_AxisText);
    const ImRect& r = plot.PlotRect;

    // x axis: ticks up from the bottom edge, labels below it.
    const ImPlotAxis& x = plot.XAxis;
    for (const ImPlotTick& t : x.Ticker.Ticks)
    {
        const float px = ImFloor(x.PlotToPixels(t.PlotPos)) + 0.5f;
        if (px < r.Min.x - 0.5f || px > r.Max.x + 0.5f)
            continue;
        if ((x.Flags & ImPlotAxisFlags_NoTickMarks) == 0)
        {
            const float len = t.Major ? style.MajorTickLen.x : style.MinorTickLen.x;
            dl.AddLine(ImVec2(px, r.Max.y), ImVec2(px, r.Max.y - len), col_tick,
                       t.Major ? style.MajorTickSize.x : style.MinorTickSize.x);
        }
        if (t.Major && ShowTickLabels(x))
            dl.AddText(ImVec2(IM_ROUND(px - t.LabelSize.x * 0.5f), r.Max.y + style.LabelPadding.y), col_text,
                       x.Ticker.GetLabel(t));
    }
    if (const char* label = AxisLabel(plot, x))
    {
        const ImVec2 ls = ImGui::CalcTextSize(label);
        const float ly = r.Max.y + style.LabelPadding.y + (ShowTickLabels(x) ? txt_h + style.LabelPadding.y : 0.0f);
        dl.AddText(ImVec2(IM_ROUND(r.GetCenter().x - ls.x * 0.5f), ly), col_text, label);
    }

    // y axis: ticks right from the left edge, labels to the left of it.
    const ImPlotAxis& y = plot.YAxis;
    for (const ImPlotTick& t : y.Ticker.Ticks)
    {
        const float py = ImFloor(y.PlotToPixels(t.PlotPos)) + 0.5f;
        if (py < r.Min.y - 0.5f || py > r.Max.y + 0.5f)
            continue;
        if ((y.Flags & ImPlotAxisFlags_NoTickMarks) == 0)
        {
            const float len = t.Major ? style.MajorTickLen.y : style.MinorTickLen.y;
            dl.AddLine(ImVec2(r.Min.x, py), ImVec2(r.Min.x + len, py), col_tick,
                       t.Major ? style.MajorTickSize.y : style.MinorTickSize.y);
        }
        if (t.Major && ShowTickLabels(y))
            dl.AddText(ImVec2(r.Min.x - style.LabelPadding.x - t.LabelSize.x, IM_ROUND(py - t.LabelSize.y * 0.5f)),
                       col_text, y.Ticker.GetLabel(t));
    }
    if (const char* label = AxisLabel(plot, y))
    {
        const ImVec2 ls = ImGui::CalcTextSize(label);
        AddTextVertical(&dl, ImVec2(plot.CanvasRect.Min.x, IM_ROUND(r.GetCenter().y + ls.x * 0.5f)), col_text, label);
    }

    if (style.PlotBorderSize > 0.0f)
        dl.AddRect(r.Min, r.Max, GetStyleColorU32(ImPlotCol_PlotBorder), 0.0f, 0, style.PlotBorderSize);
}

// The legend: one entry per labelled item; a left click on an entry hides or shows its item.
static void DrawLegend(ImPlotPlot& plot)
{
    plot.LegendRect = ImRect();
    for (int i = 0; i < plot.Items.GetBufSize(); ++i)
        plot.Items.GetByIndex(i)->LegendHovered = false;
    if ((plot.Flags & ImPlotFlags_NoLegend) != 0 || plot.LegendIndices.Size == 0)
        return;
    const ImPlotStyle& style = GImPlot->Style;
    ImDrawList& dl = *plot.DrawList;
    const float txt_h = ImGui::GetTextLineHeight();
    const float swatch = txt_h;
    float max_w = 0.0f;
    for (int idx : plot.LegendIndices)
        max_w = ImMax(max_w, ImGui::CalcTextSize(plot.GetItemName(*plot.Items.GetByIndex(idx))).x);
    const int n = plot.LegendIndices.Size;
    const ImVec2 size(style.LegendInnerPadding.x * 2 + swatch + style.LegendInnerPadding.x + max_w,
                      style.LegendInnerPadding.y * 2 + n * txt_h + (n - 1) * style.LegendSpacing.y);
    const ImRect& r = plot.PlotRect;
    ImVec2 pos;
    const ImPlotLocation loc = plot.LegendLocation;
    pos.x = (loc & ImPlotLocation_West)   ? r.Min.x + style.LegendPadding.x
            : (loc & ImPlotLocation_East) ? r.Max.x - style.LegendPadding.x - size.x
                                          : r.GetCenter().x - size.x * 0.5f;
    pos.y = (loc & ImPlotLocation_North)   ? r.Min.y + style.LegendPadding.y
            : (loc & ImPlotLocation_South) ? r.Max.y - style.LegendPadding.y - size.y
                                           : r.GetCenter().y - size.y * 0.5f;
    pos = ImVec2(IM_ROUND(pos.x), IM_ROUND(pos.y));
    plot.LegendRect = ImRect(pos, pos + size);
    dl.PushClipRect(r.Min, r.Max, true);
    dl.AddRectFilled(plot.LegendRect.Min, plot.LegendRect.Max, GetStyleColorU32(ImPlotCol_LegendBg));
    dl.AddRect(plot.LegendRect.Min, plot.LegendRect.Max, GetStyleColorU32(ImPlotCol_LegendBorder));

    ImGuiContext& g = *GImGui;
    const bool can_click =
        (plot.Flags & ImPlotFlags_NoInputs) == 0 && (plot.LegendFlags & ImPlotLegendFlags_NoButtons) == 0;
    const bool mouse_here = (g.HoveredId == plot.ID || g.ActiveId == plot.ID);
    ImVec4 text = GetStyleColorVec4(ImPlotCol_LegendText);
    ImVec4 text_hidden = text;
    text_hidden.w *= 0.5f;
    const ImU32 col_hidden_swatch = ImGui::GetColorU32(ImGuiCol_TextDisabled);
    for (int e = 0; e < n; ++e)
    {
        ImPlotItem& item = *plot.Items.GetByIndex(plot.LegendIndices[e]);
        const ImVec2 p(pos.x + style.LegendInnerPadding.x,
                       pos.y + style.LegendInnerPadding.y + e * (txt_h + style.LegendSpacing.y));
        item.LegendHoverRect = ImRect(p, ImVec2(plot.LegendRect.Max.x - style.LegendInnerPadding.x, p.y + txt_h));
        item.LegendHovered = mouse_here && item.LegendHoverRect.Contains(g.IO.MousePos);
        if (item.LegendHovered && can_click && ImGui::IsMouseClicked(ImGuiMouseButton_Left))
            item.Show = !item.Show;
        const float inset = IM_ROUND(swatch * 0.2f);
        dl.AddRectFilled(ImVec2(p.x + inset, p.y + inset), ImVec2(p.x + swatch - inset, p.y + swatch - inset),
                         item.Show ? item.Color : col_hidden_swatch);
        dl.AddText(ImVec2(p.x + swatch + style.LegendInnerPadding.x, p.y),
                   ImGui::GetColorU32(item.Show ? text : text_hidden), plot.GetItemName(item));
    }
    dl.PopClipRect();
}

void EndPlot()
{
    ImPlotContext& gp = *GImPlot;
    IM_ASSERT(gp.CurrentPlot != nullptr && "EndPlot() without a BeginPlot() that returned true");
    IM_ASSERT(gp.CurrentItem == nullptr && "EndPlot() inside an item");
    ImPlotPlot& plot = *gp.CurrentPlot;
    SetupFinish();
    DrawAxes(plot);
    DrawLegend(plot);
    for (ImPlotAxis* axis : {&plot.XAxis, &plot.YAxis})
    {
        if (axis->FitThisFrame)
            axis->ApplyFit(axis->Vertical ? gp.Style.FitPadding.y : gp.Style.FitPadding.x);
    }
    plot.DrawList->PopClipRect();
    ImGui::PopID();
    plot.Initialized = true;
    plot.JustCreated = false;
    plot.FitThisFrame = false;
    gp.CurrentPlot = nullptr;
    gp.NextItemData.Reset();
}

//-----------------------------------------------------------------------------
// Queries
//-----------------------------------------------------------------------------

static ImPlotPlot& QueryPlot()
{
    ImPlotPlot* plot = GetCurrentPlot();
    IM_ASSERT(plot != nullptr && "Plot queries go between BeginPlot() and EndPlot()");
    if (!plot->SetupLocked)
        SetupFinish();
    return *plot;
}

bool IsPlotHovered() { return QueryPlot().Hovered; }

ImPlotPoint GetPlotMousePos(ImAxis x_axis, ImAxis y_axis)
{
    return PixelsToPlot(ImGui::GetIO().MousePos, x_axis, y_axis);
}

ImPlotRect GetPlotLimits(ImAxis, ImAxis)
{
    ImPlotPlot& plot = QueryPlot();
    ImPlotRect r;
    r.X = plot.XAxis.Range;
    r.Y = plot.YAxis.Range;
    return r;
}

ImVec2 PlotToPixels(double x, double y, ImAxis, ImAxis)
{
    ImPlotPlot& plot = QueryPlot();
    return ImVec2(plot.XAxis.PlotToPixels(x), plot.YAxis.PlotToPixels(y));
}

ImVec2 PlotToPixels(const ImPlotPoint& plt, ImAxis x_axis, ImAxis y_axis)
{
    return PlotToPixels(plt.x, plt.y, x_axis, y_axis);
}

ImPlotPoint PixelsToPlot(const ImVec2& pix, ImAxis x_axis, ImAxis y_axis)
{
    return PixelsToPlot(pix.x, pix.y, x_axis, y_axis);
}

ImPlotPoint PixelsToPlot(float x, float y, ImAxis, ImAxis)
{
    ImPlotPlot& plot = QueryPlot();
    return ImPlotPoint(plot.XAxis.PixelsToPlot(x), plot.YAxis.PixelsToPlot(y));
}

ImDrawList* GetPlotDrawList()
{
    ImPlotPlot* plot = GetCurrentPlot();
    return plot ? plot->DrawList : nullptr;
}

ImVec2 GetPlotPos() { return QueryPlot().PlotRect.Min; }

ImVec2 GetPlotSize() { return QueryPlot().PlotRect.GetSize(); }

bool FitThisFrame()
{
    ImPlotPlot* plot = GetCurrentPlot();
    return plot != nullptr && plot->FitThisFrame;
}

void FitPoint(const ImPlotPoint& p)
{
    ImPlotPlot& plot = *GetCurrentPlot();
    if (plot.XAxis.FitThisFrame)
        plot.XAxis.ExtendFit(p.x);
    if (plot.YAxis.FitThisFrame)
        plot.YAxis.ExtendFit(p.y);
}

//-----------------------------------------------------------------------------
// Legend popup
//-----------------------------------------------------------------------------

bool BeginLegendPopup(const char* label_id, ImGuiMouseButton mouse_button)
{
    ImPlotPlot* plot = GetCurrentPlot();
    IM_ASSERT(plot != nullptr && "BeginLegendPopup() goes between BeginPlot() and EndPlot()");
    if (plot == nullptr)
        return false;
    const ImGuiID id = ImGui::GetID(label_id);
    ImPlotItem* item = GetItem(label_id);
    if (item != nullptr && item->LegendHovered && ImGui::IsMouseReleased(mouse_button))
        ImGui::OpenPopupEx(id);
    return ImGui::BeginPopupEx(id, ImGuiWindowFlags_AlwaysAutoResize | ImGuiWindowFlags_NoTitleBar |
                                       ImGuiWindowFlags_NoSavedSettings);
}

void EndLegendPopup() { ImGui::EndPopup(); }

//-----------------------------------------------------------------------------
// Drawing helpers
//-----------------------------------------------------------------------------

void AddTextVertical(ImDrawList* draw_list, ImVec2 pos, ImU32 col, const char* text_begin, const char* text_end)
{
    if (text_end == nullptr)
        text_end = text_begin + strlen(text_begin);
    ImFontBaked* baked = ImGui::GetFontBaked();
    const float scale = ImGui::GetFontSize() / baked->Size;
    pos.x = IM_ROUND(pos.x);
    pos.y = IM_ROUND(pos.y);
    const char* s = text_begin;
    while (s < text_end)
    {
        unsigned int c = (unsigned int)*s;
        if (c < 0x80)
            s += 1;
        else
            s += ImTextCharFromUtf8(&c, s, text_end);
        if (c == 0)
            break;
        const ImFontGlyph* glyph = baked->FindGlyph((ImWchar)c);
        if (glyph == nullptr)
            continue;
        if (glyph->Visible)
        {
            // A glyph offset (gx, gy) lands at (gy, -gx): the text runs upwards, its top to the left.
            const ImVec2 a(pos.x + glyph->Y0 * scale, pos.y - glyph->X0 * scale);
            const ImVec2 b(pos.x + glyph->Y0 * scale, pos.y - glyph->X1 * scale);
            const ImVec2 c2(pos.x + glyph->Y1 * scale, pos.y - glyph->X1 * scale);
            const ImVec2 d(pos.x + glyph->Y1 * scale, pos.y - glyph->X0 * scale);
            draw_list->PrimReserve(6, 4);
            draw_list->PrimQuadUV(a, b, c2, d, ImVec2(glyph->U0, glyph->V0), ImVec2(glyph->U1, glyph->V0),
                                  ImVec2(glyph->U1, glyph->V1), ImVec2(glyph->U0, glyph->V1), col);
        }
        pos.y -= glyph->AdvanceX * scale;
    }
}

int ReducePixelColumns(const ImVec2* points, int count, ImVec2* out)
{
    return ReduceColumnsEx(
        count, [points](int i) { return points[i]; }, out);
}

} // namespace ImPlot
