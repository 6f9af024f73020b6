#include "serial/CsvRecorder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <regex>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace
{
std::string ReadFile(const std::string& name)
{
    std::ifstream in(name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct CsvFile
{
    std::string name;
    explicit CsvFile(std::string n) : name(std::move(n)) { std::remove(name.c_str()); }
    ~CsvFile()
    {
        StopCsvRecording();
        std::remove(name.c_str());
    }
};
} // namespace

TEST(CsvRecorder, FormatAndCounts)
{
    CsvFile csv("format.csv");
    ASSERT_TRUE(StartCsvRecording(csv.name, {"Voltage", "Current (mA)"}));
    EXPECT_TRUE(IsCsvRecording());
    EXPECT_EQ(GetCsvFileName(), csv.name);
    EXPECT_EQ(GetCsvRowCount(), 0u);
    // Each line is on disk as soon as it is written.
    EXPECT_EQ(ReadFile(csv.name), "Timestamp,Voltage,Current (mA)\r\n");

    EXPECT_TRUE(WriteCsvRow(0.5, {1.0f, -2.25f, 3.0f}));
    EXPECT_TRUE(WriteCsvRow(12.3456789, {-0.5f}));
    EXPECT_TRUE(WriteCsvRow(1234567.0, {1e9f, 0.1f}));
    // Each value from the shortest decimal that reads back as the same float.
    EXPECT_TRUE(WriteCsvRow(2.0, {23.7f, 22.05f, 16777217.0f, 0.1234567f, 1e-7f}));
    EXPECT_EQ(GetCsvRowCount(), 4u);
    EXPECT_EQ(ReadFile(csv.name), "Timestamp,Voltage,Current (mA)\r\n"
                                  "0.500000,1.000000,-2.250000,3.000000\r\n"
                                  "12.345679,-0.500000\r\n"
                                  "1234567.000000,1000000000.000000,0.100000\r\n"
                                  "2.000000,23.700000,22.050000,16777216.000000,0.123457,0.000000\r\n");

    StopCsvRecording();
    EXPECT_FALSE(IsCsvRecording());
    EXPECT_EQ(GetCsvFileName(), "");
    EXPECT_EQ(GetCsvRowCount(), 4u); // until the next start
    EXPECT_FALSE(WriteCsvRow(1.0, {1.0f}));
    EXPECT_EQ(GetCsvRowCount(), 4u);
    StopCsvRecording(); // idle: nothing happens
}

TEST(CsvRecorder, ValuesAsTheDeviceSentThem)
{
    // The reader's numbers in double: six decimals at least, and every digit
    // the double needs; NaN records the store's float, as a filled channel is.
    CsvFile csv("exact.csv");
    ASSERT_TRUE(StartCsvRecording(csv.name, {"a"}));
    EXPECT_TRUE(QueueCsvRow(1.0, {16777216.0f, 123456792.0f, 1733760000.0f, 23.7f, 0.1234567f, 22.05f},
                            {16777217.0, 123456789.5, 1733760001.0, 23.7, 0.1234567, NAN}));
    StopCsvRecording();
    EXPECT_EQ(ReadFile(csv.name), "Timestamp,a\r\n1.000000,16777217.000000,123456789.500000,1733760001.000000,"
                                  "23.700000,0.1234567,22.050000\r\n");
}

TEST(CsvRecorder, RefusalsAndRestart)
{
    CsvFile first("first.csv"), second("second.csv");

    testing::internal::CaptureStderr();
    EXPECT_FALSE(StartCsvRecording("", {}));
    EXPECT_FALSE(StartCsvRecording(first.name, {}));
    EXPECT_FALSE(StartCsvRecording("no-such-folder/x.csv", {"a"}));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Error: CSV filename cannot be empty\n"
              "Error: Channel names vector cannot be empty\n"
              "Error: Failed to open CSV file: no-such-folder/x.csv: No such file or directory\n");
    EXPECT_FALSE(IsCsvRecording());

    ASSERT_TRUE(StartCsvRecording(first.name, {"a"}));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(StartCsvRecording(second.name, {"b"}));
    EXPECT_FALSE(WriteCsvRow(1.0, {}));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Error: CSV recording already in progress - stop current recording first\n"
              "Error: Cannot write empty data vector to CSV\n");
    // The running recording goes on untouched.
    EXPECT_EQ(GetCsvFileName(), first.name);
    EXPECT_TRUE(WriteCsvRow(1.0, {2.0f}));
    EXPECT_EQ(ReadFile(first.name), "Timestamp,a\r\n1.000000,2.000000\r\n");
    EXPECT_FALSE(std::ifstream(second.name).good());
    StopCsvRecording();

    // A restart with the same name replaces the file and counts from 0. Names
    // that would break the columns are quoted.
    ASSERT_TRUE(StartCsvRecording(first.name, {"x", "Temp, C", "say \"hi\"", "two\nlines"}));
    EXPECT_EQ(GetCsvRowCount(), 0u);
    EXPECT_TRUE(WriteCsvRow(2.0, {3.0f, 4.0f}));
    StopCsvRecording();

    // Told not to replace, it records to the first free suffixed name. Stop writes the queued rows.
    CsvFile kept("first_2.csv");
    ASSERT_TRUE(StartCsvRecording(first.name, {"a"}, false));
    EXPECT_TRUE(QueueCsvRow(1.0, {2.0f}));
    StopCsvRecording();
    EXPECT_EQ(ReadFile(kept.name), "Timestamp,a\r\n1.000000,2.000000\r\n");
    EXPECT_EQ(ReadFile(first.name), "Timestamp,x,\"Temp, C\",\"say \"\"hi\"\"\",\"two\nlines\"\r\n"
                                    "2.000000,3.000000,4.000000\r\n");
}

TEST(CsvRecorder, ARowThatCannotBeWrittenEndsTheRecordingAtTheLastWholeRow)
{
    // The disk fills up: a file size limit makes writes past it fail, the
    // first one part way through a row.
    CsvFile csv("full.csv");
    signal(SIGXFSZ, SIG_IGN);
    rlimit old_limit;
    getrlimit(RLIMIT_FSIZE, &old_limit);
    rlimit limit = old_limit;
    limit.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);

    ASSERT_TRUE(StartCsvRecording(csv.name, {"a"}));
    testing::internal::CaptureStderr();
    int written = 0;
    for (int i = 0; i < 20; i++) // rows 2 to 19 as the reader writes them: queued, then together
        written += i < 2 ? WriteCsvRow(i, {1.0f}) : (QueueCsvRow(i, {1.0f}), 0);
    FlushCsvRows();
    const std::string err = testing::internal::GetCapturedStderr();
    setrlimit(RLIMIT_FSIZE, &old_limit);

    // Said once; the recording has ended and says why.
    EXPECT_EQ(err, "Error writing to CSV file: full.csv: File too large\n");
    EXPECT_EQ(written, 2);
    EXPECT_FALSE(IsCsvRecording());
    EXPECT_EQ(GetCsvFileName(), "");
    EXPECT_EQ(GetCsvRowCount(), 4u);
    EXPECT_EQ(GetCsvStopReason(), "Recording stopped: full.csv: File too large (4 rows recorded)");
    // The file ends at the last whole row, also after Stop.
    StopCsvRecording();
    EXPECT_EQ(ReadFile(csv.name), "Timestamp,a\r\n0.000000,1.000000\r\n1.000000,1.000000\r\n"
                                  "2.000000,1.000000\r\n3.000000,1.000000\r\n");

    // A header that cannot be written: the recording does not start.
    limit.rlim_cur = 5;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    EXPECT_FALSE(StartCsvRecording(csv.name, {"a"}));
    setrlimit(RLIMIT_FSIZE, &old_limit);
    EXPECT_EQ(GetCsvStartError(), "Error writing to CSV file: full.csv: File too large");
    EXPECT_EQ(ReadFile(csv.name), "");
    EXPECT_FALSE(IsCsvRecording());
    EXPECT_EQ(GetCsvStopReason(), ""); // a new start clears the last reason

    // Renamed while recording: the rows follow the file under its new name.
    CsvFile renamed("renamed.csv"), moved("moved.csv");
    ASSERT_TRUE(StartCsvRecording(renamed.name, {"a"}));
    EXPECT_TRUE(WriteCsvRow(1.0, {1.0f}));
    ASSERT_EQ(std::rename(renamed.name.c_str(), moved.name.c_str()), 0);
    EXPECT_TRUE(WriteCsvRow(2.0, {2.0f}));
    const std::string now = GetCsvFileName();
    EXPECT_EQ(now.substr(now.size() - 10), "/moved.csv") << now;
    StopCsvRecording();
    EXPECT_EQ(ReadFile(moved.name), "Timestamp,a\r\n1.000000,1.000000\r\n2.000000,2.000000\r\n");

    // Deleted while recording: the rows would go nowhere, so the recording ends.
    ASSERT_TRUE(StartCsvRecording(renamed.name, {"a"}));
    EXPECT_TRUE(WriteCsvRow(1.0, {1.0f}));
    std::remove(renamed.name.c_str());
    testing::internal::CaptureStderr();
    EXPECT_FALSE(WriteCsvRow(2.0, {2.0f}));
    EXPECT_FALSE(WriteCsvRow(3.0, {3.0f}));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error writing to CSV file: renamed.csv: the file was deleted\n");
    EXPECT_FALSE(IsCsvRecording());
    EXPECT_EQ(GetCsvStopReason(), "Recording stopped: renamed.csv: the file was deleted (1 row recorded)");

    // Deleted while no rows arrive (device gone): the section must not keep saying "REC".
    ASSERT_TRUE(StartCsvRecording(renamed.name, {"a"}));
    std::remove(renamed.name.c_str());
    testing::internal::CaptureStderr();
    EXPECT_FALSE(IsCsvRecording());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error writing to CSV file: renamed.csv: the file was deleted\n");
    EXPECT_EQ(GetCsvStopReason(), "Recording stopped: renamed.csv: the file was deleted (0 rows recorded)");

    // A new recording starts clean.
    ASSERT_TRUE(StartCsvRecording(renamed.name, {"a"}));
    EXPECT_EQ(GetCsvStopReason(), "");
    EXPECT_TRUE(WriteCsvRow(1.0, {1.0f}));
    EXPECT_EQ(GetCsvRowCount(), 1u);
}

TEST(CsvRecorder, ANameThatIsNoRegularFileIsRefusedWithoutBlocking)
{
    CsvFile fifo("pipe.csv"), target("target.csv"), link("link.csv");
    ASSERT_EQ(mkfifo(fifo.name.c_str(), 0666), 0);
    rmdir("folder.csv");
    ASSERT_EQ(mkdir("folder.csv", 0777), 0);
    // A FIFO with no reader would block the open for good: a hang ends as a failure.
    std::atomic<bool> done{false};
    bool started = true;
    std::thread start([&] {
        started = StartCsvRecording(fifo.name, {"a"});
        done = true;
    });
    for (int i = 0; i < 1000 && !done; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const bool in_time = done;
    if (!in_time)
        close(open(fifo.name.c_str(), O_RDONLY | O_NONBLOCK)); // lets the open go on
    start.join();
    EXPECT_TRUE(in_time) << "the open blocked";
    EXPECT_FALSE(started);
    EXPECT_EQ(GetCsvStartError(), "Error: Failed to open CSV file: pipe.csv: not a regular file (a FIFO)");

    // With a reader too, and for a device (nothing written into it) or a directory.
    const int reader = open(fifo.name.c_str(), O_RDONLY | O_NONBLOCK);
    EXPECT_FALSE(StartCsvRecording(fifo.name, {"a"}));
    char byte;
    EXPECT_EQ(read(reader, &byte, 1), 0);
    close(reader);
    EXPECT_FALSE(StartCsvRecording("/dev/full", {"a"}));
    EXPECT_EQ(GetCsvStartError(), "Error: Failed to open CSV file: /dev/full: not a regular file (a character device)");
    EXPECT_FALSE(StartCsvRecording("folder.csv", {"a"}));
    EXPECT_EQ(GetCsvStartError(), "Error: Failed to open CSV file: folder.csv: not a regular file (a directory)");
    rmdir("folder.csv");
    EXPECT_FALSE(IsCsvRecording());

    // A link to a regular file records into that file, replacing it.
    std::ofstream(target.name) << "old";
    ASSERT_EQ(symlink(target.name.c_str(), link.name.c_str()), 0);
    ASSERT_TRUE(StartCsvRecording(link.name, {"a"}));
    EXPECT_EQ(GetCsvStartError(), "");
    StopCsvRecording();
    EXPECT_EQ(ReadFile(target.name), "Timestamp,a\r\n");
}

TEST(CsvRecorder, TimestampedFileName)
{
    const std::string name = MakeTimestampedFileName("dravik");
    EXPECT_TRUE(std::regex_match(name, std::regex("dravik_20[0-9]{6}_[0-2][0-9][0-5][0-9][0-6][0-9]\\.csv"))) << name;
}
