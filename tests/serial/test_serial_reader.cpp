#include "SerialReaderFixture.h"

#include "serial/CsvRecorder.h"

#include <cstdio>
#include <fstream>
#include <sstream>

TEST_F(SerialReaderTest, LinesAreFramedAndMissingChannelsFilled)
{
    // The first line only finds the first line end.
    Feed("1,2,3\r\n4,5,6\r\n");
    EXPECT_EQ(Stored(), (Rows{{4, 5, 6}}));

    Feed("7,8\r\n");                    // channel 3 repeats its newest value
    Feed("7,8,9,10\r\n");               // extra values are dropped
    Feed("1,x,3\r\n1.5e-3,22.0,5\r\n"); // a dropped field keeps its place, its channel filled
    // No number for any channel, no row: a banner, a blank line, a header, an error text.
    Feed("Booting...\r\n\r\nTime,Temp,Step\r\nERROR: no sensor\r\n,,\r\n");
    EXPECT_EQ(Stored(), (Rows{{4, 5, 6}, {7, 8, 6}, {7, 8, 9}, {1, 8, 3}, {0.0015f, 22, 5}}));

    // Several lines in one read each become a row of their own, in order.
    Feed("11,12,13\r\n14,15,16\r\n17,18,19\r\n");
    const Rows rows = Stored();
    ASSERT_EQ(rows.size(), 8u);
    EXPECT_EQ(rows[5], (std::vector<float>{11, 12, 13}));
    EXPECT_EQ(rows[7], (std::vector<float>{17, 18, 19}));
    const std::vector<float> times = Times();
    for (size_t k = 1; k < times.size(); k++)
        EXPECT_LE(times[k - 1], times[k]);
}

TEST_F(SerialReaderTest, EveryCommonLineEndEndsALine)
{
    // LF, CR, LF CR and CR LF, mixed: each ends a line, an empty line adds
    // nothing, and what comes before the first line end is skipped.
    Feed("1,2\n3,4\n5,6\r7,8,9\n\r10,11,12\r\n\r\n13\r");
    EXPECT_EQ(Stored(), (Rows{{3, 4, 0}, {5, 6, 0}, {7, 8, 9}, {10, 11, 12}, {13, 11, 12}}));
}

TEST_F(SerialReaderTest, FieldRule)
{
    SetChannelCount(2);
    Feed("\n5,5\r\n");
    // A field followed by 7: accepted, the row is (value, 7); dropped, its
    // channel repeats its newest value. A label, a number with its exponent
    // and a unit make a field; a digit that belongs to no number makes it malformed.
    const std::pair<const char*, float> accepted[] = {
        {"-.5", -0.5f},   {"5.", 5.0f},        {"+3", 3.0f},          {" 12 V", 12.0f},        {" +2 ", 2.0f},
        {"-0", -0.0f},    {"007", 7.0f},       {"3.25", 3.25f},       {"temp:23.5", 23.5f},    {"T = 23.5", 23.5f},
        {"23.5C", 23.5f}, {"45%", 45.0f},      {"A1:300", 300.0f},    {"sensor1:23.5", 23.5f}, {"T2=24.5", 24.5f},
        {"1e5", 1e5f},    {"2.5E-3", 2.5e-3f}, {"1.5e3 mV", 1500.0f}, {"1e+06", 1e6f},         {"5e", 5.0f}};
    // The last three are beyond a float's range.
    std::vector<std::string> dropped = {
        "",    "-",         ".",    "1.2.3",          "--1",        "1-2",  "1 2",      "12\t.5", "- 5",  "abc", "#5",
        "ch1", "Channel 1", "v1.0", "MPU6050 Found!", "0x3fff0030", "0xee", "12:30:45", "1e39",   "1e-40"};
    dropped.push_back(std::string(40, '9'));
    for (const auto& [field, value] : accepted)
    {
        SCOPED_TRACE(field);
        Feed(std::string(field) + ",7\r\n");
        EXPECT_EQ(Stored().back(), (std::vector<float>{value, 7}));
    }
    for (const std::string& field : dropped)
    {
        SCOPED_TRACE(field);
        Feed(field + ",7\r\n");
        const Rows rows = Stored();
        EXPECT_EQ(rows.back(), (std::vector<float>{rows[rows.size() - 2][0], 7}));
    }

    // Text lines with digits make no row; labelled values do.
    SetChannelCount(3);
    Feed("\nch1,ch2,ch3\r\nSensor v1.0 ready\r\nrst:0x1 (POWERON_RESET),boot:0x13 (SPI_FAST_FLASH_BOOT)\r\n"
         "clk_drv:0x00,q_drv:0x00,d_drv:0x00\r\nMPU6050 Found!\r\nT1:23.5,T2:24.1,T3:25.0\r\n");
    EXPECT_EQ(Stored(), (Rows{{23.5f, 24.1f, 25}}));
}

TEST_F(SerialReaderTest, HighBytesAreReportedAndDropped)
{
    // The line that carried them, or a NUL, is no sample; the next line is.
    testing::internal::CaptureStderr();
    const char bytes[] = "\n1\xC3"
                         "2,\x80"
                         "3,4\r\n17.5,18\0\r\n1,2,3\r\n";
    Feed(std::string(bytes, sizeof(bytes) - 1));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Invalid character received: -61\nInvalid character received: -128\n");
    EXPECT_EQ(Stored(), (Rows{{1, 2, 3}}));

    // A flood shows the first few of each second, and one count of the rest
    // once the second is over.
    testing::internal::CaptureStderr();
    Feed(std::string(3000, '\xFF') + "\r\n5,6,7\r\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    ProcessSerialInput();
    std::istringstream lines(testing::internal::GetCapturedStderr());
    size_t shown = 0, not_shown = 0, n = 0;
    for (std::string line; std::getline(lines, line);)
        if (line == "Invalid character received: -1")
            shown++;
        else if (sscanf(line.c_str(), "Invalid characters received but not shown: %zu", &n) == 1)
            not_shown += n;
        else
            ADD_FAILURE() << line;
    EXPECT_EQ(shown + not_shown, 3000u);
    EXPECT_LE(shown, 2u * InvalidBytesShownPerSecond); // the flood may straddle two seconds
    EXPECT_GT(not_shown, 0u);
    EXPECT_EQ(Stored().back(), (std::vector<float>{5, 6, 7}));
}

TEST_F(SerialReaderTest, LongLinesAreParsedWholeAndOverlongOnesDropped)
{
    // A 1,000-byte line, longer than the ring, is parsed whole.
    std::string line = "\n1" + std::string(994, ' ') + ",2,3\r\n";
    Feed(line);
    EXPECT_EQ(Stored(), (Rows{{1, 2, 3}}));

    // A line that never ends is dropped once it passes the limit, with one
    // message, however long it goes on; the next line after an LF is read.
    testing::internal::CaptureStderr();
    Feed("5,");
    for (int i = 0; i < 5; i++)
        Feed(std::string(3000, '6') + (i == 2 ? "\r\n" : "")); // two over-long lines in a row
    Feed(",7\r\n8,9,10\r\n");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "Warning: Dropped a serial line longer than 4096 bytes (no line end received)\n");
    EXPECT_EQ(Stored(), (Rows{{1, 2, 3}, {8, 9, 10}}));

    // A later over-long line is reported again.
    testing::internal::CaptureStderr();
    Feed(std::string(4097, '1').substr(0, 4000));
    Feed(std::string(200, '1'));
    EXPECT_NE(testing::internal::GetCapturedStderr(), "");
}

TEST_F(SerialReaderTest, LineLimitIsExact)
{
    // A line of exactly the limit is kept; one byte more drops it with one
    // message, and the line after the next LF is read again.
    SetChannelCount(1);
    const std::string bytes = "\n1" + std::string(MaxSerialLineLength - 1, ' ') + "\r" + "\n2" +
                              std::string(MaxSerialLineLength, ' ') + "\r" + "\n3\r\n";
    testing::internal::CaptureStderr();
    for (size_t at = 0; at < bytes.size(); at += 2048)
        Feed(bytes.substr(at, 2048));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Warning: Dropped a serial line longer than 4096 bytes (no line end received)\n");
    EXPECT_EQ(Stored(), (Rows{{1}, {3}}));
}

TEST_F(SerialReaderTest, ChannelCountZeroAndChange)
{
    SetChannelCount(0);
    Feed("\n1,2,3\r\n4\r\n");
    std::vector<float> times;
    std::vector<std::vector<float>> channels;
    GetChannelDataSnapshot(times, channels);
    EXPECT_EQ(times.size(), 2u);
    EXPECT_TRUE(channels.empty());

    // A new count empties the store, times included; the next line starts anew.
    SetChannelCount(2);
    ProcessSerialInput();
    GetChannelDataSnapshot(times, channels);
    EXPECT_TRUE(times.empty());
    EXPECT_EQ(channels.size(), 2u);
    Feed("5,6\r\n");
    EXPECT_EQ(Stored(), (Rows{{5, 6}}));

    // A line read across a change of the count keeps its own numbers, fitted at its end.
    Feed("7,8");
    SetChannelCount(3);
    Feed(",9\r\n");
    EXPECT_EQ(Stored(), (Rows{{7, 8, 9}}));
    SetChannelCount(0);
    Feed("4,5");
    SetChannelCount(2);
    Feed(",6\r\n");
    EXPECT_EQ(Stored(), (Rows{{4, 5}}));
}

TEST_F(SerialReaderTest, ClosedPortClearsTheStoreOnce)
{
    std::string lines = "\n";
    for (int i = 0; i < 500; i++)
        lines += std::to_string(i) + "\r\n";
    for (size_t at = 0; at < lines.size(); at += 3000)
        Feed(lines.substr(at, 3000));
    ASSERT_EQ(Times().size(), 500u);

    SetSerialPortOpen(false);
    testing::internal::CaptureStdout();
    ProcessSerialInput();
    ProcessSerialInput();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "[RESET WARNING] Clearing data with 500 data points\n");
    EXPECT_TRUE(Times().empty());

    // Open again: the time origin followed the clock while closed, so the first
    // sample is timed from the last closed step, not from before the sleep; the
    // first line starts after an LF, as at start.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto last_closed_step = std::chrono::steady_clock::now();
    ProcessSerialInput();
    SetSerialPortOpen(true);
    Feed("1,2,3\r\n4,5,6\r\n");
    const double since = std::chrono::duration<double>(std::chrono::steady_clock::now() - last_closed_step).count();
    ASSERT_EQ(Times().size(), 1u);
    EXPECT_LE(Times()[0], since);
}

TEST_F(SerialReaderTest, TrimAndLimitChange)
{
    SetChannelCount(1);
    SetMaxPointsPerChannel(100);
    std::string lines = "\n";
    for (int i = 1; i <= 150; i++)
        lines += std::to_string(i) + "\r\n";
    Feed(lines);
    Rows rows = Stored();
    ASSERT_EQ(rows.size(), 100u);
    EXPECT_EQ(rows.front()[0], 51.0f);
    EXPECT_EQ(rows.back()[0], 150.0f);

    SetMaxPointsPerChannel(10);
    ProcessSerialInput();
    EXPECT_EQ(Stored().size(), 100u); // trimmed only by the next append
    Feed("151\r\n");
    rows = Stored();
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_EQ(rows.front()[0], 142.0f);
}

TEST_F(SerialReaderTest, HighRateInputLosesNothing)
{
    SetMaxPointsPerChannel(10000);
    std::thread reader(SerialThreadMain);
    // 10,000 lines as fast as the terminal takes them.
    std::string burst = "\n";
    for (int i = 0; i < 10000; i++)
        burst += std::to_string(i) + "," + std::to_string(2 * i) + ",-" + std::to_string(i) + ".5\r\n";
    ASSERT_TRUE(device.Send(burst));
    const bool all = WaitForRows(10000);
    StopSerialThread();
    reader.join();
    SerialThreadRunning = true;
    ASSERT_TRUE(all);
    const Rows rows = Stored();
    ASSERT_EQ(rows.size(), 10000u);
    for (int i = 0; i < 10000; i++)
        ASSERT_EQ(rows[i], (std::vector<float>{(float)i, (float)(2 * i), -(float)i - 0.5f})) << "line " << i;
}

TEST_F(SerialReaderTest, PauseDiscardsInputAndKeepsTheTimeAxis)
{
    using Clock = std::chrono::steady_clock;
    const auto begin = Clock::now();
    Feed("\n1,1,1\r\n");
    // A line half read when the pause begins is dropped: what comes after the
    // pause is not its rest.
    Feed("\n4,5");

    // Paused before the thread's first turn: every turn until the resume purges.
    SetAcquisitionPaused(true);
    std::thread reader(SerialThreadMain);
    ASSERT_TRUE(device.Send("9,9,9\r\n9,9,9\r\n"));
    ASSERT_TRUE(device.WaitUntilRead()); // purged, not read
    const auto purged = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto resumed = Clock::now();
    SetAcquisitionPaused(false);

    ASSERT_TRUE(device.Send(",6\r\n7,8,9\r\n"));
    ASSERT_TRUE(WaitForRows(2));
    const auto end = Clock::now();
    StopSerialThread();
    reader.join();
    SerialThreadRunning = true;

    EXPECT_EQ(Stored(), (Rows{{1, 1, 1}, {7, 8, 9}}));
    // The pause, which spans at least purged..resumed, is left out of the time stamps.
    const std::vector<float> times = Times();
    const double wall = std::chrono::duration<double>(end - begin).count();
    const double paused = std::chrono::duration<double>(resumed - purged).count();
    EXPECT_LE(times[1] - times[0], wall - paused);
    EXPECT_GT(times[1] - times[0], 0.0f);
}

TEST_F(SerialReaderTest, ClosingWhilePausedClearsAtResume)
{
    Feed("\n1,2,3\r\n4,5,6\r\n");
    ASSERT_EQ(Times().size(), 2u);
    SetAcquisitionPaused(true);
    std::thread reader(SerialThreadMain);
    ASSERT_TRUE(device.Send("7,8,9\r\n"));
    ASSERT_TRUE(device.WaitUntilRead()); // purged: the thread is turning, paused
    SetSerialPortOpen(false);
    CloseSerialPort();
    EXPECT_EQ(Times().size(), 2u);

    testing::internal::CaptureStdout();
    SetAcquisitionPaused(false);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!Times().empty() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    StopSerialThread();
    reader.join();
    SerialThreadRunning = true;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "[RESET WARNING] Clearing data with 2 data points\n");
    EXPECT_TRUE(Times().empty());
}

TEST_F(SerialReaderTest, AnUnfinishedLineNeverJoinsBytesOfAnotherOpening)
{
    // "12,3" | Close | Open | "4,5" CR LF never makes the row 12, 34, 5.
    Feed("\n12,3");
    SetSerialPortOpen(false);
    CloseSerialPort();
    ProcessSerialInput();
    ASSERT_EQ(OpenSerialPort(device.Path(), 115200, 0, 0), SerialSuccess);
    SetSerialPortOpen(true);
    Feed("4,5\r\n6,7,8\r\n");
    EXPECT_EQ(Stored(), (Rows{{6, 7, 8}}));

    // Nor when another device is opened before the reader has seen the close.
    Feed("\n12,3");
    SetSerialPortOpen(false);
    CloseSerialPort();
    PtyDevice other;
    ASSERT_EQ(OpenSerialPort(other.Path(), 115200, 0, 0), SerialSuccess);
    SetSerialPortOpen(true);
    Feed(other, "4,5\r\n9,9,9\r\n");
    EXPECT_EQ(Stored(), (Rows{{6, 7, 8}, {9, 9, 9}}));
}

TEST_F(SerialReaderTest, AVanishedDeviceClosesThePortWithOneMessage)
{
    Feed("\n1,2,3\r\n4,5");
    const std::string path = device.Path();
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    device.Unplug();
    for (int i = 0; i < 5; i++)
        ProcessSerialInput();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Error: Serial port " + path + " disconnected (the device hung up); the port was closed\n");
    EXPECT_FALSE(IsSerialPortOpen());
    EXPECT_EQ(GetLostSerialPort(), path);
    EXPECT_EQ(SendSerialString("x"), SerialNothingSent);
    // What came before the loss stays to be looked at, until a port is opened again.
    EXPECT_EQ(Stored(), (Rows{{1, 2, 3}}));

    // Plugged in again: it opens and reads like any device, without the lost half line.
    PtyDevice replugged;
    ASSERT_EQ(OpenSerialPort(replugged.Path(), 115200, 0, 0), SerialSuccess);
    EXPECT_EQ(GetLostSerialPort(), "");
    SetSerialPortOpen(true);
    Feed(replugged, "6\r\n7,8,9\r\n");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "[RESET WARNING] Clearing data with 1 data points\n");
    EXPECT_EQ(Stored(), (Rows{{7, 8, 9}}));

    // Unplugged while acquisition is paused: noticed all the same.
    std::thread reader(SerialThreadMain);
    SetAcquisitionPaused(true);
    testing::internal::CaptureStderr();
    replugged.Unplug();
    for (int i = 0; i < 6000 && IsSerialPortOpen(); i++) // only catches a hang
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    StopSerialThread();
    reader.join();
    SerialThreadRunning = true;
    EXPECT_FALSE(IsSerialPortOpen());
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Error: Serial port " + replugged.Path() + " disconnected (the device hung up); the port was closed\n");
    SetAcquisitionPaused(false);
    ProcessSerialInput();
    EXPECT_EQ(Stored(), (Rows{{7, 8, 9}}));
}

TEST_F(SerialReaderTest, RecordsEveryLineToCsv)
{
    const std::string file = "reader_recording.csv";
    ASSERT_TRUE(StartCsvRecording(file, {"a", "b"}));
    Feed("\n1,2,3\r\nReady\r\n\r\n-0.5,16777217\r\n");
    EXPECT_EQ(GetCsvRowCount(), 2u);
    // Its time goes on across 0.2 s closed by the user, and 0.2 s from a device loss to another device.
    SetSerialPortOpen(false);
    CloseSerialPort();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ProcessSerialInput();
    ASSERT_EQ(OpenSerialPort(device.Path(), 115200, 0, 0), SerialSuccess);
    SetSerialPortOpen(true);
    Feed("\n4,4,4\r\n");
    device.Unplug();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ProcessSerialInput();
    ProcessSerialInput();
    PtyDevice other;
    ASSERT_EQ(OpenSerialPort(other.Path(), 115200, 0, 0), SerialSuccess);
    SetSerialPortOpen(true);
    Feed(other, "\n5,5,5\r\n");
    const float store_time = Times().back();
    StopCsvRecording();

    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::istringstream lines(text.str());
    std::string header, row1, row2, row3, row4;
    for (std::string* line : {&header, &row1, &row2, &row3, &row4})
        std::getline(lines, *line);
    EXPECT_EQ(header, "Timestamp,a,b\r");
    // Three values to a row (the channel count), with the CSV's own time.
    EXPECT_NE(row1.find(",1.000000,2.000000,3.000000\r"), std::string::npos) << row1;
    // The numbers as sent (a float holds 16777216), the filled channel as stored.
    EXPECT_NE(row2.find(",-0.500000,16777217.000000,3.000000\r"), std::string::npos) << row2;
    EXPECT_GE(std::stod(row3) - std::stod(row2), 0.2);
    EXPECT_GE(std::stod(row4) - std::stod(row3), 0.2);
    EXPECT_LT(store_time, std::stod(row4) - 0.4); // the store's time restarted at the opening
    std::remove(file.c_str());
}
