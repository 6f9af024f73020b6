// The Live View in the real program window: the combined plot, its legend
// popup, the cursors and the individual views, with data from the store and
// from a pseudo-terminal through the reader thread.
#include "support/PtyDevice.h"
#include "support/UiHarness.h"

#include "dock/Dock.h"
#include "plot/implot_internal.h"
#include "serial/ChannelData.h"
#include "serial/SerialPort.h"
#include "serial/SerialReader.h"
#include "ui/DashboardDockSpace.h"
#include "ui/DashboardSettings.h"
#include "ui/LiveView.h"
#include "ui/MeasuringCursors.h"
#include "ui/Sidebar.h"
#include "ui/UIThemes.h"

#include <stb/stb_image.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

using uitest::ConsoleCapture;
using uitest::ProgramDirectory;
using uitest::UiHarness;

static const char* LiveViewTitle = "\xEF\x88\x81 Live View";
static const char* TooltipWindow = "##Tooltip_00";

namespace
{

// The program in a fresh directory with an empty store and default view options.
class LiveViewUi : public ::testing::Test
{
protected:
    ProgramDirectory dir;
    UiHarness ui;

    void SetUp() override
    {
        ASSERT_TRUE(ui.HasWindow());
        ResetState();
        // The Serial Terminal is drawn first, so its tab is the one selected at first.
        ShowPage("Dashboard");
        ui.Click(dock::GetDockSpaceTabRect(GetDashboardDockSpaceId(), LiveViewTitle).GetCenter());
        ui.RunFrames(2);
    }
    void TearDown() override { ResetState(); }

    static void ResetState()
    {
        SetStore({}, {});
        SetChannelCount(0);
        SetMaxPointsPerChannel(1000);
        ChannelDisplayNames.clear();
        ChannelPlotTypes.clear();
        ChannelLineWeights.clear();
        cursorsEnabled = false;
        dualCursorMode = false;
        ShowChannelStatistics = false;
        showIntersectionDots = true;
        for (bool& shown : ShowIndividualPlot)
            shown = false;
        ClearCursors();
        ThemeIndex = 1;
        PlotThemeIndex = true;
        ApplyDarkTheme(ImGui::GetStyle());
    }

    static void SetStore(const std::vector<float>& times, const std::vector<std::vector<float>>& channels)
    {
        std::lock_guard<std::mutex> lock(ChannelDataMutex);
        SampleTimes = times;
        ChannelHistories = channels;
    }

    // n samples of three channels: times 0, 1, ...; values i, 10 + i, -i.
    static void FillStore(int n)
    {
        std::vector<float> times;
        std::vector<std::vector<float>> channels(3);
        for (int i = 0; i < n; i++)
        {
            times.push_back((float)i);
            channels[0].push_back((float)i);
            channels[1].push_back(10.0f + (float)i);
            channels[2].push_back(-(float)i);
        }
        SetStore(times, channels);
    }

    void ShowPage(const char* page, int frames = 3)
    {
        ui.UI().sidebar->selectedPage = page;
        ui.RunFrames(frames);
    }

    // The channel count as the settings set it, with the Live View Settings
    // section drawn once so the channel names follow.
    void SetChannels(int count)
    {
        SetChannelCount(count);
        ShowPage("Settings");
        ShowPage("Dashboard");
    }

    // Press at from, move to to in steps, release there.
    void Drag(ImVec2 from, ImVec2 to)
    {
        ui.MoveMouse(from);
        ImGui::GetIO().AddMouseButtonEvent(ImGuiMouseButton_Left, true);
        ui.RunFrames(1);
        for (int i = 1; i <= 8; i++)
            ui.MoveMouse(ImVec2(from.x + (to.x - from.x) * i / 8, from.y + (to.y - from.y) * i / 8));
        ImGui::GetIO().AddMouseButtonEvent(ImGuiMouseButton_Left, false);
        ui.RunFrames(2);
    }

    void RightClick(ImVec2 pos)
    {
        ui.MoveMouse(pos);
        ImGui::GetIO().AddMouseButtonEvent(ImGuiMouseButton_Right, true);
        ui.RunFrames(1);
        ImGui::GetIO().AddMouseButtonEvent(ImGuiMouseButton_Right, false);
        ui.RunFrames(2);
    }
};

ImPlotPlot* FindPlot(const std::string& title)
{
    ImPlotContext* ctx = ImPlot::GetCurrentContext();
    for (int i = 0; i < ctx->Plots.GetMapSize(); i++)
        if (ImPlotPlot* plot = ctx->Plots.TryGetMapData(i))
            if (title == plot->GetTitle())
                return plot;
    return nullptr;
}

std::vector<std::string> LegendNames(ImPlotPlot* plot)
{
    std::vector<std::string> names;
    for (int index : plot->LegendIndices)
        names.push_back(plot->GetItemName(*plot->Items.GetByIndex(index)));
    return names;
}

ImPlotItem* LegendItem(ImPlotPlot* plot, const std::string& name)
{
    for (int index : plot->LegendIndices)
    {
        ImPlotItem* item = plot->Items.GetByIndex(index);
        if (name == plot->GetItemName(*item))
            return item;
    }
    return nullptr;
}

ImVec2 Center(const ImRect& r) { return ImVec2((r.Min.x + r.Max.x) * 0.5f, (r.Min.y + r.Max.y) * 0.5f); }

struct Image
{
    int w = 0, h = 0;
    std::vector<unsigned char> rgb;
    bool Load(const std::string& path)
    {
        int n = 0;
        unsigned char* data = stbi_load(path.c_str(), &w, &h, &n, 3);
        if (!data)
            return false;
        rgb.assign(data, data + (size_t)w * h * 3);
        stbi_image_free(data);
        return true;
    }
    // Pixels inside r whose every component is at least level.
    int CountBright(const ImRect& r, int level) const
    {
        int count = 0;
        for (int y = std::max(0, (int)r.Min.y); y < std::min(h, (int)r.Max.y); y++)
            for (int x = std::max(0, (int)r.Min.x); x < std::min(w, (int)r.Max.x); x++)
            {
                const unsigned char* p = &rgb[((size_t)y * w + x) * 3];
                if (p[0] >= level && p[1] >= level && p[2] >= level)
                    count++;
            }
        return count;
    }
    // Pixels inside r within tolerance of a colour.
    int Count(const ImRect& r, ImVec4 c, int tolerance = 3) const
    {
        const int want[3] = {(int)std::lround(c.x * 255), (int)std::lround(c.y * 255), (int)std::lround(c.z * 255)};
        int count = 0;
        for (int y = std::max(0, (int)r.Min.y); y < std::min(h, (int)r.Max.y); y++)
            for (int x = std::max(0, (int)r.Min.x); x < std::min(w, (int)r.Max.x); x++)
            {
                const unsigned char* p = &rgb[((size_t)y * w + x) * 3];
                if (std::abs(p[0] - want[0]) <= tolerance && std::abs(p[1] - want[1]) <= tolerance &&
                    std::abs(p[2] - want[2]) <= tolerance)
                    count++;
            }
        return count;
    }
};

} // namespace

TEST_F(LiveViewUi, EmptyStoreShowsNoDataAndNoCursor)
{
    SetChannels(3);
    ASSERT_TRUE(ui.WindowActive(LiveViewTitle));
    ImPlotPlot* plot = FindPlot("Combined View");
    ASSERT_NE(plot, nullptr);
    EXPECT_TRUE(plot->LegendIndices.empty());

    // "No data available" in the middle of the plot, in the inlay text colour: at first, and after
    // data far from the default axis range was shown and then went away (the axes keep its range).
    for (const char* when : {"first", "after-data"})
    {
        if (std::string(when) == "after-data")
        {
            SetStore({280.0f, 281.0f, 282.0f}, {{5.0f, 6.0f, 7.0f}, {5.0f, 6.0f, 7.0f}, {5.0f, 6.0f, 7.0f}});
            ui.RunFrames(3);
            SetStore({}, {});
            ui.RunFrames(3);
            EXPECT_GT(plot->XAxis.Range.Min, 279.0);
        }
        const std::string path = uitest::TestDirectory() + "/screenshots/liveview-no-data-" + when + ".png";
        ASSERT_TRUE(ui.SaveScreenshot(path));
        Image shot;
        ASSERT_TRUE(shot.Load(path));
        const ImVec2 c = Center(plot->PlotRect);
        const ImRect middle(ImVec2(c.x - 80, c.y - 12), ImVec2(c.x + 80, c.y + 12));
        EXPECT_GT(shot.CountBright(middle, 170), 30) << when;
        // Nowhere else in the plot (the grid lines are darker than text).
        const ImRect lower(ImVec2(c.x - 80, c.y + 60), ImVec2(c.x + 80, c.y + 84));
        EXPECT_EQ(shot.CountBright(lower, 170), 0) << when;
        EXPECT_TRUE(plot->LegendIndices.empty());
    }
    const ImVec2 c = Center(plot->PlotRect);

    // Cursors on, in both modes: no tooltip over the empty plot, no cursor placed.
    cursorsEnabled = true;
    for (bool dual : {false, true})
    {
        dualCursorMode = dual;
        ui.Click(c);
        EXPECT_FALSE(ui.WindowActive(TooltipWindow));
        EXPECT_FALSE(DualCursorState::cursor1Placed);
    }
}

TEST_F(LiveViewUi, EveryChannelInItsColourWithLegendPopup)
{
    FillStore(20);
    SetChannels(3);
    ImPlotPlot* plot = FindPlot("Combined View");
    ASSERT_NE(plot, nullptr);
    ASSERT_EQ(LegendNames(plot), (std::vector<std::string>{"Channel 1", "Channel 2", "Channel 3"}));
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(LegendItem(plot, "Channel " + std::to_string(i + 1))->Color,
                  ImGui::ColorConvertFloat4ToU32(ChannelColors[i]));
    // Both axes fitted to the data.
    EXPECT_LE(plot->XAxis.Range.Min, 0.0);
    EXPECT_GE(plot->XAxis.Range.Max, 19.0);
    EXPECT_LE(plot->YAxis.Range.Min, -19.0);
    EXPECT_GE(plot->YAxis.Range.Max, 29.0);

    // Right click on the second legend entry opens its plot-type popup.
    ImPlotItem* second = LegendItem(plot, "Channel 2");
    RightClick(Center(second->LegendHoverRect));
    ImGuiContext& g = *ImGui::GetCurrentContext();
    ASSERT_EQ(g.OpenPopupStack.Size, 1);
    ImGuiWindow* popup = g.OpenPopupStack[0].Window;
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(popup->Active);
    // "Line Plot" is the last row; clicking it keeps type 0 and grows the table.
    const ImRect r = popup->Rect();
    ui.Click(ImVec2(r.Min.x + 40, r.Max.y - g.Style.WindowPadding.y - g.FontSize * 0.5f));
    EXPECT_EQ(g.OpenPopupStack.Size, 0);
    EXPECT_EQ(ChannelPlotTypes, (std::vector<int>{0, 0}));
}

TEST_F(LiveViewUi, LabelsFollowTheNamesAndEveryChannelIsDrawn)
{
    FillStore(5);
    SetChannels(3);
    ChannelDisplayNames = {"Temp", "", "Temp"};
    ui.RunFrames(2);
    ImPlotPlot* plot = FindPlot("Combined View");
    ASSERT_NE(plot, nullptr);
    EXPECT_EQ(LegendNames(plot), (std::vector<std::string>{"Temp (1)", "Channel 2", "Temp (2)"}));

    // Fewer names than channels (the count raised while the section was not drawn): every channel is drawn.
    ChannelDisplayNames.resize(2);
    ui.RunFrames(2);
    EXPECT_EQ(LegendNames(plot), (std::vector<std::string>{"Temp", "Channel 2", "Channel 3"}));

    // Lowered the same way, with names left for gone channels and the third one's view in front.
    ChannelDisplayNames.resize(3);
    ShowIndividualPlot[2] = true;
    ui.RunFrames(2);
    ui.Click(Center(dock::GetDockSpaceTabRect(GetDashboardDockSpaceId(), "Channel 3 - Individual View")));
    ConsoleCapture console;
    SetChannelCount(1);
    SetStore({0.0f, 1.0f}, {{1.0f, 2.0f}});
    ui.RunFrames(2);
    EXPECT_EQ(console.Out().find("[RENDER ERROR]"), std::string::npos) << console.Out();
}

TEST_F(LiveViewUi, InconsistentSnapshotReportedEveryFrame)
{
    SetChannels(2);
    SetStore({0.0f, 1.0f, 2.0f}, {{1.0f, 2.0f, 3.0f}, {1.0f, 2.0f}});
    ConsoleCapture console;
    ui.RunFrames(3);
    int mismatches = 0;
    for (const std::string& line : console.OutLines())
        if (line == "[RENDER ERROR] Channel 1 size mismatch (snapshot) - channelData: 2, xValues: 3")
            mismatches++;
    EXPECT_EQ(mismatches, 3);
    EXPECT_EQ(LegendNames(FindPlot("Combined View")), (std::vector<std::string>{"Channel 1"}));
}

TEST_F(LiveViewUi, SingleCursorSnapsWithTooltip)
{
    FillStore(11);
    SetChannels(3);
    cursorsEnabled = true;
    ImPlotPlot* plot = FindPlot("Combined View");
    ASSERT_NE(plot, nullptr);
    const ImVec2 c = Center(plot->PlotRect);
    ui.MoveMouse(c);
    EXPECT_TRUE(ui.WindowActive(TooltipWindow));
    // The line is an item outside the legend.
    EXPECT_EQ(LegendNames(plot).size(), 3u);
    ui.MoveMouse(ImVec2(c.x, plot->PlotRect.Max.y + 200)); // off the plot
    EXPECT_FALSE(ui.WindowActive(TooltipWindow));
}

TEST_F(LiveViewUi, DualCursorsPlaceMoveClearAcrossViews)
{
    FillStore(11);
    SetChannels(3);
    cursorsEnabled = true;
    dualCursorMode = true;
    ShowIndividualPlot[0] = true;
    ui.RunFrames(3);
    ImPlotPlot* plot = FindPlot("Combined View");
    ASSERT_NE(plot, nullptr);
    const ImRect area = plot->PlotRect;
    const float y = Center(area).y;
    const float x1 = area.Min.x + area.GetWidth() * 0.25f;
    const float x2 = area.Min.x + area.GetWidth() * 0.75f;

    ui.Click(ImVec2(x1, y));
    ASSERT_TRUE(DualCursorState::cursor1Placed);
    EXPECT_FALSE(DualCursorState::cursor2Placed);
    EXPECT_FALSE(DualCursorState::cursor1Dragging); // released
    const double t1 = DualCursorState::cursor1Time;
    EXPECT_GT(t1, plot->XAxis.Range.Min);
    EXPECT_LT(t1, plot->XAxis.Range.Max);

    ui.Click(ImVec2(x2, y));
    ASSERT_TRUE(DualCursorState::cursor2Placed);
    EXPECT_GT(DualCursorState::cursor2Time, t1);

    // Hovering near cursor 1 shows its tooltip.
    ui.MoveMouse(ImVec2(x1, y));
    EXPECT_TRUE(ui.WindowActive(TooltipWindow));

    // Opaque dots in each cursor's colour on the three channels, only while dots are on.
    const std::string shots = uitest::TestDirectory() + "/screenshots/";
    const ImVec4 red(1.0f, 0.0f, 0.0f, 1.0f), blue(0.0f, 138 / 255.0f, 230 / 255.0f, 1.0f);
    ASSERT_TRUE(ui.SaveScreenshot(shots + "liveview-dual-cursors.png"));
    Image shot;
    ASSERT_TRUE(shot.Load(shots + "liveview-dual-cursors.png"));
    EXPECT_GT(shot.Count(area, red, 1), 3 * 8);
    const int blueWithDots = shot.Count(area, blue, 1);
    showIntersectionDots = false;
    ASSERT_TRUE(ui.SaveScreenshot(shots + "liveview-dual-cursors-no-dots.png"));
    ASSERT_TRUE(shot.Load(shots + "liveview-dual-cursors-no-dots.png"));
    // Cursor 1's line is translucent, so no pure red is left; cursor 2's line is opaque blue.
    EXPECT_EQ(shot.Count(area, red, 1), 0);
    EXPECT_GT(blueWithDots, shot.Count(area, blue, 1) + 3 * 8);
    showIntersectionDots = true;

    // The individual view, a tab beside the Live View, shows and moves the same pair.
    const ImRect tab = dock::GetDockSpaceTabRect(GetDashboardDockSpaceId(), "Channel 1 - Individual View");
    ASSERT_GT(tab.GetWidth(), 0.0f);
    ui.Click(Center(tab));
    ASSERT_TRUE(ui.WindowActive("Channel 1 - Individual View"));
    ImPlotPlot* single = FindPlot("Channel 1");
    ASSERT_NE(single, nullptr);
    const ImRect singleArea = single->PlotRect;
    // Its tooltip shows anywhere over the plot, even far from both cursors.
    ui.MoveMouse(ImVec2(singleArea.Max.x - 3, Center(singleArea).y));
    EXPECT_TRUE(ui.WindowActive(TooltipWindow));
    // A click left of both moves cursor 1, the nearer one, to the click.
    const double before2 = DualCursorState::cursor2Time;
    ui.Click(ImVec2(singleArea.Min.x + 3, Center(singleArea).y));
    EXPECT_LT(DualCursorState::cursor1Time, t1);
    EXPECT_DOUBLE_EQ(DualCursorState::cursor2Time, before2);
    const double moved1 = DualCursorState::cursor1Time;

    // Back in the combined plot a right click clears both; the times are kept.
    ui.Click(Center(dock::GetDockSpaceTabRect(GetDashboardDockSpaceId(), LiveViewTitle)));
    ASSERT_TRUE(ui.WindowActive(LiveViewTitle));
    RightClick(Center(area));
    EXPECT_FALSE(DualCursorState::cursor1Placed);
    EXPECT_FALSE(DualCursorState::cursor2Placed);
    EXPECT_DOUBLE_EQ(DualCursorState::cursor1Time, moved1);
}

// An individual view dragged out of the dock, 400 x 300 beside the Live View: a click or drag
// moves a cursor only in the plot where it started; its axis shows several labelled ticks; its
// lines are anti-aliased while the combined plot's are not.
TEST_F(LiveViewUi, FloatingIndividualViewBesideTheLiveView)
{
    std::vector<float> times;
    std::vector<std::vector<float>> channels(3);
    for (int i = 0; i <= 100; i++)
    {
        times.push_back(250.0f + i * 0.5f);
        channels[0].push_back(2.0f + 5.0f * std::sin(i * 0.1f)); // -3 .. 7
        channels[1].push_back((float)i);
        channels[2].push_back(-(float)i);
    }
    SetStore(times, channels);
    SetChannels(3);
    cursorsEnabled = true;
    dualCursorMode = true;
    ShowIndividualPlot[0] = true;
    ui.RunFrames(3);

    // Drag the view's tab out so that the window lands in the lower right corner.
    const char* title = "Channel 1 - Individual View";
    const ImRect tab = dock::GetDockSpaceTabRect(GetDashboardDockSpaceId(), title);
    ASSERT_GT(tab.GetWidth(), 0.0f);
    const ImVec2 display = ImGui::GetIO().DisplaySize;
    const ImVec2 grab = Center(tab);
    Drag(grab, ImVec2(display.x - 410 + (grab.x - tab.Min.x), display.y - 310 + (grab.y - tab.Min.y)));
    ui.RunFrames(2);
    ASSERT_FALSE(dock::IsWindowDocked(title));
    ASSERT_TRUE(ui.WindowActive(LiveViewTitle));
    ASSERT_TRUE(ui.WindowActive(title));
    const ImRect floating = ui.WindowRect(title);
    EXPECT_EQ(floating.GetWidth(), 400.0f);
    EXPECT_EQ(floating.GetHeight(), 300.0f);
    ImPlotPlot* combined = FindPlot("Combined View");
    ImPlotPlot* single = FindPlot("Channel 1");
    ASSERT_TRUE(combined && single);

    // A click in the combined plot, left of the floating window, puts cursor 1 at the click.
    const ImRect area = combined->PlotRect;
    ASSERT_LT(area.Min.x + 100, floating.Min.x);
    const float x1 = area.Min.x + 100;
    ui.Click(ImVec2(x1, Center(area).y));
    ASSERT_TRUE(DualCursorState::cursor1Placed);
    EXPECT_NEAR(DualCursorState::cursor1Time, combined->XAxis.PixelsToPlot(x1), 0.01);
    // A press in the individual view places cursor 2; its drag follows the mouse in that plot.
    const ImRect singleArea = single->PlotRect;
    const float xa = singleArea.Min.x + singleArea.GetWidth() * 0.75f, xb = singleArea.Min.x + 20;
    Drag(ImVec2(xa, Center(singleArea).y), ImVec2(xb, Center(singleArea).y));
    ASSERT_TRUE(DualCursorState::cursor2Placed);
    EXPECT_NEAR(DualCursorState::cursor2Time, single->XAxis.PixelsToPlot(xb), 0.01);
    EXPECT_NEAR(DualCursorState::cursor1Time, combined->XAxis.PixelsToPlot(x1), 0.01);

    // The y axis of the small view: several labels, none overlapping.
    std::vector<float> labelY;
    for (const ImPlotTick& t : single->YAxis.Ticker.Ticks)
        if (t.Major && single->YAxis.Range.Contains(t.PlotPos))
            labelY.push_back(single->YAxis.PlotToPixels(t.PlotPos));
    EXPECT_GE(labelY.size(), 3u);
    for (size_t i = 1; i < labelY.size(); i++)
        EXPECT_GT(std::fabs(labelY[i] - labelY[i - 1]), ImGui::GetTextLineHeight());

    // Vertices of a channel line: anti-aliased ones carry the atlas's line texture or a clear fringe.
    auto antiAliasedVertices = [](const char* window, ImVec4 colour) {
        const ImDrawList* dl = ImGui::FindWindowByName(window)->DrawList;
        const ImU32 rgb = ImGui::ColorConvertFloat4ToU32(colour) & 0x00FFFFFF;
        const ImVec2 white = dl->_Data->TexUvWhitePixel;
        int n = 0;
        for (const ImDrawVert& v : dl->VtxBuffer)
            if ((v.col & 0x00FFFFFF) == rgb && (v.uv.x != white.x || v.uv.y != white.y || (v.col >> 24) == 0))
                n++;
        return n;
    };
    ui.SaveScreenshot(uitest::TestDirectory() + "/screenshots/liveview-floating-individual-view.png");
    EXPECT_GT(antiAliasedVertices(title, ChannelColors[0]), 100);
    EXPECT_EQ(antiAliasedVertices(LiveViewTitle, ChannelColors[0]), 0);
}

TEST_F(LiveViewUi, IndividualViewsHaveTheirTitles)
{
    FillStore(10);
    SetChannels(3);
    ui.RunFrames(2);
    EXPECT_FALSE(ui.WindowActive("Channel 1 - Individual View"));

    ShowIndividualPlot[1] = true;
    ui.RunFrames(3);
    EXPECT_TRUE(ImGui::FindWindowByName("Channel 2 - Individual View") != nullptr);
    EXPECT_FALSE(ImGui::FindWindowByName("Channel 1 - Individual View") != nullptr);
    // Docked beside the Live View on first use; its plot is titled after the channel.
    EXPECT_EQ(dock::GetWindowDockID("Channel 2 - Individual View"), GetDashboardDockSpaceId());
    ui.Click(Center(dock::GetDockSpaceTabRect(GetDashboardDockSpaceId(), "Channel 2 - Individual View")));
    ASSERT_TRUE(ui.WindowActive("Channel 2 - Individual View"));
    ImPlotPlot* plot = FindPlot("Channel 2");
    ASSERT_NE(plot, nullptr);
    EXPECT_EQ(LegendNames(plot), (std::vector<std::string>{"Channel 2"}));
    EXPECT_EQ(plot->Items.GetByIndex(plot->LegendIndices[0])->Color, ImGui::ColorConvertFloat4ToU32(ChannelColors[1]));

    // Same names are numbered, so both windows exist side by side.
    ShowIndividualPlot[2] = true;
    ChannelDisplayNames = {"", "Temp", "Temp"};
    ui.RunFrames(3);
    EXPECT_TRUE(ImGui::FindWindowByName("Temp (1) - Individual View") != nullptr);
    EXPECT_TRUE(ImGui::FindWindowByName("Temp (2) - Individual View") != nullptr);
}

// The mouse position over the settings item with this label (in the Live View
// section's ID scope), found by moving down the window, as scrolled, then
// scrolled to the end (the sections above may push it out of view); (-1, -1) if none.
static ImVec2 FindSettingsItem(UiHarness& ui, const char* label)
{
    ImGuiWindow* window = ImGui::FindWindowByName("SettingsFullWindow");
    if (!window)
        return ImVec2(-1, -1);
    const ImGuiID id = ImHashStr(label, 0, ImHashStr("UIContextViewer", 0, window->ID));
    const ImRect r = window->Rect();
    for (int pass = 0; pass < 2; pass++)
    {
        if (pass == 1)
        {
            ImGui::SetScrollY(window, window->ScrollMax.y);
            ui.RunFrames(2);
        }
        for (float y = r.Min.y + 2; y < r.Max.y; y += 8)
        {
            const ImVec2 pos(r.Min.x + 50, y);
            ImGui::GetIO().AddMousePosEvent(pos.x, pos.y);
            ui.RunFrames(1);
            if (ImGui::GetCurrentContext()->HoveredId == id)
                return pos;
        }
    }
    return ImVec2(-1, -1);
}

TEST_F(LiveViewUi, SettingsControlsSetTheViewOptions)
{
    SetChannelCount(3);
    ShowPage("Settings");
    ImGuiContext& g = *ImGui::GetCurrentContext();

    ImVec2 pos = FindSettingsItem(ui, "Enable Cursors");
    ASSERT_GE(pos.x, 0.0f);
    ui.Click(pos);
    EXPECT_TRUE(cursorsEnabled);

    // The mode combo appears under it; its second entry is "Dual Cursors".
    pos = FindSettingsItem(ui, "Cursor Mode");
    ASSERT_GE(pos.x, 0.0f);
    ui.Click(pos);
    ASSERT_EQ(g.OpenPopupStack.Size, 1);
    const ImRect popup = g.OpenPopupStack[0].Window->Rect();
    const float row = g.FontSize + g.Style.ItemSpacing.y;
    ui.Click(ImVec2(popup.Min.x + 20, popup.Min.y + g.Style.WindowPadding.y + row * 1.5f));
    EXPECT_TRUE(dualCursorMode);

    pos = FindSettingsItem(ui, "Show Individual Plot##Visible1");
    ASSERT_GE(pos.x, 0.0f);
    ui.Click(pos);
    EXPECT_FALSE(ShowIndividualPlot[0]);
    EXPECT_TRUE(ShowIndividualPlot[1]);

    // A typed name becomes the channel's label.
    pos = FindSettingsItem(ui, "Data 1");
    ASSERT_GE(pos.x, 0.0f);
    ui.Click(pos);
    ImGui::GetIO().AddInputCharactersUTF8("Temp");
    ui.RunFrames(2);
    ui.PressKey(ImGuiKey_Enter);
    EXPECT_EQ(ChannelDisplayNames, (std::vector<std::string>{"Temp", "", ""}));

    pos = FindSettingsItem(ui, "Show Channel Statistics");
    ASSERT_GE(pos.x, 0.0f);
    ui.MoveMouse(pos);
    EXPECT_TRUE(ui.WindowActive(TooltipWindow));
    ui.Click(pos);
    EXPECT_TRUE(ShowChannelStatistics);
    ShowChannelStatistics = false;

    // Clearing "Enable Cursors" hides the combo and keeps the mode.
    pos = FindSettingsItem(ui, "Enable Cursors");
    ui.Click(pos);
    EXPECT_FALSE(cursorsEnabled);
    EXPECT_TRUE(dualCursorMode);
    EXPECT_LT(FindSettingsItem(ui, "Cursor Mode").x, 0.0f);
}

TEST_F(LiveViewUi, SettingsSectionClampsAndResizesNames)
{
    SetMaxPointsPerChannel(20000);
    SetChannelCount(3);
    ShowPage("Settings");
    EXPECT_EQ(GetMaxPointsPerChannel(), 10000);
    EXPECT_EQ(ChannelDisplayNames.size(), 3u);
    SetMaxPointsPerChannel(-5);
    ChannelDisplayNames = {"a", "b", "c"};
    SetChannelCount(1);
    ui.RunFrames(2);
    EXPECT_EQ(GetMaxPointsPerChannel(), 0);
    EXPECT_EQ(ChannelDisplayNames, (std::vector<std::string>{"a"}));
    SetChannelCount(3);
    ui.RunFrames(2);
    EXPECT_EQ(ChannelDisplayNames, (std::vector<std::string>{"a", "", ""}));

    // A typed size is the limit only once the edit ends: with Enter, or when another page is chosen.
    ui.Click(FindSettingsItem(ui, "##DataSize"));
    ImGui::GetIO().AddInputCharactersUTF8("5000");
    ui.RunFrames(2);
    EXPECT_EQ(GetMaxPointsPerChannel(), 0);
    ui.PressKey(ImGuiKey_Enter);
    EXPECT_EQ(GetMaxPointsPerChannel(), 5000);
    ui.Click(FindSettingsItem(ui, "##DataSize"));
    ImGui::GetIO().AddInputCharactersUTF8("300");
    ui.RunFrames(1);
    ShowPage("Dashboard", 1);
    EXPECT_EQ(GetMaxPointsPerChannel(), 300);
}

// Three channels from a pseudo-terminal through the reader thread, drawn live;
// screenshots of the Dashboard in both themes go into the build tree.
TEST_F(LiveViewUi, LiveDataFromPseudoTerminalInBothThemes)
{
    PtyDevice device;
    SetChannels(3);
    ASSERT_EQ(OpenSerialPort(device.Path(), 115200, 0, 0), SerialSuccess);
    {
        // Sample times count from here.
        std::lock_guard<std::mutex> lock(ChannelDataMutex);
        ResetSerialParser();
    }
    SetSerialPortOpen(true);
    SerialThreadRunning = true;
    std::thread reader(SerialThreadMain);

    // The reader takes one line every 10 ms: send a line, draw a frame.
    for (int i = 0; i < 60; i++)
    {
        const float a = std::sin(i * 0.2f) * 10.0f;
        device.Send(std::to_string(a) + "," + std::to_string(20.0f + i * 0.5f) + "," + std::to_string(-a) + "\r\n");
        std::this_thread::sleep_for(std::chrono::milliseconds(12));
        ui.RunFrames(1);
    }
    // Drawing on until the reader has caught up (it may lag on a loaded machine).
    std::vector<float> times;
    std::vector<std::vector<float>> channels;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (;;)
    {
        ui.RunFrames(1);
        GetChannelDataSnapshot(times, channels);
        // The first line only synchronises the reader on its LF.
        if (times.size() >= 59 || std::chrono::steady_clock::now() > end)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // The last line may have arrived after the frame drawn last: fit to everything.
    ui.RunFrames(2);
    EXPECT_EQ(times.size(), 59u);
    ASSERT_EQ(channels.size(), 3u);

    ImPlotPlot* plot = FindPlot("Combined View");
    ASSERT_NE(plot, nullptr);
    EXPECT_EQ(LegendNames(plot), (std::vector<std::string>{"Channel 1", "Channel 2", "Channel 3"}));
    EXPECT_LE(plot->XAxis.Range.Min, (double)times.front());
    EXPECT_GE(plot->XAxis.Range.Max, (double)times.back());

    for (const char* theme : {"dark", "light"})
    {
        const bool dark = std::string(theme) == "dark";
        if (dark)
            ApplyDarkTheme(ImGui::GetStyle());
        else
            ApplyLightTheme(ImGui::GetStyle());
        ThemeIndex = dark ? 1 : 0;
        PlotThemeIndex = dark;
        ui.RunFrames(3);
        const std::string path = uitest::TestDirectory() + "/screenshots/liveview-three-channels-" + theme + ".png";
        ASSERT_TRUE(ui.SaveScreenshot(path)) << path;
        Image shot;
        ASSERT_TRUE(shot.Load(path));
        // Without anti-aliasing each line is drawn in its exact colour.
        for (int i = 0; i < 3; i++)
            EXPECT_GT(shot.Count(plot->PlotRect, ChannelColors[i]), 20) << theme << " channel " << i;
    }

    StopSerialThread();
    reader.join();
    SetSerialPortOpen(false);
    CloseSerialPort();
}

// Every plot type a channel can hold draws one legend item with balanced style
// stacks; an unknown type draws nothing.
TEST_F(LiveViewUi, PlotTypesDrawTheirItems)
{
    FillStore(12);
    SetChannels(3);
    ShowIndividualPlot[0] = true;
    for (int type : {1, 2, 3, 4, 0, 7})
    {
        SetChannelPlotType(0, type);
        ui.RunFrames(2);
        ASSERT_TRUE(ui.SaveScreenshot(uitest::TestDirectory() + "/screenshots/liveview-plot-type-" +
                                      std::to_string(type) + ".png"));
        ImPlotPlot* plot = FindPlot("Combined View");
        ASSERT_NE(plot, nullptr);
        const std::vector<std::string> names = LegendNames(plot);
        if (type <= 4)
            EXPECT_EQ(names, (std::vector<std::string>{"Channel 1", "Channel 2", "Channel 3"})) << type;
        else
            EXPECT_EQ(names, (std::vector<std::string>{"Channel 2", "Channel 3"})) << type;
        EXPECT_EQ(ImPlot::GetCurrentContext()->ColorModifiers.Size, 0) << type;
        EXPECT_EQ(ImPlot::GetCurrentContext()->StyleModifiers.Size, 0) << type;
    }
}
