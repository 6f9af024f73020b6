// The Serial Terminal and the Channel Statistics window in the real program window, with a
// pseudo-terminal as the device and the reader thread taking its lines.
#include "support/PtyDevice.h"
#include "support/UiHarness.h"

#include "dock/Dock.h"
#include "serial/ChannelData.h"
#include "serial/SerialPort.h"
#include "serial/SerialReader.h"
#include "ui/ChannelStatistics.h"
#include "ui/DashboardDockSpace.h"
#include "ui/DashboardSettings.h"
#include "ui/SerialTerminal.h"
#include "ui/Sidebar.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

using uitest::ProgramDirectory;
using uitest::UiHarness;

namespace
{

const char* TerminalTitle = "Serial Terminal";
const char* StatisticsTitle = "Channel Statistics";
const std::string PlayLabel = "\xEF\x81\x8B Play";
const std::string StopLabel = "\xEF\x81\x8D Stop";
const std::string SendLabel = "\xEF\x87\x98 Send";
const std::string ClearLabel = "\xEF\x87\xB8 Clear";
const std::string SaveLabel = "\xEF\x83\x87 Save";

// Every text the windows draw in one frame, through ImGui's own text log.
struct FrameText
{
    static std::string Last;
    static void Start(ImGuiContext*, ImGuiContextHook*) { ImGui::LogToBuffer(); }
    static void Finish(ImGuiContext* ctx, ImGuiContextHook*)
    {
        Last = ctx->LogBuffer.c_str();
        ImGui::LogFinish();
    }
};
std::string FrameText::Last;

class TerminalStatisticsUi : public ::testing::Test
{
protected:
    ProgramDirectory dir;
    UiHarness ui;
    ImGuiID hooks[2] = {0, 0};

    void SetUp() override
    {
        ASSERT_TRUE(ui.HasWindow());
        ResetState();
        ui.UI().sidebar->selectedPage = "Dashboard";
        ui.RunFrames(3);
        ImGuiContextHook start, finish;
        start.Type = ImGuiContextHookType_NewFramePost;
        start.Callback = FrameText::Start;
        finish.Type = ImGuiContextHookType_EndFramePre;
        finish.Callback = FrameText::Finish;
        hooks[0] = ImGui::AddContextHook(ImGui::GetCurrentContext(), &start);
        hooks[1] = ImGui::AddContextHook(ImGui::GetCurrentContext(), &finish);
    }
    void TearDown() override
    {
        ImGui::RemoveContextHook(ImGui::GetCurrentContext(), hooks[0]);
        ImGui::RemoveContextHook(ImGui::GetCurrentContext(), hooks[1]);
        ResetState();
    }

    static void ResetState()
    {
        SetStore({}, {});
        SetChannelCount(0);
        SetAcquisitionPaused(false);
        ChannelDisplayNames.clear();
        ShowChannelStatistics = false;
        ClearTerminalLines();
        TerminalMaxLines = 100;
        TerminalTxText.clear();
        TerminalSendOptions = TerminalSendOptionsState();
        TerminalStatusMessage.clear();
        TerminalStatusTime = 0.0;
    }

    static void SetStore(const std::vector<float>& times, const std::vector<std::vector<float>>& channels)
    {
        std::lock_guard<std::mutex> lock(ChannelDataMutex);
        SampleTimes = times;
        ChannelHistories = channels;
        SamplesAppended += times.size(); // all of them new, as the terminal sees it
    }

    ImGuiWindow* Window(const char* name) { return ImGui::FindWindowByName(name); }

    // Clicks the docked window's tab, so its window is the one shown.
    void SelectTab(const char* name)
    {
        ui.RunFrames(2);
        ui.Click(dock::GetDockSpaceTabRect(GetDashboardDockSpaceId(), name).GetCenter());
        ui.RunFrames(2);
        ASSERT_STREQ(dock::GetSelectedTab(GetDashboardDockSpaceId()), name);
    }

    // The terminal's rows: buttons, input field, send row, clear/save row, each one frame high.
    ImVec2 TerminalRow(int row, float x)
    {
        ImGuiWindow* w = Window(TerminalTitle);
        const ImGuiStyle& style = ImGui::GetStyle();
        const float fh = ImGui::GetFrameHeight();
        float y = w->DC.CursorStartPos.y;
        if (row >= 1)
            y += fh + style.ItemSpacing.y + 1.0f + style.ItemSpacing.y; // buttons, separator
        if (row >= 2)
            y += (fh + style.ItemSpacing.y) * (float)(row - 1);
        return ImVec2(w->DC.CursorStartPos.x + x, y + fh * 0.5f);
    }

    // Moves there and checks that the item under the mouse is label before clicking it.
    void ClickItem(ImVec2 pos, const std::string& label)
    {
        ui.MoveMouse(pos);
        ASSERT_EQ(ImGui::GetHoveredID(), Window(TerminalTitle)->GetID(label.c_str())) << label;
        ui.Click(pos);
    }

    float ButtonWidth()
    {
        ImGuiWindow* w = Window(TerminalTitle);
        return (w->WorkRect.Max.x - w->DC.CursorStartPos.x - ImGui::GetStyle().ItemSpacing.x) * 0.5f;
    }
    void ClickPlay() { ClickItem(TerminalRow(0, 10), PlayLabel); }
    void ClickStop() { ClickItem(TerminalRow(0, ButtonWidth() + 20), StopLabel); }
    void ClickSend() { ClickItem(TerminalRow(2, 40), SendLabel); }
    void ClickClear() { ClickItem(TerminalRow(3, 40), ClearLabel); }
    void ClickSave() { ClickItem(TerminalRow(3, 80 + ImGui::GetStyle().ItemSpacing.x + 40), SaveLabel); }
};

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string Repeat(const std::string& line, size_t n)
{
    std::string text;
    for (size_t i = 0; i < n; i++)
        text += line;
    return text;
}

} // namespace

// Stop pauses the reader, Play resumes it; lines keep coming while paused; Send of typed text,
// with and without CR LF, and of hex bytes reaches the device byte for byte.
TEST_F(TerminalStatisticsUi, StopPlayAndSendThroughThePseudoTerminal)
{
    ASSERT_STREQ(dock::GetSelectedTab(GetDashboardDockSpaceId()), TerminalTitle);
    PtyDevice device;
    SetChannelCount(1);
    ASSERT_EQ(OpenSerialPort(device.Path(), 115200, 0, 0), SerialSuccess);
    {
        std::lock_guard<std::mutex> lock(ChannelDataMutex);
        ResetSerialParser();
    }
    SetSerialPortOpen(true);
    SerialThreadRunning = true;
    std::thread reader(SerialThreadMain);

    auto sampleCount = [] {
        std::lock_guard<std::mutex> lock(ChannelDataMutex);
        return SampleTimes.size();
    };
    auto sendSamples = [&](float value, int n) {
        for (int i = 0; i < n; i++)
        {
            device.Send(std::to_string(value) + "\r\n");
            std::this_thread::sleep_for(std::chrono::milliseconds(15));
        }
        ASSERT_TRUE(device.WaitUntilRead()); // read within a step, which holds the store's lock
    };

    sendSamples(1.5f, 5);
    EXPECT_GE(sampleCount(), 3u);
    ui.RunFrames(3);
    EXPECT_EQ(TerminalLines.size(), sampleCount());
    EXPECT_EQ(TerminalLines.back(), "1.5000 ");

    ClickStop();
    EXPECT_TRUE(IsAcquisitionPaused());
    const size_t paused = sampleCount();
    sendSamples(7.0f, 5);
    const size_t lines = TerminalLines.size();
    ui.RunFrames(3);
    EXPECT_EQ(sampleCount(), paused);
    EXPECT_EQ(TerminalLines.size(), lines);

    ClickPlay();
    EXPECT_FALSE(IsAcquisitionPaused());
    sendSamples(-2.25f, 5);
    EXPECT_GT(sampleCount(), paused);
    ui.RunFrames(1);
    EXPECT_EQ(TerminalLines.back(), "-2.2500 ");

    // Typed into the field, sent with Enter; CR and LF are on by default.
    ui.Click(TerminalRow(1, 50));
    ImGui::GetIO().AddInputCharactersUTF8("hello");
    ui.RunFrames(2);
    ui.PressKey(ImGuiKey_Enter);
    EXPECT_EQ(device.Receive(), "hello\r\n");
    EXPECT_EQ(TerminalTxText, "hello");
    // The field keeps its text: the Send button sends it again.
    ui.Click(TerminalRow(3, 200)); // away from the field
    TerminalSendOptions.appendCR = false;
    TerminalSendOptions.appendLF = false;
    ClickSend();
    EXPECT_EQ(device.Receive(), "hello");

    TerminalTxText = "0d 0A";
    TerminalSendOptions = TerminalSendOptionsState();
    TerminalSendOptions.hexMode = true;
    ClickSend();
    EXPECT_EQ(device.Receive(), std::string("\x0D\x0A\x0D\x0A", 4));

    // A bad hex text sends nothing and says why.
    TerminalTxText = "1 2 GG";
    ClickSend();
    EXPECT_EQ(device.Receive(200), "");
    EXPECT_FALSE(TerminalStatusOk);
    EXPECT_EQ(TerminalStatusMessage, TerminalSendMessage(TerminalSendBadHex));
    ui.RunFrames(1);
    EXPECT_NE(FrameText::Last.find(TerminalStatusMessage), std::string::npos);

    StopSerialThread();
    reader.join();
    SetSerialPortOpen(false);
    CloseSerialPort();

    // With the port closed a send is reported, not taken for sent.
    TerminalTxText = "hello";
    TerminalSendOptions.hexMode = false;
    ClickSend();
    EXPECT_EQ(TerminalStatusMessage, "Send failed: the serial port is not open");
    ASSERT_TRUE(ui.SaveScreenshot(uitest::TestDirectory() + "/screenshots/terminal-send-failed.png"));
}

// Save appends to serial_log.txt in the working directory the lines not saved before; Clear empties.
TEST_F(TerminalStatisticsUi, SaveAppendsToTheLogAndClearEmpties)
{
    SetChannelCount(2);
    SetStore({0.0f}, {{2.5f}, {-1.0f}});
    ui.RunFrames(5);
    ClickClear();
    EXPECT_TRUE(TerminalLines.empty());
    SetStore({0.0f, 1.0f}, {{2.5f, 2.5f}, {-1.0f, -1.0f}});
    ui.RunFrames(4);
    ClickSave();
    const std::string path = dir.Path() + "/serial_log.txt";
    EXPECT_TRUE(TerminalStatusOk);
    EXPECT_EQ(TerminalStatusMessage, "Saved to " + path);
    EXPECT_EQ(ReadFile(path), Repeat("2.5000 -1.0000 \n", 2));

    ui.RunFrames(3);
    EXPECT_NE(FrameText::Last.find("Saved to " + path), std::string::npos);
    SetStore({0.0f}, {{2.5f}, {-1.0f}});
    ClickSave();
    EXPECT_EQ(ReadFile(path), Repeat("2.5000 -1.0000 \n", 3));
    EXPECT_NE(FrameText::Last.find("Buffer: 3/100 lines"), std::string::npos);
    ASSERT_TRUE(ui.SaveScreenshot(uitest::TestDirectory() + "/screenshots/terminal-saved.png"));

    // Gone three seconds after the save.
    TerminalStatusTime = ImGui::GetTime() - 3.0;
    ui.RunFrames(2);
    EXPECT_EQ(FrameText::Last.find("Saved to "), std::string::npos);
}

// The table for known input, and the empty cases.
TEST_F(TerminalStatisticsUi, StatisticsTableForKnownValues)
{
    ShowChannelStatistics = true;
    SelectTab(StatisticsTitle);
    EXPECT_NE(FrameText::Last.find("No channel data available"), std::string::npos);

    SetChannelCount(2);
    ChannelDisplayNames = {"temp", ""};
    SetStore({0.5f, 1.0f, 2.25f}, {{1, 2, 4}, {-3, -3, -3}});
    ui.RunFrames(2);
    const std::string text = FrameText::Last;
    EXPECT_EQ(text.find("No channel data available"), std::string::npos);
    for (const char* cell : {"Channel", "Count", "Min", "Max", "Avg", "Range", "Time Span", "temp", "4.000", "2.333",
                             "3.000", "1.750 s", "Channel 2", "-3.000", "0.000", "Legend:", "Channel 1"})
        EXPECT_NE(text.find(cell), std::string::npos) << cell << " in\n" << text;

    ImGuiWindow* w = Window(StatisticsTitle);
    ASSERT_NE(w, nullptr);
    ImGuiTable* table = ImGui::TableFindByID(w->GetID("ChannelStats"));
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->ColumnsCount, 7);
    EXPECT_STREQ(ImGui::TableGetColumnName(table, 6), "Time Span");
    ASSERT_TRUE(ui.SaveScreenshot(uitest::TestDirectory() + "/screenshots/statistics-two-channels.png"));

    // Channels present but empty: the heading and an empty table, no value.
    SetStore({}, {{}, {}});
    ui.RunFrames(2);
    EXPECT_NE(FrameText::Last.find("Channel Statistics"), std::string::npos);
    EXPECT_NE(FrameText::Last.find("Legend:"), std::string::npos);
    EXPECT_EQ(FrameText::Last.find("0.000"), std::string::npos);

    // Switched off: the window is no longer drawn.
    ShowChannelStatistics = false;
    ui.RunFrames(2);
    EXPECT_FALSE(ui.WindowActive(StatisticsTitle));
}

// "Config" opens "BufferConfig": typed values are clamped, Cancel keeps the capacity and the
// field keeps the edit, Apply sets it and keeps the newest lines.
TEST_F(TerminalStatisticsUi, BufferConfigPopupClampsCancelsAndApplies)
{
    SetChannelCount(1);
    SetStore(std::vector<float>(120), {std::vector<float>(120, 1.0f)});
    ui.RunFrames(2); // the ring is full: 100 lines
    ASSERT_EQ(TerminalLines.size(), 100u);

    // The "Config" button sits after the "Buffer: ..." text, below the Clear/Save row.
    ImGuiWindow* w = Window(TerminalTitle);
    const ImGuiStyle& style = ImGui::GetStyle();
    const float rowY = TerminalRow(3, 0).y + ImGui::GetFrameHeight() + style.ItemSpacing.y * 2.0f + 1.0f;
    const ImGuiID config = w->GetID("Config");
    ImVec2 pos;
    for (float x = 40; x < 600; x += 8)
    {
        pos = ImVec2(w->DC.CursorStartPos.x + x, rowY);
        ui.MoveMouse(pos);
        if (ImGui::GetHoveredID() == config)
            break;
    }
    ASSERT_EQ(ImGui::GetHoveredID(), config);
    ui.Click(pos);

    ImGuiContext& g = *ImGui::GetCurrentContext();
    ASSERT_EQ(g.OpenPopupStack.Size, 1);
    ImGuiWindow* popup = g.OpenPopupStack[0].Window;
    ASSERT_NE(popup, nullptr);
    EXPECT_NE(FrameText::Last.find("Buffer Size Configuration"), std::string::npos);
    EXPECT_EQ(TerminalMaxLinesEdit, 100);

    // Rows of the popup: text, separator, "Max Lines", the two buttons.
    const float fh = ImGui::GetFrameHeight();
    const float fieldY = popup->DC.CursorStartPos.y + ImGui::GetFontSize() + style.ItemSpacing.y * 2.0f + 1.0f;
    const ImVec2 field(popup->DC.CursorStartPos.x + 20, fieldY + fh * 0.5f);
    const float buttonY = fieldY + fh + style.ItemSpacing.y + fh * 0.5f;
    auto typeValue = [&](const char* text) {
        ui.Click(field);
        ui.PressKey(ImGuiKey_End);
        for (int i = 0; i < 6; i++)
            ui.PressKey(ImGuiKey_Backspace);
        ImGui::GetIO().AddInputCharactersUTF8(text);
        ui.RunFrames(2);
    };
    typeValue("5");
    EXPECT_EQ(TerminalMaxLinesEdit, 10);
    typeValue("5000");
    EXPECT_EQ(TerminalMaxLinesEdit, 1000);

    // Cancel: right of "Apply".
    typeValue("50");
    EXPECT_EQ(TerminalMaxLinesEdit, 50);
    const ImGuiID cancel = popup->GetID("Cancel");
    for (float x = 30; x < 300; x += 8)
    {
        pos = ImVec2(popup->DC.CursorStartPos.x + x, buttonY);
        ui.MoveMouse(pos);
        if (ImGui::GetHoveredID() == cancel)
            break;
    }
    ASSERT_EQ(ImGui::GetHoveredID(), cancel);
    ui.Click(pos);
    EXPECT_EQ(g.OpenPopupStack.Size, 0);
    EXPECT_EQ(TerminalMaxLines, 100u);
    EXPECT_EQ(TerminalLines.size(), 100u);

    // Opened again: the field still holds 50; Apply keeps the 50 newest lines.
    for (float x = 40; x < 600; x += 8)
    {
        pos = ImVec2(w->DC.CursorStartPos.x + x, rowY);
        ui.MoveMouse(pos);
        if (ImGui::GetHoveredID() == config)
            break;
    }
    ui.Click(pos);
    ASSERT_EQ(g.OpenPopupStack.Size, 1);
    EXPECT_EQ(TerminalMaxLinesEdit, 50);
    SetStore({0.0f}, {{2.0f}});
    ui.Click(ImVec2(popup->DC.CursorStartPos.x + 15, buttonY)); // "Apply"
    EXPECT_EQ(g.OpenPopupStack.Size, 0);
    EXPECT_EQ(TerminalMaxLines, 50u);
    ASSERT_EQ(TerminalLines.size(), 50u);
    // The newest lines are kept, oldest first.
    const std::string text = JoinTerminalLines();
    EXPECT_EQ(text.substr(0, 8), "1.0000 \n");
    EXPECT_EQ(text.substr(text.size() - 8), "2.0000 \n");
}

// The line view follows new lines while it is at the bottom, also after another tab was shown,
// and stays where the user scrolled it otherwise.
TEST_F(TerminalStatisticsUi, LineViewFollowsOnlyAtTheBottom)
{
    SetChannelCount(1);
    TerminalMaxLines = 1000;
    auto frames = [&](int n) { // a sample a frame
        for (int i = 0; i < n; i++)
        {
            SetStore({0.0f}, {{1.0f}});
            ui.RunFrames(1);
        }
    };
    frames(80);

    ImGuiWindow* w = Window(TerminalTitle);
    ImGuiWindow* lines = nullptr;
    for (ImGuiWindow* child : w->DC.ChildWindows)
        if (strstr(child->Name, "ScrollingRegion"))
            lines = child;
    ASSERT_NE(lines, nullptr);
    const float line = ImGui::GetTextLineHeight();
    ASSERT_GT(lines->ScrollMax.y, 10 * line);
    EXPECT_GE(lines->Scroll.y, lines->ScrollMax.y - line);

    // Another Dashboard tab in front for a while, then the terminal again: still following.
    SelectTab("\xEF\x88\x81 Live View");
    frames(20);
    SelectTab(TerminalTitle);
    frames(20);
    EXPECT_GE(lines->Scroll.y, lines->ScrollMax.y - line);

    ui.MoveMouse(lines->Rect().GetCenter());
    ImGui::GetIO().AddMouseWheelEvent(0.0f, 5.0f);
    frames(3);
    const float scrolledTo = lines->Scroll.y;
    EXPECT_LT(scrolledTo, lines->ScrollMax.y - 2 * line);
    SelectTab("\xEF\x88\x81 Live View"); // scrolled up, it stays there, across a tab switch too
    SelectTab(TerminalTitle);
    frames(30);
    EXPECT_EQ(lines->Scroll.y, scrolledTo);
    ui.MoveMouse(lines->Rect().GetCenter());

    ImGui::GetIO().AddMouseWheelEvent(0.0f, -100.0f);
    frames(3);
    const float max = lines->ScrollMax.y;
    frames(30);
    EXPECT_GT(lines->ScrollMax.y, max);
    EXPECT_GE(lines->Scroll.y, lines->ScrollMax.y - line);
}
