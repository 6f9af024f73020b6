// The serial terminal's ring, hex parsing, sending through a pseudo-terminal and saving.
#include "support/PtyDevice.h"

#include "serial/ChannelData.h"
#include "serial/SerialPort.h"
#include "ui/DashboardSettings.h"
#include "ui/SerialTerminal.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace
{

void ResetTerminal()
{
    ClearTerminalLines();
    TerminalMaxLines = 100;
    TerminalStatusMessage.clear();
    TerminalStatusOk = false;
    TerminalStatusTime = 0.0;
}

// One line per value n, "n.0000 ".
void AppendNumbered(int from, int to)
{
    for (int n = from; n <= to; n++)
        AppendTerminalLine(std::to_string(n) + ".0000 ");
}

std::string Numbered(int from, int to)
{
    std::string text;
    for (int n = from; n <= to; n++)
        text += std::to_string(n) + ".0000 \n";
    return text;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::vector<uint8_t> Hex(const std::string& text, bool expected = true)
{
    std::vector<uint8_t> bytes;
    EXPECT_EQ(ParseHexBytes(text, bytes), expected) << text;
    return bytes;
}

} // namespace

TEST(SerialTerminal, OneLinePerNewSample)
{
    ResetTerminal();
    EXPECT_EQ(MakeTerminalLine({{0.0f, 1.5f}, {}, {-0.25f, 7.0f}}, 1), "1.5000 7.0000 ");
    EXPECT_EQ(MakeTerminalLine({{123456.789f}}, 0), "123456.7891 ");

    // Counted by the store's appended total: a frame without new samples adds nothing, a frame after
    // many adds a line for each one the snapshot still holds.
    TerminalSamplesShown = 40;
    const std::vector<std::vector<float>> snapshot{{1, 2, 3, 4, 5}, {10, 20, 30, 40, 50}};
    AppendTerminalSamples(snapshot, 42);
    AppendTerminalSamples(snapshot, 42);
    EXPECT_EQ(JoinTerminalLines(), "4.0000 40.0000 \n5.0000 50.0000 \n");
    AppendTerminalSamples(snapshot, 100);
    EXPECT_EQ(TerminalLines.size(), 7u);
    ResetTerminal();
    EXPECT_EQ(JoinTerminalLines(), "");
}

TEST(SerialTerminal, RingWrapsApplyKeepsNewestInOrder)
{
    ResetTerminal();
    AppendNumbered(1, 100);
    EXPECT_FALSE(TerminalWrapped);
    EXPECT_EQ(JoinTerminalLines(), Numbered(1, 100));
    AppendNumbered(101, 101);
    EXPECT_TRUE(TerminalWrapped);
    EXPECT_EQ(TerminalHead, 1u);
    EXPECT_EQ(TerminalLines.size(), 100u);
    EXPECT_EQ(JoinTerminalLines(), Numbered(2, 101));

    // Thousands of frames later the ring is still 100 lines, oldest first.
    AppendNumbered(102, 5037);
    EXPECT_EQ(TerminalLines.size(), 100u);
    EXPECT_EQ(JoinTerminalLines(), Numbered(4938, 5037));

    // Smaller on a wrapped ring: the 50 newest, rebuilt in order.
    ApplyTerminalMaxLines(50);
    EXPECT_FALSE(TerminalWrapped);
    EXPECT_EQ(TerminalHead, 0u);
    EXPECT_EQ(JoinTerminalLines(), Numbered(4988, 5037));

    // Larger on a wrapped ring: all kept, then the following lines after the newest.
    ResetTerminal();
    AppendNumbered(1, 130);
    ApplyTerminalMaxLines(200);
    EXPECT_EQ(TerminalMaxLines, 200u);
    EXPECT_EQ(JoinTerminalLines(), Numbered(31, 130));
    AppendNumbered(131, 140);
    EXPECT_EQ(JoinTerminalLines(), Numbered(31, 140));

    // Smaller on a full, unwrapped ring; a ring within the new size is unchanged.
    ResetTerminal();
    AppendNumbered(1, 100);
    ApplyTerminalMaxLines(50);
    EXPECT_EQ(JoinTerminalLines(), Numbered(51, 100));
    ApplyTerminalMaxLines(60);
    EXPECT_EQ(JoinTerminalLines(), Numbered(51, 100));
    AppendNumbered(101, 120);
    EXPECT_EQ(TerminalLines.size(), 60u);
    EXPECT_EQ(JoinTerminalLines(), Numbered(61, 120));

    // Out-of-range capacities are clamped, so the ring never loses its bound.
    ApplyTerminalMaxLines(0);
    EXPECT_EQ(TerminalMaxLines, 10u);
    EXPECT_EQ(JoinTerminalLines(), Numbered(111, 120));
    AppendNumbered(121, 121);
    EXPECT_EQ(JoinTerminalLines(), Numbered(112, 121));
    EXPECT_EQ(ClampTerminalMaxLines(5), 10);
    EXPECT_EQ(ClampTerminalMaxLines(5000), 1000);
    EXPECT_EQ(ClampTerminalMaxLines(-100), 10);
    EXPECT_EQ(ClampTerminalMaxLines(250), 250);

    ClearTerminalLines();
    EXPECT_TRUE(TerminalLines.empty());
    EXPECT_FALSE(TerminalWrapped);
    EXPECT_EQ(TerminalHead, 0u);
    ResetTerminal();
}

TEST(SerialTerminal, HexTokens)
{
    EXPECT_EQ(Hex("0d 0A"), (std::vector<uint8_t>{0x0D, 0x0A}));
    EXPECT_EQ(Hex("1 2 3"), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(Hex("\t ff\r\n00\v\f7F  "), (std::vector<uint8_t>{0xFF, 0x00, 0x7F}));
    EXPECT_EQ(Hex("-0 +F"), (std::vector<uint8_t>{0x00, 0x0F})); // a sign before zero or a digit is read by strtol

    Hex("123", false); // longer than two characters
    Hex("GG", false);  // no hex digit
    Hex("-1", false);  // above 0xFF as an unsigned number
    Hex("", false);
    Hex(" \t\r\n", false);
    Hex("01 zz", false);
    // Not wholly a hex number: nothing of it is taken.
    Hex("1G", false);
    Hex("0x", false);
    Hex("f-", false);
    Hex("+", false);
    Hex("0x10", false);
}

TEST(SerialTerminal, SendReachesTheDeviceByteForByte)
{
    PtyDevice device;
    ASSERT_EQ(OpenSerialPort(device.Path(), 115200, 0, 0), SerialSuccess);
    SetSerialPortOpen(true);

    EXPECT_EQ(SendTerminalTextResult("hello", true, true, false), TerminalSendSent);
    EXPECT_EQ(device.Receive(), "hello\r\n");
    EXPECT_TRUE(SendTerminalText("hello", false, false, false));
    EXPECT_EQ(device.Receive(), "hello");
    EXPECT_TRUE(SendTerminalText("a b", true, false, false));
    EXPECT_EQ(device.Receive(), "a b\r");
    EXPECT_TRUE(SendTerminalText("x", false, true, false));
    EXPECT_EQ(device.Receive(), "x\n");

    EXPECT_TRUE(SendTerminalText("0d 0A", true, true, true));
    EXPECT_EQ(device.Receive(), std::string("\x0D\x0A\x0D\x0A", 4));
    EXPECT_TRUE(SendTerminalText("1 2 3", false, false, true));
    EXPECT_EQ(device.Receive(), std::string("\x01\x02\x03", 3));
    EXPECT_TRUE(SendTerminalText("00 ff", false, true, true));
    EXPECT_EQ(device.Receive(), std::string("\x00\xFF\x0A", 3));

    // Nothing at all goes out for these, not even CR or LF.
    EXPECT_EQ(SendTerminalTextResult("", true, true, false), TerminalSendEmpty);
    EXPECT_EQ(SendTerminalTextResult("", true, true, true), TerminalSendEmpty);
    for (const char* bad : {"123", "GG", "-1", "   ", "1G"})
        EXPECT_EQ(SendTerminalTextResult(bad, true, true, true), TerminalSendBadHex) << bad;
    EXPECT_EQ(device.Receive(100), "");

    // The device reads nothing more: texts fill its buffer until one goes out only in part.
    TerminalSendResult cut = TerminalSendSent;
    for (int i = 0; i < 1000 && cut == TerminalSendSent; i++)
        cut = SendTerminalTextResult(std::string(511, 't'), true, true, false);
    const std::string message = TerminalSendMessage(cut);
    EXPECT_TRUE(message.starts_with("Send failed: only ") && message.ends_with(" of 513 bytes were sent")) << message;

    SetSerialPortOpen(false);
    CloseSerialPort();
    EXPECT_EQ(SendTerminalTextResult("hello", true, true, false), TerminalSendNotConnected);
    EXPECT_FALSE(SendTerminalText("0d", true, true, true));

    EXPECT_EQ(TerminalSendMessage(TerminalSendSent), "");
    EXPECT_EQ(TerminalSendMessage(TerminalSendEmpty), "");
    EXPECT_EQ(TerminalSendMessage(TerminalSendNotConnected), "Send failed: the serial port is not open");
    EXPECT_EQ(TerminalSendMessage(TerminalSendWriteFailed), "Send failed: the write to the serial port failed");
    EXPECT_EQ(TerminalSendMessage(TerminalSendBadHex), "Send failed: not hex bytes (00 to FF separated by blanks)");
}

TEST(SerialTerminal, SaveAppendsAndReportsFailures)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("terminal-save-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string path = (dir / "serial_log.txt").string();

    ResetTerminal();
    AppendNumbered(1, 3);
    std::string message;
    EXPECT_TRUE(SaveTerminalLines(path, message));
    EXPECT_EQ(message, "Saved to " + path);
    AppendNumbered(4, 4);
    EXPECT_TRUE(SaveTerminalLines(path, message));
    EXPECT_EQ(ReadFile(path), Numbered(1, 4));

    // A folder in the way: the file cannot be opened. A failed Save leaves its lines unsaved.
    AppendNumbered(5, 6);
    const std::string folder = (dir / "folder").string();
    fs::create_directories(folder);
    EXPECT_FALSE(SaveTerminalLines(folder, message));
    EXPECT_EQ(message, "Save failed: Is a directory");

    // Opened, but the data cannot be written.
    EXPECT_FALSE(SaveTerminalLines("/dev/full", message));
    EXPECT_EQ(message, "Save failed: No space left on device");

    // The default path is the working directory's serial_log.txt.
    const fs::path previous = fs::current_path();
    fs::current_path(dir);
    EXPECT_EQ(TerminalLogPath(), (dir / "serial_log.txt").string());
    SaveSerialTerminal(12.5);
    EXPECT_TRUE(TerminalStatusOk);
    EXPECT_EQ(TerminalStatusMessage, "Saved to " + path);
    EXPECT_EQ(TerminalStatusTime, 12.5);
    EXPECT_EQ(ReadFile(path), Numbered(1, 6));
    fs::current_path(previous);

    // Shown for three seconds after the save, never before the first.
    EXPECT_TRUE(IsTerminalStatusShown(12.5));
    EXPECT_TRUE(IsTerminalStatusShown(15.49));
    EXPECT_FALSE(IsTerminalStatusShown(15.5));
    TerminalStatusTime = 0.0;
    EXPECT_FALSE(IsTerminalStatusShown(1.0));

    ResetTerminal();
    fs::remove_all(dir);
}
