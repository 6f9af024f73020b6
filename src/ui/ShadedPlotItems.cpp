#include "ui/ShadedPlotItems.h"

namespace
{

enum class FillKind
{
    Shaded,
    Gradient
};

// The frame shared by the three items: begin (legend, colours, fit), fill, outline, end.
template <class G1, class G2>
void PlotShadedItem(const char* label, const G1& getter1, const G2& getter2, ImPlotShadedFlags flags, float fillFactor,
                    FillKind kind)
{
    // The item flags (legend, fit) share the flags argument, as with every plot item.
    if (!ImPlot::BeginItemEx(label, ImPlot::Fitter2<G1, G2>(getter1, getter2), flags, ImPlotCol_Fill))
        return;
    if (getter1.Count < 1 || getter2.Count < 1)
    {
        ImPlot::EndItem();
        return;
    }
    const ImPlotNextItemData& s = ImPlot::GetItemData();
    if (s.RenderFill)
    {
        ImVec4 fill = s.Colors[ImPlotCol_Fill];
        fill.w *= fillFactor;
        const ImU32 col = ImGui::GetColorU32(fill);
        if (kind == FillKind::Gradient)
            ImPlot::RenderPrimitives2<RendererShadedGradient>(getter1, getter2, col);
        else
            ImPlot::RenderPrimitives2<ImPlot::RendererShaded>(getter1, getter2, col);
    }
    if (s.RenderLine)
    {
        ImVec4 line = s.Colors[ImPlotCol_Line];
        line.x = ImMin(1.0f, line.x * 1.3f);
        line.y = ImMin(1.0f, line.y * 1.3f);
        line.z = ImMin(1.0f, line.z * 1.3f);
        line.w = 1.0f;
        ImPlot::RenderLineReduced(getter1, ImGui::GetColorU32(line), s.LineWeight);
    }
    ImPlot::EndItem();
}

} // namespace

void PlotShadedWithOutline(const char* label, const float* xs, const float* ys, int count, double yRef,
                           ImPlotShadedFlags flags, int offset, int stride)
{
    if (yRef == -HUGE_VAL)
        yRef = ImPlot::GetPlotLimits(IMPLOT_AUTO, IMPLOT_AUTO).Y.Min;
    else if (yRef == HUGE_VAL)
        yRef = ImPlot::GetPlotLimits(IMPLOT_AUTO, IMPLOT_AUTO).Y.Max;
    using Indexer = ImPlot::IndexerIdx<float>;
    ImPlot::GetterXY<Indexer, Indexer> getter1(Indexer(xs, count, offset, stride), Indexer(ys, count, offset, stride),
                                               count);
    ImPlot::GetterXY<Indexer, ImPlot::IndexerConst> getter2(Indexer(xs, count, offset, stride),
                                                            ImPlot::IndexerConst(yRef), count);
    PlotShadedItem(label, getter1, getter2, flags, 0.4f, FillKind::Shaded);
}

void PlotShadedBandWithOutline(const char* label, ImPlotGetter getter1, void* data1, ImPlotGetter getter2, void* data2,
                               int count, ImPlotShadedFlags flags)
{
    ImPlot::GetterFuncPtr g1(getter1, data1, count);
    ImPlot::GetterFuncPtr g2(getter2, data2, count);
    PlotShadedItem(label, g1, g2, flags, 0.3f, FillKind::Shaded);
}

void PlotShadedBandGradient(const char* label, ImPlotGetter getter1, void* data1, ImPlotGetter getter2, void* data2,
                            int count, ImPlotShadedFlags flags)
{
    ImPlot::GetterFuncPtr g1(getter1, data1, count);
    ImPlot::GetterFuncPtr g2(getter2, data2, count);
    PlotShadedItem(label, g1, g2, flags, 0.3f, FillKind::Gradient);
}
