// CPU time of one Dashboard frame of the real program (the UI context's per-frame interface and
// ImGui::Render; the OpenGL drawing is left out) with 3 channels x 10,000 points in the store, the
// Live View (its tab selected), the Serial Terminal and the Channel Statistics window docked beside
// it as tabs; lines reduced per pixel
// column and, side by side, unreduced. Runs the program's window, so it needs a display (Xvfb).
//
// Usage: bench_dashboard_frame [frames]
#include "plot/implot_internal.h"
#include "dock/Dock.h"
#include "render/OpenGLContext.h"
#include "serial/ChannelData.h"
#include "support/UiHarness.h"
#include "ui/DashboardDockSpace.h"
#include "ui/DashboardSettings.h"
#include "ui/Sidebar.h"

#include <backends/imgui_impl_opengl3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <time.h>
#include <vector>

namespace
{

double ThreadCpuMs()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec * 1e-6;
}

struct Result
{
    double mean, median, p95;
    int vertices;
};

Result Measure(uitest::UiHarness& ui, bool reduce, int frames)
{
    ImPlot::GetCurrentContext()->ReduceLines = reduce;
    nwindow::GLWindow& w = ui.Window();
    std::vector<double> ms;
    int vertices = 0;
    for (int f = 0; f < frames + 20; ++f)
    {
        w.glContext->PreRender();
        const double t0 = ThreadCpuMs();
        w.uiContext->PreRender();
        ImGui::Render();
        const double t1 = ThreadCpuMs();
        ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
        vertices = ImGui::GetDrawData()->TotalVtxCount;
        w.glContext->PostRender();
        if (f >= 20)
            ms.push_back(t1 - t0);
    }
    std::sort(ms.begin(), ms.end());
    double sum = 0;
    for (double v : ms)
        sum += v;
    return Result{sum / ms.size(), ms[ms.size() / 2], ms[(size_t)(ms.size() * 0.95)], vertices};
}

} // namespace

int main(int argc, char** argv)
{
    const int frames = argc > 1 ? std::max(10, atoi(argv[1])) : 300;
    uitest::ProgramDirectory dir;
    uitest::ConsoleCapture console; // the program's own status lines
    uitest::UiHarness ui;
    if (!ui.HasWindow())
    {
        fprintf(stderr, "bench_dashboard_frame: no window (it needs a display)\n");
        return 1;
    }
    const int points = 10000;
    SetMaxPointsPerChannel(points);
    SetChannelCount(3);
    {
        std::lock_guard<std::mutex> lock(ChannelDataMutex);
        SampleTimes.resize(points);
        ChannelHistories.assign(3, std::vector<float>(points));
        for (int i = 0; i < points; ++i)
        {
            SampleTimes[i] = i * 0.001f;
            for (int c = 0; c < 3; ++c)
                ChannelHistories[c][i] = (c + 1) * std::sin(i * 0.002f * (c + 1)) + 0.3f * std::sin(i * 1.7f + c);
        }
    }
    ShowChannelStatistics = true;
    // The Settings page sizes the channel names to the channel count, and so the labels.
    ui.UI().sidebar->selectedPage = "Settings";
    ui.RunFrames(3);
    ui.UI().sidebar->selectedPage = "Dashboard";
    ui.RunFrames(5);
    // The Serial Terminal's tab is docked first and so selected; show the Live View's.
    ui.Click(dock::GetDockSpaceTabRect(GetDashboardDockSpaceId(), "\xEF\x88\x81 Live View").GetCenter());
    ui.RunFrames(5);

    const Result reduced = Measure(ui, true, frames);
    const Result full = Measure(ui, false, frames);
    printf("Dashboard frame of the program (1024 x 720): UI pre-render and ImGui::Render, CPU of this thread,\n"
           "%d frames each, 3 channels x %d points; Live View (its tab selected), Serial Terminal and Channel\n"
           "Statistics open, docked as tabs\n",
           frames, points);
    printf("%-22s %12s %12s\n", "", "reduced", "unreduced");
    printf("%-22s %12.3f %12.3f\n", "mean ms/frame", reduced.mean, full.mean);
    printf("%-22s %12.3f %12.3f\n", "median ms/frame", reduced.median, full.median);
    printf("%-22s %12.3f %12.3f\n", "p95 ms/frame", reduced.p95, full.p95);
    printf("%-22s %12d %12d\n", "vertices/frame", reduced.vertices, full.vertices);
    printf("goal: at most 2 ms per Dashboard frame\n");
    return 0;
}
