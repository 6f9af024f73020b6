// The two plot style presets, applied to the current plot right after BeginPlot.
#pragma once

#include "plot/implot.h"

// Writes the dark preset into dst, or into the current ImPlot style when dst is null.
void ApplyDarkPlotTheme(ImPlotStyle* dst = nullptr);
// Writes the light preset into dst, or into the current ImPlot style when dst is null.
void ApplyLightPlotTheme(ImPlotStyle* dst = nullptr);
