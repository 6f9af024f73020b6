// Writes the README's two screenshots: the Dashboard with three live channels from a
// pseudo-terminal and a pair of measuring cursors (dark theme), and the Settings page (light
// theme). Not a test: the readme_screenshots target runs it under Xvfb and scales the pictures
// into docs/.
//
// Usage: readme_screenshots OUTPUT_DIR
#include "support/PtyDevice.h"
#include "support/UiHarness.h"

#include "dock/Dock.h"
#include "plot/implot_internal.h"
#include "serial/ChannelData.h"
#include "serial/SerialPort.h"
#include "serial/SerialReader.h"
#include "ui/DashboardDockSpace.h"
#include "ui/DashboardSettings.h"
#include "ui/Sidebar.h"
#include "ui/UIThemes.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>

using uitest::UiHarness;

static ImPlotPlot* FindPlot(const char* title)
{
    ImPlotContext* ctx = ImPlot::GetCurrentContext();
    for (int i = 0; i < ctx->Plots.GetMapSize(); i++)
        if (ImPlotPlot* plot = ctx->Plots.TryGetMapData(i))
            if (std::string(title) == plot->GetTitle())
                return plot;
    return nullptr;
}

// One line of the device: a damped oscillation, a square wave and a slow sawtooth.
static std::string DeviceLine(int i)
{
    const float t = i * 0.012f;
    const float wave = 6.0f * std::sin(t * 2.1f) * (0.6f + 0.4f * std::cos(t * 0.35f));
    const float square = std::sin(t * 1.3f) >= 0.0f ? 8.0f : 3.0f;
    const float saw = -6.0f + 4.0f * std::fmod(t * 0.45f, 1.0f);
    char line[96];
    std::snprintf(line, sizeof(line), "%.3f,%.3f,%.3f\r\n", wave, square, saw);
    return line;
}

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: readme_screenshots OUTPUT_DIR\n");
        return 2;
    }
    const std::string out = argv[1];
    uitest::ProgramDirectory dir;
    uitest::ConsoleCapture console; // the program's own status lines
    UiHarness ui;
    if (!ui.HasWindow())
    {
        std::fprintf(stderr, "readme_screenshots: no window (it needs a display)\n");
        return 1;
    }

    // Three channels; the Settings page sizes the channel names to the count.
    SetChannelCount(3);
    ui.UI().sidebar->selectedPage = "Settings";
    ui.RunFrames(3);
    ui.UI().sidebar->selectedPage = "Dashboard";
    ui.RunFrames(3);
    ui.Click(dock::GetDockSpaceTabRect(GetDashboardDockSpaceId(), "\xEF\x88\x81 Live View").GetCenter());

    PtyDevice device;
    if (OpenSerialPort(device.Path(), 115200, 0, 0) != SerialSuccess)
    {
        std::fprintf(stderr, "readme_screenshots: cannot open the pseudo-terminal\n");
        return 1;
    }
    {
        std::lock_guard<std::mutex> lock(ChannelDataMutex);
        ResetSerialParser();
    }
    SetSerialPortOpen(true);
    SerialThreadRunning = true;
    std::thread reader(SerialThreadMain);

    // The reader takes one line every 10 ms: a line, then a frame.
    for (int i = 0; i < 700; i++)
    {
        device.Send(DeviceLine(i));
        std::this_thread::sleep_for(std::chrono::milliseconds(11));
        ui.RunFrames(1);
    }
    device.WaitUntilRead();
    ui.RunFrames(2);

    // Two cursors, a third and two thirds across the plot.
    cursorsEnabled = true;
    dualCursorMode = true;
    ui.RunFrames(2);
    int status = 0;
    if (ImPlotPlot* plot = FindPlot("Combined View"))
    {
        const ImRect area = plot->PlotRect;
        const float y = area.GetCenter().y;
        ui.Click(ImVec2(area.Min.x + area.GetWidth() * 0.36f, y));
        ui.Click(ImVec2(area.Min.x + area.GetWidth() * 0.72f, y));
        // Over the second cursor: its tooltip with the values and the differences.
        ui.MoveMouse(ImVec2(area.Min.x + area.GetWidth() * 0.72f, area.Min.y + area.GetHeight() * 0.3f));
        if (!ui.SaveScreenshot(out + "/dashboard-dark.png"))
            status = 1;
    }
    else
    {
        std::fprintf(stderr, "readme_screenshots: no Live View plot\n");
        status = 1;
    }

    // The port closed, so the Settings page shows the port's choices.
    StopSerialThread();
    reader.join();
    SetSerialPortOpen(false);
    CloseSerialPort();

    ApplyLightTheme(ImGui::GetStyle());
    ThemeIndex = 0;
    PlotThemeIndex = false;
    ui.UI().sidebar->selectedPage = "Settings";
    ui.MoveMouse(ImVec2(-FLT_MAX, -FLT_MAX));
    ui.RunFrames(3);
    if (!ui.SaveScreenshot(out + "/settings-light.png"))
        status = 1;
    return status;
}
