// CPU time of one frame built (NewFrame to Render; no GL) with the Live View's plot windows:
// "Combined View" with 3 channels x 10,000 points and the three individual views, with the lines
// reduced per pixel column and, side by side, drawn unreduced (one segment per pair of points).
//
// Usage: bench_plot_frame [frames]
#include "plot/implot_internal.h"
#include "ui/PlotThemes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <time.h>
#include <vector>

namespace
{

const int Channels = 3;
const int Points = 10000;
const ImVec4 Colours[3] = {{0.0f, 0.4f, 0.8f, 1.0f}, {0.2f, 0.7f, 0.3f, 1.0f}, {0.6f, 0.2f, 0.8f, 1.0f}};

double ThreadCpuMs()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec * 1e-6;
}

struct Data
{
    std::vector<float> times;
    std::vector<std::vector<float>> histories;
};

// A noisy signal per channel at 1 kHz; each frame moves the window on by 16 samples.
void FillData(Data& d, int frame)
{
    d.times.resize(Points);
    d.histories.assign(Channels, std::vector<float>(Points));
    for (int i = 0; i < Points; ++i)
    {
        const int n = frame * 16 + i;
        d.times[i] = n * 0.001f;
        for (int c = 0; c < Channels; ++c)
            d.histories[c][i] = (c + 1) * std::sin(n * 0.002f * (c + 1)) + 0.3f * std::sin(n * 1.7f + c);
    }
}

void PlotChannels(const Data& d, int first, int last)
{
    for (int c = first; c < last; ++c)
    {
        const std::string label = "Channel " + std::to_string(c + 1);
        ImPlot::PushStyleColor(ImPlotCol_Line, Colours[c]);
        ImPlot::PushStyleVar(ImPlotStyleVar_LineWeight, 1.0f);
        ImPlot::PlotLine<float>(label.c_str(), d.times.data(), d.histories[c].data(), Points, 0, 0, sizeof(float));
        ImPlot::PopStyleVar(1);
        ImPlot::PopStyleColor(1);
    }
}

struct FrameStats
{
    int vertices = 0;
    float plotWidth = 0;
};

FrameStats BuildFrame(const Data& d)
{
    FrameStats stats;
    ImGui::NewFrame();
    ImGui::SetNextWindowPos(ImVec2(0, 0));
    ImGui::SetNextWindowSize(ImVec2(860, 420));
    ImGui::Begin("Live View");
    if (ImPlot::BeginPlot("Combined View", ImGui::GetContentRegionAvail()))
    {
        ApplyDarkPlotTheme(nullptr);
        ImDrawList* dl = ImPlot::GetPlotDrawList();
        dl->Flags &= ~(ImDrawListFlags_AntiAliasedLines | ImDrawListFlags_AntiAliasedFill);
        ImPlot::SetupAxes("Time (s)", "Value", ImPlotAxisFlags_AutoFit, ImPlotAxisFlags_AutoFit);
        PlotChannels(d, 0, Channels);
        stats.plotWidth = ImPlot::GetPlotSize().x;
        ImPlot::EndPlot();
    }
    ImGui::End();
    for (int c = 0; c < Channels; ++c)
    {
        const std::string title = "Channel " + std::to_string(c + 1) + " - Individual View";
        ImGui::SetNextWindowPos(ImVec2(0, 420.0f + 100.0f * c));
        ImGui::SetNextWindowSize(ImVec2(860, 300));
        if (ImGui::Begin(title.c_str()))
        {
            if (ImPlot::BeginPlot(title.c_str(), ImGui::GetContentRegionAvail()))
            {
                ApplyDarkPlotTheme(nullptr);
                ImPlot::SetupAxes("Time (s)", "Channel", ImPlotAxisFlags_AutoFit, ImPlotAxisFlags_AutoFit);
                PlotChannels(d, c, c + 1);
                ImPlot::EndPlot();
            }
        }
        ImGui::End();
    }
    ImGui::Render();
    stats.vertices = ImGui::GetDrawData()->TotalVtxCount;
    return stats;
}

struct Result
{
    double mean, median, p95;
    int vertices;
    float plotWidth;
};

Result Measure(bool reduce, int frames)
{
    ImPlot::GetCurrentContext()->ReduceLines = reduce;
    Data d;
    std::vector<double> ms;
    FrameStats stats;
    for (int f = 0; f < frames + 20; ++f)
    {
        FillData(d, f); // outside the measured span: the frame's snapshot exists before the frame
        const double t0 = ThreadCpuMs();
        stats = BuildFrame(d);
        const double t1 = ThreadCpuMs();
        if (f >= 20)
            ms.push_back(t1 - t0);
    }
    std::sort(ms.begin(), ms.end());
    double sum = 0;
    for (double v : ms)
        sum += v;
    return Result{sum / ms.size(), ms[ms.size() / 2], ms[(size_t)(ms.size() * 0.95)], stats.vertices, stats.plotWidth};
}

} // namespace

int main(int argc, char** argv)
{
    const int frames = argc > 1 ? std::max(10, atoi(argv[1])) : 300;
    ImGui::CreateContext();
    ImPlot::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;
    io.DisplaySize = ImVec2(1024, 720);
    io.DeltaTime = 1.0f / 60.0f;
    io.BackendFlags |= ImGuiBackendFlags_RendererHasTextures | ImGuiBackendFlags_RendererHasVtxOffset;
    io.Fonts->AddFontDefault();

    const Result reduced = Measure(true, frames);
    const Result full = Measure(false, frames);

    printf("plot frame: NewFrame to Render, CPU of this thread, %d frames each, %d channels x %d points\n", frames,
           Channels, Points);
    printf("windows: \"Combined View\" (plot %.0f px wide) and %d individual views; no statistics window or "
           "terminal\n",
           reduced.plotWidth, Channels);
    printf("%-22s %12s %12s\n", "", "reduced", "unreduced");
    printf("%-22s %12.3f %12.3f\n", "mean ms/frame", reduced.mean, full.mean);
    printf("%-22s %12.3f %12.3f\n", "median ms/frame", reduced.median, full.median);
    printf("%-22s %12.3f %12.3f\n", "p95 ms/frame", reduced.p95, full.p95);
    printf("%-22s %12d %12d\n", "vertices/frame", reduced.vertices, full.vertices);
    printf("goal: at most 2 ms per Dashboard frame (this measures the plot windows only)\n");

    ImPlot::DestroyContext();
    ImGui::DestroyContext();
    return 0;
}
