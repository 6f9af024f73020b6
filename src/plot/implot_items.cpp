// The plot items: the item machinery and the line, shaded, infinite-line and text items.
#include "plot/implot_internal.h"

namespace ImPlot
{

void SetNextLineStyle(const ImVec4& col, float weight)
{
    ImPlotContext& gp = *GetCurrentContext();
    gp.NextItemData.Colors[ImPlotCol_Line] = col;
    gp.NextItemData.LineWeight = weight;
}

void SetNextFillStyle(const ImVec4& col, float alpha_mod)
{
    ImPlotContext& gp = *GetCurrentContext();
    gp.NextItemData.Colors[ImPlotCol_Fill] = col;
    gp.NextItemData.FillAlpha = alpha_mod;
}

bool BeginItem(const char* label_id, ImPlotItemFlags flags, ImPlotCol recolor_from)
{
    ImPlotContext& gp = *GetCurrentContext();
    IM_ASSERT(gp.CurrentPlot != nullptr && "Plot items go between BeginPlot() and EndPlot()");
    IM_ASSERT(gp.CurrentItem == nullptr && "BeginItem() inside another item");
    ImPlotPlot& plot = *gp.CurrentPlot;
    SetupFinish();

    const ImGuiID id = ImHashStr(label_id, 0, plot.ID);
    const bool just_created = plot.Items.GetByKey(id) == nullptr;
    ImPlotItem* item = plot.Items.GetOrAddByKey(id);
    if (just_created)
    {
        item->ID = id;
        item->Color = GetColormapColorU32(plot.ColormapIdx++);
    }
    ImPlotNextItemData& s = gp.NextItemData;
    const ImPlotStyle& style = gp.Style;
    // A colour set for this item (next-item data, else the style) recolours it, legend entry included.
    if (recolor_from >= 0 && recolor_from < 5)
    {
        const ImVec4& c = !IsColorAuto(s.Colors[recolor_from]) ? s.Colors[recolor_from] : style.Colors[recolor_from];
        if (!IsColorAuto(c))
            item->Color = ImGui::ColorConvertFloat4ToU32(c);
    }
    if (!item->SeenThisFrame)
    {
        item->SeenThisFrame = true;
        const char* name_end = ImGui::FindRenderedTextEnd(label_id);
        item->NameOffset = -1;
        if (name_end != label_id && (flags & ImPlotItemFlags_NoLegend) == 0)
        {
            item->NameOffset = plot.TextBuffer.size();
            plot.TextBuffer.append(label_id, name_end);
            plot.TextBuffer.Buf.push_back(0);
            plot.LegendIndices.push_back(plot.Items.GetIndex(item));
        }
    }

    // Resolve what the item draws with.
    const ImVec4 item_col = ImGui::ColorConvertU32ToFloat4(item->Color);
    for (int i = ImPlotCol_Line; i <= ImPlotCol_MarkerFill; ++i)
    {
        if (IsColorAuto(s.Colors[i]))
            s.Colors[i] = IsColorAuto(style.Colors[i]) ? item_col : style.Colors[i];
    }
    if (IsColorAuto(s.Colors[ImPlotCol_ErrorBar]))
        s.Colors[ImPlotCol_ErrorBar] = GetStyleColorVec4(ImPlotCol_ErrorBar);
    s.LineWeight = s.LineWeight < 0.0f ? style.LineWeight : s.LineWeight;
    s.FillAlpha = s.FillAlpha < 0.0f ? style.FillAlpha : s.FillAlpha;
    s.Colors[ImPlotCol_Fill].w *= s.FillAlpha;
    s.Colors[ImPlotCol_MarkerFill].w *= s.FillAlpha;
    s.RenderLine = s.Colors[ImPlotCol_Line].w > 0.0f && s.LineWeight > 0.0f;
    s.RenderFill = s.Colors[ImPlotCol_Fill].w > 0.0f;

    if (!item->Show)
    {
        s.Reset();
        return false;
    }
    gp.CurrentItem = item;
    plot.DrawList->PushClipRect(plot.PlotRect.Min, plot.PlotRect.Max, true);
    return true;
}

void EndItem()
{
    ImPlotContext& gp = *GetCurrentContext();
    IM_ASSERT(gp.CurrentItem != nullptr && "EndItem() without a BeginItem() that returned true");
    gp.CurrentPlot->DrawList->PopClipRect();
    gp.NextItemData.Reset();
    gp.CurrentItem = nullptr;
}

const ImPlotNextItemData& GetItemData() { return GetCurrentContext()->NextItemData; }

//-----------------------------------------------------------------------------
// Lines
//-----------------------------------------------------------------------------

// The item flags (ImPlotItemFlags_*) share each item's flags argument.
template <class G> static void PlotLineEx(const char* label_id, const G& getter, ImPlotLineFlags flags)
{
    if (!BeginItemEx(label_id, Fitter1<G>(getter), flags, ImPlotCol_Line))
        return;
    const ImPlotNextItemData& s = GetItemData();
    if (getter.Count > 1 && s.RenderLine)
        RenderLineReduced(getter, ImGui::GetColorU32(s.Colors[ImPlotCol_Line]), s.LineWeight);
    EndItem();
}

template <typename T>
void PlotLine(const char* label_id, const T* values, int count, double xscale, double xstart, ImPlotLineFlags flags,
              int offset, int stride)
{
    GetterXY<IndexerLin, IndexerIdx<T>> getter(IndexerLin(xscale, xstart), IndexerIdx<T>(values, count, offset, stride),
                                               count);
    PlotLineEx(label_id, getter, flags);
}

template <typename T>
void PlotLine(const char* label_id, const T* xs, const T* ys, int count, ImPlotLineFlags flags, int offset, int stride)
{
    GetterXY<IndexerIdx<T>, IndexerIdx<T>> getter(IndexerIdx<T>(xs, count, offset, stride),
                                                  IndexerIdx<T>(ys, count, offset, stride), count);
    PlotLineEx(label_id, getter, flags);
}

void PlotLineG(const char* label_id, ImPlotGetter getter_func, void* data, int count, ImPlotLineFlags flags)
{
    GetterFuncPtr getter(getter_func, data, count);
    PlotLineEx(label_id, getter, flags);
}

//-----------------------------------------------------------------------------
// Shaded areas
//-----------------------------------------------------------------------------

template <class G1, class G2>
static void PlotShadedEx(const char* label_id, const G1& getter1, const G2& getter2, ImPlotShadedFlags flags)
{
    if (!BeginItemEx(label_id, Fitter2<G1, G2>(getter1, getter2), flags, ImPlotCol_Fill))
        return;
    const ImPlotNextItemData& s = GetItemData();
    if (getter1.Count > 1 && getter2.Count > 1 && s.RenderFill)
        RenderPrimitives2<RendererShaded>(getter1, getter2, ImGui::GetColorU32(s.Colors[ImPlotCol_Fill]));
    EndItem();
}

template <typename T>
void PlotShaded(const char* label_id, const T* xs, const T* ys, int count, double yref, ImPlotShadedFlags flags,
                int offset, int stride)
{
    if (!isfinite(yref))
    {
        const ImPlotRect lims = GetPlotLimits();
        yref = yref < 0 ? lims.Y.Min : lims.Y.Max;
    }
    GetterXY<IndexerIdx<T>, IndexerIdx<T>> getter1(IndexerIdx<T>(xs, count, offset, stride),
                                                   IndexerIdx<T>(ys, count, offset, stride), count);
    GetterXY<IndexerIdx<T>, IndexerConst> getter2(IndexerIdx<T>(xs, count, offset, stride), IndexerConst(yref), count);
    PlotShadedEx(label_id, getter1, getter2, flags);
}

void PlotShadedG(const char* label_id, ImPlotGetter getter_func1, void* data1, ImPlotGetter getter_func2, void* data2,
                 int count, ImPlotShadedFlags flags)
{
    GetterFuncPtr getter1(getter_func1, data1, count);
    GetterFuncPtr getter2(getter_func2, data2, count);
    PlotShadedEx(label_id, getter1, getter2, flags);
}

//-----------------------------------------------------------------------------
// Infinite lines and text
//-----------------------------------------------------------------------------

template <typename T>
void PlotInfLines(const char* label_id, const T* values, int count, ImPlotInfLinesFlags flags, int offset, int stride)
{
    // The lines span whatever the axes show, so they take no part in fitting.
    if (!BeginItem(label_id, flags | ImPlotItemFlags_NoFit, ImPlotCol_Line))
        return;
    const ImPlotNextItemData& s = GetItemData();
    if (s.RenderLine && count > 0)
    {
        ImPlotPlot& plot = *GetCurrentPlot();
        const ImU32 col = ImGui::GetColorU32(s.Colors[ImPlotCol_Line]);
        IndexerIdx<T> indexer(values, count, offset, stride);
        const bool horizontal = (flags & ImPlotInfLinesFlags_Horizontal) != 0;
        const ImRect& r = plot.PlotRect;
        for (int i = 0; i < count; ++i)
        {
            const double v = indexer(i);
            if (!isfinite(v))
                continue;
            if (horizontal)
            {
                const float py = plot.YAxis.PlotToPixels(v);
                plot.DrawList->AddLine(ImVec2(r.Min.x, py), ImVec2(r.Max.x, py), col, s.LineWeight);
            }
            else
            {
                const float px = plot.XAxis.PlotToPixels(v);
                plot.DrawList->AddLine(ImVec2(px, r.Min.y), ImVec2(px, r.Max.y), col, s.LineWeight);
            }
        }
    }
    EndItem();
}

void PlotText(const char* text, double x, double y, const ImVec2& pix_offset, ImPlotTextFlags)
{
    ImPlotPlot* plot = GetCurrentPlot();
    IM_ASSERT(plot != nullptr && "PlotText() goes between BeginPlot() and EndPlot()");
    if (plot == nullptr)
        return;
    SetupFinish();
    const char* text_end = ImGui::FindRenderedTextEnd(text);
    const ImVec2 size = ImGui::CalcTextSize(text, text_end);
    const ImVec2 pos = PlotToPixels(x, y) + pix_offset - size * 0.5f;
    plot->DrawList->PushClipRect(plot->PlotRect.Min, plot->PlotRect.Max, true);
    plot->DrawList->AddText(ImVec2(IM_ROUND(pos.x), IM_ROUND(pos.y)),
                            ImGui::GetColorU32(GetStyleColorVec4(ImPlotCol_InlayText)), text, text_end);
    plot->DrawList->PopClipRect();
}

#define INSTANTIATE_ITEMS(T)                                                                                           \
    template void PlotLine<T>(const char*, const T*, int, double, double, ImPlotLineFlags, int, int);                  \
    template void PlotLine<T>(const char*, const T*, const T*, int, ImPlotLineFlags, int, int);                        \
    template void PlotShaded<T>(const char*, const T*, const T*, int, double, ImPlotShadedFlags, int, int);            \
    template void PlotInfLines<T>(const char*, const T*, int, ImPlotInfLinesFlags, int, int);

INSTANTIATE_ITEMS(float)
INSTANTIATE_ITEMS(double)

} // namespace ImPlot
