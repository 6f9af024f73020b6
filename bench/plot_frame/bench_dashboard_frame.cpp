// CPU time of one Dashboard frame of the real program (the UI context's per-frame interface and
// ImGui::Render; the OpenGL drawing is left out) with 3 channels x 10,000 points in the store, the
// Live View (its tab selected), the Serial Terminal and the Channel Statistics window docked beside
// it as tabs; lines reduced per pixel
// column and, side by side, unreduced. Runs the program's window, so it needs a display (Xvfb).
//
// Then the same frame, by the wall clock, while the reader thread takes a pseudo-terminal at the
// highest rate it gives: nothing, clean lines, and random bytes (half of them 0x80 and above,
// each of which the reader reports on standard error, sent here to a file).
//
// Usage: bench_dashboard_frame [frames]
#include "plot/implot_internal.h"
#include "dock/Dock.h"
#include "render/OpenGLContext.h"
#include "serial/ChannelData.h"
#include "serial/SerialPort.h"
#include "serial/SerialReader.h"
#include "support/PtyDevice.h"
#include "support/UiHarness.h"
#include "ui/DashboardDockSpace.h"
#include "ui/DashboardSettings.h"
#include "ui/Sidebar.h"

#include <backends/imgui_impl_opengl3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <time.h>
#include <unistd.h>
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
    double cpuMean; // CPU of this thread: the rest of a wall-clock frame is waiting (the data lock, the scheduler)
};

double WallMs()
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

Result Measure(uitest::UiHarness& ui, bool reduce, int frames, double (*clock)() = ThreadCpuMs)
{
    ImPlot::GetCurrentContext()->ReduceLines = reduce;
    nwindow::GLWindow& w = ui.Window();
    std::vector<double> ms;
    int vertices = 0;
    double cpu = 0;
    for (int f = 0; f < frames + 20; ++f)
    {
        w.glContext->PreRender();
        const double c0 = ThreadCpuMs();
        const double t0 = clock();
        w.uiContext->PreRender();
        ImGui::Render();
        const double t1 = clock();
        if (f >= 20)
            cpu += ThreadCpuMs() - c0;
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
    return Result{sum / ms.size(), ms[ms.size() / 2], ms[(size_t)(ms.size() * 0.95)], vertices, cpu / ms.size()};
}

struct StreamResult
{
    Result frame;
    double kibPerSecond;    // input the reader took
    double stderrPerSecond; // bytes written to standard error
};

long FileSize(int fd)
{
    struct stat st;
    return fstat(fd, &st) == 0 ? (long)st.st_size : 0;
}

// Frames while a device thread writes `input` over and over as fast as the terminal takes it.
// The store is emptied first and refilled from the stream before the frames are timed.
StreamResult MeasureStreaming(uitest::UiHarness& ui, PtyDevice& device, const std::string& input, int frames,
                              int stderr_fd)
{
    std::atomic<bool> sending{!input.empty()};
    std::atomic<long> sent{0};
    std::thread writer([&] {
        while (sending)
            for (size_t at = 0; sending && at < input.size(); at += 4096)
            {
                const std::string piece = input.substr(at, 4096);
                if (!device.Send(piece))
                    return;
                sent += (long)piece.size();
            }
    });
    if (!input.empty())
    {
        {
            std::lock_guard<std::mutex> lock(ChannelDataMutex);
            SampleTimes.clear();
            for (std::vector<float>& history : ChannelHistories)
                history.clear();
        }
        std::vector<float> times;
        std::vector<std::vector<float>> channels;
        for (int i = 0; i < 2000 && times.size() < (size_t)GetMaxPointsPerChannel(); i++)
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            GetChannelDataSnapshot(times, channels);
        }
    }
    const long sent0 = sent, err0 = FileSize(stderr_fd);
    const double t0 = WallMs();
    StreamResult r;
    r.frame = Measure(ui, true, frames, WallMs);
    const double seconds = (WallMs() - t0) / 1e3;
    r.kibPerSecond = (double)(sent - sent0) / 1024.0 / seconds;
    r.stderrPerSecond = (double)(FileSize(stderr_fd) - err0) / seconds;
    sending = false;
    writer.join();
    return r;
}

std::string CleanLines()
{
    std::string lines;
    for (int i = 0; i < 100000; i++)
        lines += std::to_string(i % 1000) + "," + std::to_string(2 * (i % 1000)) + ",-" + std::to_string(i % 1000) +
                 ".5\r\n";
    return lines;
}

std::string RandomBytes()
{
    std::mt19937 random(1);
    std::string bytes(1 << 20, '\0');
    for (char& b : bytes)
        b = (char)(random() & 0xFF);
    return bytes;
}

void StreamingFigures(uitest::UiHarness& ui, int frames)
{
    PtyDevice device;
    if (OpenSerialPort(device.Path(), 921600, 0, 0) != SerialSuccess)
    {
        fprintf(stderr, "bench_dashboard_frame: cannot open the pseudo-terminal\n");
        return;
    }
    SetSerialPortOpen(true);

    // The reader's messages go to a file, so their volume can be told.
    fflush(stderr);
    const int saved_stderr = dup(2);
    char err_path[] = "/tmp/bench_dashboard_stderr_XXXXXX";
    const int err_fd = mkstemp(err_path);
    unlink(err_path);
    dup2(err_fd, 2);

    std::thread reader(SerialThreadMain);
    const StreamResult none = MeasureStreaming(ui, device, "", frames, err_fd);
    const StreamResult clean = MeasureStreaming(ui, device, CleanLines(), frames, err_fd);
    const StreamResult random = MeasureStreaming(ui, device, RandomBytes(), frames, err_fd);
    StopSerialThread();
    reader.join();
    SetSerialPortOpen(false);
    CloseSerialPort();

    fflush(stderr);
    dup2(saved_stderr, 2);
    close(saved_stderr);
    close(err_fd);

    printf("\nThe same frame (lines reduced), wall clock, while the reader thread takes a pseudo-terminal at the\n"
           "highest rate it gives, %d frames each, store refilled from the stream first\n",
           frames);
    printf("%-22s %12s %12s %12s\n", "", "no input", "clean lines", "random bytes");
    printf("%-22s %12.3f %12.3f %12.3f\n", "mean ms/frame", none.frame.mean, clean.frame.mean, random.frame.mean);
    printf("%-22s %12.3f %12.3f %12.3f\n", "median ms/frame", none.frame.median, clean.frame.median,
           random.frame.median);
    printf("%-22s %12.3f %12.3f %12.3f\n", "p95 ms/frame", none.frame.p95, clean.frame.p95, random.frame.p95);
    printf("%-22s %12.3f %12.3f %12.3f\n", "CPU mean ms/frame", none.frame.cpuMean, clean.frame.cpuMean,
           random.frame.cpuMean);
    printf("%-22s %12.0f %12.0f %12.0f\n", "input KiB/s taken", none.kibPerSecond, clean.kibPerSecond,
           random.kibPerSecond);
    printf("%-22s %12.0f %12.0f %12.0f\n", "stderr bytes/s", none.stderrPerSecond, clean.stderrPerSecond,
           random.stderrPerSecond);
    printf("random - clean, mean: %.3f ms (goal: at most 2 ms)\n", random.frame.mean - clean.frame.mean);
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

    StreamingFigures(ui, frames);
    return 0;
}
