// Our own plotting layer with ImPlot's public names and signatures, drawn on Dear ImGui's draw lists.
// It implements the subset the program uses: plots with axes, ticks, grid, auto-fit and a legend;
// line, shaded and infinite-line items; plot text; the style with its push/pop stacks; and the
// hover, mouse, limits and pixel queries. Mouse wheel zooms, left drag pans, double-click fits.
#pragma once

#include <imgui.h>

struct ImPlotContext;

typedef int ImAxis;              // -> enum ImAxis_
typedef int ImPlotFlags;         // -> enum ImPlotFlags_
typedef int ImPlotAxisFlags;     // -> enum ImPlotAxisFlags_
typedef int ImPlotCol;           // -> enum ImPlotCol_
typedef int ImPlotStyleVar;      // -> enum ImPlotStyleVar_
typedef int ImPlotCond;          // -> enum ImPlotCond_
typedef int ImPlotLocation;      // -> enum ImPlotLocation_
typedef int ImPlotLegendFlags;   // -> enum ImPlotLegendFlags_
typedef int ImPlotItemFlags;     // -> enum ImPlotItemFlags_
typedef int ImPlotLineFlags;     // -> enum ImPlotLineFlags_
typedef int ImPlotShadedFlags;   // -> enum ImPlotShadedFlags_
typedef int ImPlotInfLinesFlags; // -> enum ImPlotInfLinesFlags_
typedef int ImPlotTextFlags;     // -> enum ImPlotTextFlags_

// Default value for axis, weight and alpha arguments: let the plot decide.
#define IMPLOT_AUTO -1
// Automatic colour: derived from the item's colour or from the ImGui style.
#define IMPLOT_AUTO_COL ImVec4(0, 0, 0, -1)

// Only the first x and y axes exist in this layer; IMPLOT_AUTO means them.
enum ImAxis_
{
    ImAxis_X1 = 0,
    ImAxis_Y1 = 3,
};

enum ImPlotFlags_
{
    ImPlotFlags_None = 0,
    ImPlotFlags_NoTitle = 1 << 0,  // the title is not shown
    ImPlotFlags_NoLegend = 1 << 1, // the legend is not shown
    ImPlotFlags_NoInputs = 1 << 3, // no zoom, pan, fit or legend clicks
    ImPlotFlags_NoFrame = 1 << 6,  // the frame background is not drawn
};

enum ImPlotAxisFlags_
{
    ImPlotAxisFlags_None = 0,
    ImPlotAxisFlags_NoLabel = 1 << 0,
    ImPlotAxisFlags_NoGridLines = 1 << 1,
    ImPlotAxisFlags_NoTickMarks = 1 << 2,
    ImPlotAxisFlags_NoTickLabels = 1 << 3,
    ImPlotAxisFlags_NoInitialFit = 1 << 4, // the axis is not fitted on the plot's first frame
    ImPlotAxisFlags_AutoFit = 1 << 11,     // fitted to the data every frame; user zoom and pan are locked
    ImPlotAxisFlags_LockMin = 1 << 14,
    ImPlotAxisFlags_LockMax = 1 << 15,
    ImPlotAxisFlags_Lock = ImPlotAxisFlags_LockMin | ImPlotAxisFlags_LockMax,
    ImPlotAxisFlags_NoDecorations = ImPlotAxisFlags_NoLabel | ImPlotAxisFlags_NoGridLines |
                                    ImPlotAxisFlags_NoTickMarks | ImPlotAxisFlags_NoTickLabels,
};

enum ImPlotCond_
{
    ImPlotCond_None = ImGuiCond_None,
    ImPlotCond_Always = ImGuiCond_Always,
    ImPlotCond_Once = ImGuiCond_Once,
};

enum ImPlotLocation_
{
    ImPlotLocation_Center = 0,
    ImPlotLocation_North = 1 << 0,
    ImPlotLocation_South = 1 << 1,
    ImPlotLocation_West = 1 << 2,
    ImPlotLocation_East = 1 << 3,
    ImPlotLocation_NorthWest = ImPlotLocation_North | ImPlotLocation_West,
    ImPlotLocation_NorthEast = ImPlotLocation_North | ImPlotLocation_East,
    ImPlotLocation_SouthWest = ImPlotLocation_South | ImPlotLocation_West,
    ImPlotLocation_SouthEast = ImPlotLocation_South | ImPlotLocation_East,
};

enum ImPlotLegendFlags_
{
    ImPlotLegendFlags_None = 0,
    ImPlotLegendFlags_NoButtons = 1 << 0, // clicking an entry does not hide its item
};

enum ImPlotItemFlags_
{
    ImPlotItemFlags_None = 0,
    ImPlotItemFlags_NoLegend = 1 << 0, // the item has no legend entry
    ImPlotItemFlags_NoFit = 1 << 1,    // the item is left out of fitting
};

enum ImPlotLineFlags_
{
    ImPlotLineFlags_None = 0,
};

enum ImPlotShadedFlags_
{
    ImPlotShadedFlags_None = 0,
};

enum ImPlotInfLinesFlags_
{
    ImPlotInfLinesFlags_None = 0,
    ImPlotInfLinesFlags_Horizontal = 1 << 10, // horizontal lines at y values instead of vertical ones
};

enum ImPlotTextFlags_
{
    ImPlotTextFlags_None = 0,
};

enum ImPlotCol_
{
    ImPlotCol_Line,
    ImPlotCol_Fill,
    ImPlotCol_MarkerOutline,
    ImPlotCol_MarkerFill,
    ImPlotCol_ErrorBar,
    ImPlotCol_FrameBg,
    ImPlotCol_PlotBg,
    ImPlotCol_PlotBorder,
    ImPlotCol_LegendBg,
    ImPlotCol_LegendBorder,
    ImPlotCol_LegendText,
    ImPlotCol_TitleText,
    ImPlotCol_InlayText,
    ImPlotCol_AxisText,
    ImPlotCol_AxisGrid,
    ImPlotCol_AxisTick,
    ImPlotCol_AxisBg,
    ImPlotCol_AxisBgHovered,
    ImPlotCol_AxisBgActive,
    ImPlotCol_Selection,
    ImPlotCol_Crosshairs,
    ImPlotCol_COUNT
};

enum ImPlotStyleVar_
{
    ImPlotStyleVar_LineWeight,         // float
    ImPlotStyleVar_FillAlpha,          // float
    ImPlotStyleVar_PlotBorderSize,     // float
    ImPlotStyleVar_MinorAlpha,         // float
    ImPlotStyleVar_MajorTickLen,       // ImVec2
    ImPlotStyleVar_MinorTickLen,       // ImVec2
    ImPlotStyleVar_MajorTickSize,      // ImVec2
    ImPlotStyleVar_MinorTickSize,      // ImVec2
    ImPlotStyleVar_MajorGridSize,      // ImVec2
    ImPlotStyleVar_MinorGridSize,      // ImVec2
    ImPlotStyleVar_PlotPadding,        // ImVec2
    ImPlotStyleVar_LabelPadding,       // ImVec2
    ImPlotStyleVar_LegendPadding,      // ImVec2
    ImPlotStyleVar_LegendInnerPadding, // ImVec2
    ImPlotStyleVar_LegendSpacing,      // ImVec2
    ImPlotStyleVar_FitPadding,         // ImVec2
    ImPlotStyleVar_PlotDefaultSize,    // ImVec2
    ImPlotStyleVar_PlotMinSize,        // ImVec2
    ImPlotStyleVar_COUNT
};

struct ImPlotPoint
{
    double x, y;
    constexpr ImPlotPoint() : x(0.0), y(0.0) {}
    constexpr ImPlotPoint(double _x, double _y) : x(_x), y(_y) {}
    constexpr ImPlotPoint(const ImVec2& p) : x((double)p.x), y((double)p.y) {}
    double& operator[](size_t idx) { return idx == 0 ? x : y; }
    double operator[](size_t idx) const { return idx == 0 ? x : y; }
};

struct ImPlotRange
{
    double Min, Max;
    constexpr ImPlotRange() : Min(0.0), Max(0.0) {}
    constexpr ImPlotRange(double _min, double _max) : Min(_min), Max(_max) {}
    bool Contains(double value) const { return value >= Min && value <= Max; }
    double Size() const { return Max - Min; }
    double Clamp(double value) const { return (value < Min) ? Min : (value > Max) ? Max : value; }
};

struct ImPlotRect
{
    ImPlotRange X, Y;
    constexpr ImPlotRect() : X(0.0, 0.0), Y(0.0, 0.0) {}
    constexpr ImPlotRect(double x_min, double x_max, double y_min, double y_max) : X(x_min, x_max), Y(y_min, y_max) {}
    bool Contains(const ImPlotPoint& p) const { return X.Contains(p.x) && Y.Contains(p.y); }
    bool Contains(double x, double y) const { return X.Contains(x) && Y.Contains(y); }
    ImPlotPoint Size() const { return ImPlotPoint(X.Size(), Y.Size()); }
    ImPlotPoint Min() const { return ImPlotPoint(X.Min, Y.Min); }
    ImPlotPoint Max() const { return ImPlotPoint(X.Max, Y.Max); }
};

struct ImPlotStyle
{
    float LineWeight;          // = 1      item line weight in pixels
    float FillAlpha;           // = 1      alpha factor of item fills
    float PlotBorderSize;      // = 1      thickness of the border around the plot area
    float MinorAlpha;          // = 0.25   alpha factor of minor grid lines relative to major ones
    ImVec2 MajorTickLen;       // = 10,10  major tick lengths for x and y
    ImVec2 MinorTickLen;       // = 5,5
    ImVec2 MajorTickSize;      // = 1,1    line thickness of major ticks
    ImVec2 MinorTickSize;      // = 1,1
    ImVec2 MajorGridSize;      // = 1,1    line thickness of major grid lines
    ImVec2 MinorGridSize;      // = 1,1
    ImVec2 PlotPadding;        // = 10,10  padding between the frame and the plot's contents
    ImVec2 LabelPadding;       // = 5,5    padding around axis labels, tick labels and the title
    ImVec2 LegendPadding;      // = 10,10  legend distance from the plot edges
    ImVec2 LegendInnerPadding; // = 5,5    legend padding from its border
    ImVec2 LegendSpacing;      // = 5,0    spacing between legend entries
    ImVec2 FitPadding;         // = 0,0    extra fit room as a fraction of the data range
    ImVec2 PlotDefaultSize;    // = 400,300 size of a plot given size 0
    ImVec2 PlotMinSize;        // = 200,150 smallest frame size of a plot
    ImVec4 Colors[ImPlotCol_COUNT];
    ImPlotStyle();
};

// A getter returns point idx of a series described by user_data.
typedef ImPlotPoint (*ImPlotGetter)(int idx, void* user_data);

namespace ImPlot
{

// Contexts. CreateContext makes the new context current when none is.
ImPlotContext* CreateContext();
void DestroyContext(ImPlotContext* ctx = nullptr);
ImPlotContext* GetCurrentContext();
void SetCurrentContext(ImPlotContext* ctx);

// A plot. Call EndPlot only when BeginPlot returned true. title_id follows ImGui's label rules
// ("##" hides the rest from the title). A size of 0 (or below) takes the style's default (or the
// content region's remainder, as ImGui items do).
bool BeginPlot(const char* title_id, const ImVec2& size = ImVec2(-1, 0), ImPlotFlags flags = 0);
void EndPlot();

// Set-up, right after BeginPlot and before the first item or query.
void SetupAxis(ImAxis axis, const char* label = nullptr, ImPlotAxisFlags flags = 0);
void SetupAxisLimits(ImAxis axis, double v_min, double v_max, ImPlotCond cond = ImPlotCond_Once);
void SetupAxes(const char* x_label, const char* y_label, ImPlotAxisFlags x_flags = 0, ImPlotAxisFlags y_flags = 0);
void SetupAxesLimits(double x_min, double x_max, double y_min, double y_max, ImPlotCond cond = ImPlotCond_Once);
void SetupLegend(ImPlotLocation location, ImPlotLegendFlags flags = 0);
void SetupFinish();

// Items. offset is taken modulo count; stride is in bytes.
template <typename T>
void PlotLine(const char* label_id, const T* values, int count, double xscale = 1, double xstart = 0,
              ImPlotLineFlags flags = 0, int offset = 0, int stride = sizeof(T));
template <typename T>
void PlotLine(const char* label_id, const T* xs, const T* ys, int count, ImPlotLineFlags flags = 0, int offset = 0,
              int stride = sizeof(T));
void PlotLineG(const char* label_id, ImPlotGetter getter, void* data, int count, ImPlotLineFlags flags = 0);

// The area between ys and yref (a yref of -INFINITY or +INFINITY means the plot's lower or upper edge).
template <typename T>
void PlotShaded(const char* label_id, const T* xs, const T* ys, int count, double yref = 0, ImPlotShadedFlags flags = 0,
                int offset = 0, int stride = sizeof(T));
// The area between two curves given by getters.
void PlotShadedG(const char* label_id, ImPlotGetter getter1, void* data1, ImPlotGetter getter2, void* data2, int count,
                 ImPlotShadedFlags flags = 0);

// Vertical lines across the plot at the x values (horizontal ones at y values with the Horizontal flag).
template <typename T>
void PlotInfLines(const char* label_id, const T* values, int count, ImPlotInfLinesFlags flags = 0, int offset = 0,
                  int stride = sizeof(T));

// Text centred at plot point (x, y), moved by pix_offset pixels.
void PlotText(const char* text, double x, double y, const ImVec2& pix_offset = ImVec2(0, 0), ImPlotTextFlags flags = 0);

// Style.
ImPlotStyle& GetStyle();
void StyleColorsAuto(ImPlotStyle* dst = nullptr);
void PushStyleColor(ImPlotCol idx, ImU32 col);
void PushStyleColor(ImPlotCol idx, const ImVec4& col);
void PopStyleColor(int count = 1);
void PushStyleVar(ImPlotStyleVar idx, float val);
void PushStyleVar(ImPlotStyleVar idx, int val);
void PushStyleVar(ImPlotStyleVar idx, const ImVec2& val);
void PopStyleVar(int count = 1);
// Line colour and weight of the next item only.
void SetNextLineStyle(const ImVec4& col = IMPLOT_AUTO_COL, float weight = IMPLOT_AUTO);
// Fill colour and alpha factor of the next item only.
void SetNextFillStyle(const ImVec4& col = IMPLOT_AUTO_COL, float alpha_mod = IMPLOT_AUTO);
// The style colour with automatic colours resolved against the ImGui style (item colours stay automatic).
ImVec4 GetStyleColorVec4(ImPlotCol idx);

// Queries of the current plot (between BeginPlot and EndPlot).
bool IsPlotHovered();
ImPlotPoint GetPlotMousePos(ImAxis x_axis = IMPLOT_AUTO, ImAxis y_axis = IMPLOT_AUTO);
ImPlotRect GetPlotLimits(ImAxis x_axis = IMPLOT_AUTO, ImAxis y_axis = IMPLOT_AUTO);
ImVec2 PlotToPixels(double x, double y, ImAxis x_axis = IMPLOT_AUTO, ImAxis y_axis = IMPLOT_AUTO);
ImVec2 PlotToPixels(const ImPlotPoint& plt, ImAxis x_axis = IMPLOT_AUTO, ImAxis y_axis = IMPLOT_AUTO);
ImPlotPoint PixelsToPlot(const ImVec2& pix, ImAxis x_axis = IMPLOT_AUTO, ImAxis y_axis = IMPLOT_AUTO);
ImPlotPoint PixelsToPlot(float x, float y, ImAxis x_axis = IMPLOT_AUTO, ImAxis y_axis = IMPLOT_AUTO);
ImDrawList* GetPlotDrawList();
ImVec2 GetPlotPos();  // top-left of the plot area in pixels
ImVec2 GetPlotSize(); // size of the plot area in pixels

// A popup opened by clicking an item's legend entry with mouse_button. Call after the item and
// before EndPlot; call EndLegendPopup only when it returned true.
bool BeginLegendPopup(const char* label_id, ImGuiMouseButton mouse_button = 1);
void EndLegendPopup();

} // namespace ImPlot
