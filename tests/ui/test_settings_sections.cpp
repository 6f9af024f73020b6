// The General, Serial, Data Reception and CSV sections of the Settings page,
// worked through their widgets in the real program window. Serial ports are
// pseudo-terminals linked into folders of the test's own.
#include "platform/SerialDevice.h"
#include "serial/ChannelData.h"
#include "serial/CsvRecorder.h"
#include "serial/SerialPort.h"
#include "serial/SerialReader.h"
#include "support/ImGuiItemProbe.h"
#include "support/PtyDevice.h"
#include "support/UiHarness.h"
#include "ui/CsvSettings.h"
#include "ui/DashboardSettings.h"
#include "ui/SerialSettings.h"
#include "ui/Sidebar.h"
#include "ui/UIThemes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace uitest;

static const char* const Page = "SettingsFullWindow";

static ImGuiID General(const char* label) { return WidgetId(Page, {"UIContextGeneral", label}); }
static ImGuiID Serial(const char* label) { return WidgetId(Page, {"UIContextSerial", label}); }
static ImGuiID Csv(const char* label) { return WidgetId(Page, {"UIContextCSV", label}); }
static ImGuiID Channels(const char* part)
{
    return part ? WidgetId(Page, {"UIContextDataReception", "Channels", part})
                : WidgetId(Page, {"UIContextDataReception", "Channels"});
}

static std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class SettingsSections : public ::testing::Test
{
protected:
    ProgramDirectory dir;
    ConsoleCapture console;
    UiHarness ui;
    std::string classFolder, devFolder, linkFolder;

    void SetUp() override
    {
        ASSERT_TRUE(ui.HasWindow());
        classFolder = dir.Path() + "/class";
        devFolder = dir.Path() + "/dev";
        linkFolder = dir.Path() + "/by-id";
        fs::create_directory(classFolder);
        fs::create_directory(devFolder);
        fs::create_directory(linkFolder);
        ComPortClassFolder = classFolder;
        ComPortDeviceFolder = devFolder;
        ComPortLinkFolder = linkFolder;
        ui.UI().sidebar->selectedPage = "Settings";
        ui.RunFrames(2);
    }

    void TearDown() override
    {
        if (IsSerialPortOpen())
        {
            SetSerialPortOpen(false);
            CloseSerialPort();
        }
        StopCsvRecording();
        SetChannelCount(0);
        ComPortClassFolder = "/sys/class/tty";
        ComPortDeviceFolder = "/dev";
        ComPortLinkFolder = "/dev/serial/by-id";
        SelectedComPortIndex = BaudRateIndex = StopBitsIndex = ParityIndex = 0;
        SelectedComPortName.clear();
        BaudRate = 9600;
        StopBits = Parity = 0;
        LastOpenResult = SerialSuccess;
        UseTimestampedFileName = true;
        std::strcpy(CsvFileNameBuffer, "dravik.csv");
        std::strcpy(CsvChannelNames[1], "Channel_2");
        ShowCsvChannelNameEditor = false;
    }

    // Closes the sections above the CSV one, as a user makes room.
    void CollapseUpperSections()
    {
        ASSERT_TRUE(ClickItem(ui, General("General Settings")));
        ASSERT_TRUE(ClickItem(ui, Serial("Serial Communication Settings")));
        ASSERT_TRUE(ClickItem(ui, WidgetId(Page, {"UIContextDataReception", "Data Reception Settings"})));
    }

    // A device node (published in the tty class as the kernel does) or a by-id link.
    void Link(const std::string& folder, const std::string& name, const PtyDevice& pty)
    {
        ASSERT_EQ(symlink(pty.Path().c_str(), (folder + "/" + name).c_str()), 0);
        if (folder == devFolder)
            fs::create_directories(classFolder + "/" + name + "/device");
    }

    // Opens the combo and clicks entry n.
    bool Choose(const char* combo, int n, const char* entry)
    {
        return ClickItem(ui, Serial(combo)) && ClickItem(ui, ComboEntryId(n, entry));
    }
};

TEST_F(SettingsSections, ThemeButtonsSetBothIndicesAndTheStyle)
{
    ImGuiStyle light = ImGui::GetStyle();
    ApplyLightTheme(light);
    ImGuiStyle dark = ImGui::GetStyle();
    ApplyDarkTheme(dark);

    ASSERT_TRUE(ClickItem(ui, General("\xef\x86\x85 Light")));
    EXPECT_EQ(ThemeIndex, 0);
    EXPECT_FALSE(PlotThemeIndex);
    EXPECT_EQ(std::memcmp(ImGui::GetStyle().Colors, light.Colors, sizeof(light.Colors)), 0);
    EXPECT_EQ(ImGui::GetStyle().FramePadding.x, light.FramePadding.x);

    ASSERT_TRUE(ClickItem(ui, General("\xef\x86\x86 Dark")));
    EXPECT_EQ(ThemeIndex, 1);
    EXPECT_TRUE(PlotThemeIndex);
    EXPECT_EQ(std::memcmp(ImGui::GetStyle().Colors, dark.Colors, sizeof(dark.Colors)), 0);
    EXPECT_TRUE(console.Err().empty()) << console.Err();
}

TEST_F(SettingsSections, ChannelCountIsClampedRightAfterTheField)
{
    ASSERT_TRUE(ClickItem(ui, Channels(nullptr)));
    TypeText(ui, "7");
    EXPECT_EQ(GetChannelCount(), 3);
    TypeText(ui, "-2");
    EXPECT_EQ(GetChannelCount(), 0);
    ui.PressKey(ImGuiKey_Enter);
    EXPECT_EQ(GetChannelCount(), 0);

    // The fast step (100, with Ctrl) from 0 stops at the maximum.
    ASSERT_TRUE(ClickItem(ui, Channels("+"), true));
    EXPECT_EQ(GetChannelCount(), 3);
    ASSERT_TRUE(ClickItem(ui, Channels("+")));
    EXPECT_EQ(GetChannelCount(), 3);
    ASSERT_TRUE(ClickItem(ui, Channels("-")));
    EXPECT_EQ(GetChannelCount(), 2);
    ASSERT_TRUE(ClickItem(ui, Channels("-"), true));
    EXPECT_EQ(GetChannelCount(), 0);

    // While a recording runs its rows must match its header: the count stays, with a note.
    ASSERT_TRUE(StartCsvRecording("fixed.csv", {"a"}));
    FrameText text;
    ClickItem(ui, Channels("+"));
    EXPECT_EQ(GetChannelCount(), 0);
    EXPECT_TRUE(text.Contains("Stop the CSV recording to change the number of channels.")) << text.Last();
    StopCsvRecording();
}

TEST_F(SettingsSections, CombosGiveTheWin32CodesAndNoPortHidesOpen)
{
    FrameText text;
    ui.RunFrames(1);
    EXPECT_TRUE(text.Contains("No COM ports available.")) << text.Last();
    EXPECT_FALSE(ItemDrawn(ui, Serial("Open COM Port")));
    EXPECT_FALSE(ItemDrawn(ui, Serial("COM Port")));

    // The combos are there without a port.
    ASSERT_TRUE(Choose("Parity", 2, "Odd"));
    EXPECT_EQ(ParityIndex, 2);
    EXPECT_EQ(Parity, 1);
    ASSERT_TRUE(Choose("Parity", 1, "Even"));
    EXPECT_EQ(Parity, 2);
    ASSERT_TRUE(Choose("Stop Bits", 1, "1.5"));
    EXPECT_EQ(StopBits, 1);
    ASSERT_TRUE(Choose("Stop Bits", 2, "2"));
    EXPECT_EQ(StopBits, 2);
    ASSERT_TRUE(Choose("Baud Rate", 4, "115200"));
    EXPECT_EQ(BaudRate, 115200u);
    ASSERT_TRUE(Choose("Parity", 0, "None"));
    EXPECT_EQ(Parity, 0);
}

TEST_F(SettingsSections, TheChosenPortFollowsItsNameAndABusyPortFailsAtOpen)
{
    PtyDevice a, b, c;
    Link(devFolder, "ttyUSB10", a);
    Link(linkFolder, "usb-Maker_Board_42-if00", c);
    ui.RunFrames(1);
    EXPECT_EQ(SelectedComPortName, "ttyUSB10"); // nothing chosen yet: the first port
    ASSERT_TRUE(Choose("COM Port", 1, "usb-Maker_Board_42-if00"));

    // A port that sorts earlier appears: the same port stays chosen.
    Link(devFolder, "ttyUSB2", b);
    ui.RunFrames(1);
    EXPECT_EQ(EnumerateComPorts(), (std::vector<std::string>{"ttyUSB2", "ttyUSB10", "usb-Maker_Board_42-if00"}));
    EXPECT_EQ(SelectedComPortIndex, 2);

    // It goes away: no choice, and Open opens nothing.
    FrameText text;
    fs::remove(linkFolder + "/usb-Maker_Board_42-if00");
    ui.RunFrames(1);
    EXPECT_EQ(SelectedComPortIndex, -1);
    EXPECT_TRUE(text.Contains("usb-Maker_Board_42-if00 is not available. Choose a COM port to open.")) << text.Last();
    ASSERT_TRUE(ClickItem(ui, Serial("Open COM Port")));
    EXPECT_FALSE(IsSerialPortOpen());
    EXPECT_EQ(LastOpenResult, SerialSuccess);

    // Another program holds ttyUSB2: it is listed, and Open says it failed.
    const int held = platform::OpenSerialDevice(b.Path());
    ASSERT_NE(held, platform::InvalidSerialDevice);
    ASSERT_TRUE(Choose("COM Port", 0, "ttyUSB2"));
    ASSERT_TRUE(ClickItem(ui, Serial("Open COM Port")));
    EXPECT_EQ(LastOpenResult, SerialOpenFailed);
    EXPECT_FALSE(IsSerialPortOpen());
    ui.RunFrames(1);
    EXPECT_TRUE(text.Contains("Failed to open serial port"));
    EXPECT_FALSE(text.Contains("is not available"));
    platform::CloseSerialDevice(held);

    // The board is plugged back in and chosen again: Open takes it through its link.
    Link(linkFolder, "usb-Maker_Board_42-if00", c);
    ui.RunFrames(1);
    ASSERT_TRUE(Choose("COM Port", 2, "usb-Maker_Board_42-if00"));
    ASSERT_TRUE(ClickItem(ui, Serial("Open COM Port")));
    ASSERT_TRUE(IsSerialPortOpen());
    EXPECT_EQ(platform::OpenSerialDevice(c.Path()), platform::InvalidSerialDevice);
    EXPECT_EQ(SendSerialString("ping"), SerialSuccess);
    EXPECT_EQ(c.Receive(), "ping");
}

TEST_F(SettingsSections, OpenAndCloseThroughTheSection)
{
    PtyDevice pty;
    Link(devFolder, "ttyACM0", pty);
    ASSERT_TRUE(Choose("Baud Rate", 3, "57600"));

    FrameText text;
    ui.RunFrames(1);
    EXPECT_TRUE(text.Contains("ttyACM0")) << text.Last();
    ASSERT_TRUE(ClickItem(ui, Serial("Open COM Port")));
    EXPECT_EQ(LastOpenResult, SerialSuccess);
    EXPECT_TRUE(IsSerialPortOpen());
    ui.RunFrames(1);
    EXPECT_TRUE(text.Contains("Close COM Port"));
    EXPECT_FALSE(text.Contains("Baud Rate"));
    EXPECT_FALSE(ItemDrawn(ui, Serial("COM Port")));

    // The device is ours alone, at the chosen rate.
    EXPECT_EQ(platform::OpenSerialDevice(pty.Path()), platform::InvalidSerialDevice);
    termios state;
    ASSERT_EQ(tcgetattr(pty.MasterFd(), &state), 0);
    EXPECT_EQ(SendSerialString("hello\n"), SerialSuccess);
    EXPECT_EQ(pty.Receive(), "hello\n");

    ASSERT_TRUE(ClickItem(ui, Serial("Close COM Port")));
    EXPECT_FALSE(IsSerialPortOpen());
    EXPECT_EQ(SendSerialString("x"), SerialNothingSent);
    const int again = platform::OpenSerialDevice(pty.Path());
    EXPECT_NE(again, platform::InvalidSerialDevice);
    platform::CloseSerialDevice(again);
    ui.RunFrames(1);
    EXPECT_TRUE(text.Contains("Baud Rate"));
    EXPECT_TRUE(ItemDrawn(ui, Serial("Open COM Port")));
    EXPECT_EQ(BaudRate, 57600u); // kept across open and close

    // Unplugged while open: the reader closes the port, and the section says
    // so, with no port left to list, until the next open.
    ASSERT_TRUE(ClickItem(ui, Serial("Open COM Port")));
    pty.Unplug();
    ProcessSerialInput();
    EXPECT_FALSE(IsSerialPortOpen());
    ui.RunFrames(1);
    EXPECT_TRUE(text.Contains("Device disconnected: " + devFolder + "/ttyACM0")) << text.Last();
    PtyDevice replugged;
    fs::remove(devFolder + "/ttyACM0");
    Link(devFolder, "ttyACM0", replugged);
    ASSERT_TRUE(ClickItem(ui, Serial("Open COM Port")));
    EXPECT_TRUE(IsSerialPortOpen());
    EXPECT_EQ(SendSerialString("again"), SerialSuccess);
    EXPECT_EQ(replugged.Receive(), "again");
    ASSERT_TRUE(ClickItem(ui, Serial("Close COM Port")));
    ui.RunFrames(1);
    EXPECT_FALSE(text.Contains("Device disconnected")) << text.Last();
}

TEST_F(SettingsSections, FailureMessageStaysUntilASuccessfulAttempt)
{
    PtyDevice pty;
    Link(devFolder, "ttyUSB0", pty);
    FrameText text;

    // The state of an earlier failed open is shown on every frame.
    LastOpenResult = SerialTimeoutsFailed;
    ui.RunFrames(2);
    EXPECT_TRUE(text.Contains("Error setting serial port timeouts")) << text.Last();
    LastOpenResult = SerialOpenFailed;
    ui.RunFrames(2);
    EXPECT_TRUE(text.Contains("Failed to open serial port")) << text.Last();

    // One and a half stop bits cannot be set with 8 data bits.
    ASSERT_TRUE(Choose("Stop Bits", 1, "1.5"));
    ASSERT_TRUE(ClickItem(ui, Serial("Open COM Port")));
    EXPECT_EQ(LastOpenResult, SerialStateFailed);
    EXPECT_FALSE(IsSerialPortOpen());
    ui.RunFrames(1);
    EXPECT_TRUE(text.Contains("Error setting serial port state"));
    EXPECT_FALSE(text.Contains("Failed to open serial port"));
    const int free_again = platform::OpenSerialDevice(pty.Path());
    EXPECT_NE(free_again, platform::InvalidSerialDevice) << "a failed open left the port held";
    platform::CloseSerialDevice(free_again);

    ASSERT_TRUE(Choose("Parity", 2, "Odd"));
    ui.RunFrames(1);
    EXPECT_TRUE(text.Contains("Error setting serial port state"));

    ASSERT_TRUE(Choose("Stop Bits", 0, "1"));
    ASSERT_TRUE(ClickItem(ui, Serial("Open COM Port")));
    EXPECT_EQ(LastOpenResult, SerialSuccess);
    ASSERT_TRUE(ClickItem(ui, Serial("Close COM Port")));
    ui.RunFrames(1);
    EXPECT_FALSE(text.Contains("Error setting serial port state"));
    EXPECT_TRUE(text.Contains("Open COM Port"));
}

TEST_F(SettingsSections, CsvRecordingStartsAndStopsThroughTheSection)
{
    CollapseUpperSections();
    FrameText text;
    ui.RunFrames(1);
    // Without channels: the hint, no editor, and Start does nothing.
    EXPECT_TRUE(text.Contains("Set number of channels in Data Reception Settings first")) << text.Last();
    EXPECT_FALSE(ItemDrawn(ui, Csv("Configure Channel Names")));
    ASSERT_TRUE(ClickItem(ui, Csv("Start CSV Recording")));
    EXPECT_FALSE(IsCsvRecording());
    EXPECT_FALSE(ui.WindowActive("Recording Started"));

    SetChannelCount(2);
    EXPECT_EQ(GetCsvChannelNames(), (std::vector<std::string>{"Channel_1", "Channel_2"}));
    ui.RunFrames(1);
    EXPECT_TRUE(std::regex_search(text.Last(), std::regex("Will use: dravik_\\d{8}_\\d{6}\\.csv")));
    ASSERT_TRUE(ClickItem(ui, Csv("Use timestamped filename")));
    EXPECT_FALSE(UseTimestampedFileName);
    EXPECT_TRUE(ItemDrawn(ui, Csv("##CSVFilename")));

    // The editor shows one field per channel; the second gets a typed name.
    ASSERT_TRUE(ClickItem(ui, Csv("Configure Channel Names")));
    ImGuiWindow* editor = nullptr;
    for (ImGuiWindow* w : GImGui->Windows)
        if (std::strncmp(w->Name, "SettingsFullWindow/ChannelNames_", 32) == 0)
            editor = w;
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(ItemDrawn(ui, editor->GetID("Channel 1##")));
    EXPECT_FALSE(ItemDrawn(ui, editor->GetID("Channel 3##")));
    ASSERT_TRUE(ClickItem(ui, editor->GetID("Channel 2##")));
    TypeText(ui, "Volts");
    ui.PressKey(ImGuiKey_Enter);
    EXPECT_STREQ(CsvChannelNames[1], "Volts");

    ASSERT_TRUE(ClickItem(ui, Csv("Start CSV Recording")));
    ASSERT_TRUE(IsCsvRecording());
    EXPECT_EQ(GetCsvFileName(), "dravik.csv");
    EXPECT_EQ(ReadFile(dir.Path() + "/dravik.csv"), "Timestamp,Channel_1,Volts\r\n");
    ui.RunFrames(1);
    EXPECT_TRUE(text.Contains("CSV recording started successfully!"));
    EXPECT_TRUE(text.Contains("Recording to: dravik.csv"));
    EXPECT_TRUE(text.Contains("REC"));
    EXPECT_TRUE(text.Contains("Data points recorded: 0"));

    // Rows refused for want of channels are counted while they are refused.
    for (int i = 0; i < 3; i++)
        EXPECT_FALSE(WriteCsvRow(0.4, {}));
    ui.RunFrames(1);
    EXPECT_TRUE(text.Contains("Rows not recorded: 3 (no channels: set the number of channels in Data Reception"));

    // A row as the reader thread writes it is counted on the next frame.
    ASSERT_TRUE(WriteCsvRow(0.5, {1.0f, 2.0f}));
    ui.RunFrames(1);
    EXPECT_TRUE(text.Contains("Data points recorded: 1"));

    // The modal popup takes the clicks until it is closed.
    ASSERT_TRUE(ClickItem(ui, WidgetId("Recording Started", {"OK"})));
    ui.RunFrames(1);
    EXPECT_FALSE(text.Contains("CSV recording started successfully!"));
    ASSERT_TRUE(ClickItem(ui, Csv("Stop CSV Recording")));
    EXPECT_FALSE(IsCsvRecording());
    ui.RunFrames(1);
    EXPECT_TRUE(text.Contains("Not recording"));
    EXPECT_EQ(ReadFile(dir.Path() + "/dravik.csv"), "Timestamp,Channel_1,Volts\r\n0.500000,1.000000,2.000000\r\n");

    // A recording that ends by itself says why in place of REC, until the next start.
    ASSERT_TRUE(ClickItem(ui, Csv("Start CSV Recording")));
    ASSERT_TRUE(ClickItem(ui, WidgetId("Recording Started", {"OK"})));
    fs::remove(dir.Path() + "/dravik.csv");
    EXPECT_FALSE(WriteCsvRow(1.0, {1.0f, 2.0f}));
    ui.RunFrames(1);
    EXPECT_TRUE(text.Contains("Recording stopped: dravik.csv: the file was deleted (0 rows recorded)")) << text.Last();
    EXPECT_FALSE(text.Contains("REC"));
    EXPECT_FALSE(text.Contains("Recording to:"));
    EXPECT_TRUE(text.Contains("Start CSV Recording"));
    ASSERT_TRUE(ClickItem(ui, Csv("Start CSV Recording")));
    ui.RunFrames(1);
    EXPECT_FALSE(text.Contains("Recording stopped"));
    EXPECT_TRUE(text.Contains("REC"));
}

TEST_F(SettingsSections, CsvRecordingThatCannotStartShowsTheFailurePopup)
{
    SetChannelCount(1);
    UseTimestampedFileName = false;
    std::strcpy(CsvFileNameBuffer, "missing/folder.csv");
    CollapseUpperSections();
    FrameText text;
    ASSERT_TRUE(ClickItem(ui, Csv("Start CSV Recording")));
    EXPECT_FALSE(IsCsvRecording());
    ui.RunFrames(1);
    EXPECT_TRUE(text.Contains("Failed to start CSV recording!")) << text.Last();
    EXPECT_TRUE(text.Contains("Failed to open CSV file: missing/folder.csv: No such file or directory"));
    EXPECT_TRUE(text.Contains("Check if the file can be created and is not in use."));
    EXPECT_TRUE(text.Contains("Not recording"));
    ASSERT_TRUE(ClickItem(ui, WidgetId("Recording Failed", {"OK"})));
    ui.RunFrames(1);
    EXPECT_FALSE(text.Contains("Failed to start CSV recording!"));

    // With time stamping the name comes from the clock, in the working directory.
    UseTimestampedFileName = true;
    ASSERT_TRUE(ClickItem(ui, Csv("Start CSV Recording")));
    ASSERT_TRUE(IsCsvRecording());
    const std::string name = GetCsvFileName();
    EXPECT_TRUE(std::regex_match(name, std::regex("dravik_\\d{8}_\\d{6}\\.csv"))) << name;
    ASSERT_TRUE(WriteCsvRow(1.0, {1.0f}));
    StopCsvRecording();

    // Started again, most often within the same second: the first file stays.
    EXPECT_TRUE(ui.WindowActive("Recording Started"));
    ASSERT_TRUE(ClickItem(ui, WidgetId("Recording Started", {"OK"})));
    ASSERT_TRUE(ClickItem(ui, Csv("Start CSV Recording")));
    StopCsvRecording();
    EXPECT_EQ(ReadFile(dir.Path() + "/" + name), "Timestamp,Channel_1\r\n1.000000,1.000000\r\n");

    // A closed section draws nothing of itself (once the modal lets the click through).
    ASSERT_TRUE(ClickItem(ui, WidgetId("Recording Started", {"OK"})));
    ASSERT_TRUE(ClickItem(ui, Csv("CSV Recording Settings")));
    ui.RunFrames(1);
    EXPECT_FALSE(text.Contains("Start CSV Recording"));
    EXPECT_FALSE(text.Contains("Use timestamped filename"));
}
