// Serial reader benchmark: continuous 16-byte lines at the byte rate of
// 921,600 baud (92,160 bytes a second, 5,760 lines a second) through a
// pseudo-terminal, for the program's reader and, side by side in the same
// run, for the unmended reader. Usage: bench_serial_reader [seconds]
#include "UnmendedReader.h"

#include "platform/SerialDevice.h"
#include "serial/ChannelData.h"
#include "serial/CsvRecorder.h"
#include "serial/SerialPort.h"
#include "serial/SerialReader.h"
#include "support/PtyDevice.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <numeric>
#include <fcntl.h>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace
{
constexpr double LinesPerSecond = 5760.0;
constexpr int LineBytes = 16;

// "SSSSSS,CCCCC,D\r\n": a sequence number and two values derived from it, so a
// sample that lost or gained bytes is told from a whole one.
int CheckValue(int seq) { return (int)(((long)seq * 7919 + 13) % 100000); }

int CheckDigit(int seq)
{
    int sum = 0;
    for (int s = seq; s > 0; s /= 10)
        sum += s % 10;
    return sum % 10;
}

std::string MakeLine(long index)
{
    const int seq = (int)(index % 1000000);
    char line[32];
    snprintf(line, sizeof(line), "%06d,%05d,%d\r\n", seq, CheckValue(seq), CheckDigit(seq));
    return line;
}

bool IsWhole(const std::vector<float>& v)
{
    if (v.size() != 3 || v[0] < 0 || v[0] >= 1000000 || v[0] != (float)(int)v[0])
        return false;
    const int seq = (int)v[0];
    return v[1] == (float)CheckValue(seq) && v[2] == (float)CheckDigit(seq);
}

struct Figures
{
    std::atomic<long> linesSent{0};
    std::atomic<long> linesRefused{0}; // the driver's buffer was full: a real port overruns
    long samplesReceived = 0;
    long samplesCorrupted = 0;
    double cpuSeconds = 0.0;
};

// A CSV file of this run's own, in a folder made for it: nobody else can
// have created it or be reading it. Removed with its folder at the end.
struct PrivateCsv
{
    std::string folder;
    std::string path;
    explicit PrivateCsv(const char* name)
    {
        char tmpl[] = "/tmp/bench_serial_reader.XXXXXX";
        if (mkdtemp(tmpl))
        {
            folder = tmpl;
            path = folder + "/" + name;
        }
    }
    ~PrivateCsv()
    {
        if (folder.empty())
            return;
        std::remove(path.c_str());
        rmdir(folder.c_str());
    }
};

double ThreadCpuSeconds(pthread_t thread)
{
    clockid_t clock;
    timespec ts;
    if (pthread_getcpuclockid(thread, &clock) != 0 || clock_gettime(clock, &ts) != 0)
        return 0.0;
    return (double)ts.tv_sec + (double)ts.tv_nsec / 1e9;
}

// Writes lines at the target rate, as a device on a real line would: a line
// the driver has no room for is not held back but lost (counted as refused).
void Device(int master, double seconds, Figures& figures)
{
    const int flags = fcntl(master, F_GETFL);
    fcntl(master, F_SETFL, flags | O_NONBLOCK);
    if (write(master, "\n", 1) != 1)
        return;
    const auto start = std::chrono::steady_clock::now();
    const long total = (long)(seconds * LinesPerSecond);
    long next = 0;
    while (next < total)
    {
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const long due = std::min(total, (long)(elapsed * LinesPerSecond));
        for (; next < due; next++)
        {
            const std::string line = MakeLine(next);
            const ssize_t n = write(master, line.data(), line.size());
            if (n == (ssize_t)line.size())
                figures.linesSent++;
            else
            {
                // A partial write leaves a cut line on the wire, as an overrun would.
                figures.linesRefused++;
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
}

// Follows the store through snapshots (as the UI does, but more often) and
// checks every new row. Rows are told apart by time; equal times are counted.
struct StoreFollower
{
    float lastTime = -1.0f;
    size_t lastTimeCount = 0;
    bool fellBehind = false;

    void Poll(Figures& figures)
    {
        std::vector<float> times;
        std::vector<std::vector<float>> channels;
        GetChannelDataSnapshot(times, channels);
        if (times.empty())
            return;
        if (lastTime >= 0 && times.front() > lastTime)
            fellBehind = true;
        size_t first = 0, ties = 0;
        while (first < times.size() && times[first] < lastTime)
            first++;
        while (first < times.size() && times[first] == lastTime)
        {
            first++;
            ties++;
        }
        // Rows at the last known time beyond those already counted are new.
        if (ties > lastTimeCount)
            first -= ties - lastTimeCount;
        for (size_t k = first; k < times.size(); k++)
        {
            std::vector<float> row;
            for (const std::vector<float>& history : channels)
                row.push_back(history[k]);
            figures.samplesReceived++;
            if (!IsWhole(row))
                figures.samplesCorrupted++;
        }
        const float newest = times.back();
        size_t count = 0;
        for (size_t k = times.size(); k > 0 && times[k - 1] == newest; k--)
            count++;
        lastTimeCount = count;
        lastTime = newest;
    }
};

void PrintTimes(const char* what, std::vector<double> ms)
{
    const double mean = std::accumulate(ms.begin(), ms.end(), 0.0) / (double)ms.size();
    std::sort(ms.begin(), ms.end());
    printf("  %-28s mean %.3f ms, median %.3f ms, p95 %.3f ms, max %.3f ms\n", what, mean, ms[ms.size() / 2],
           ms[ms.size() * 95 / 100], ms.back());
}

// The reader step holds the data lock for its whole body: how long the store
// work of one full step takes (16 KiB of clean lines parsed into a full store
// of 10,000 points in 3 channels), without and with a recording running. The
// bytes are handed to the parser as the step hands what it read; a
// pseudo-terminal never holds 16 KiB at once. A recording's rows are written
// after the lock is released, as the step does; the whole step counts them.
void MeasureLockHold(bool recording)
{
    PrivateCsv csv("step.csv");
    if (recording && (csv.folder.empty() || !StartCsvRecording(csv.path, {"a", "b", "c"})))
    {
        fprintf(stderr, "Error: cannot record to a private temporary file\n");
        return;
    }
    SetMaxPointsPerChannel(MaxPointsLimit);
    {
        std::lock_guard<std::mutex> lock(ChannelDataMutex);
        SampleTimes.assign(MaxPointsLimit, 0.0f);
        ChannelHistories.assign(3, std::vector<float>(MaxPointsLimit, 0.0f));
        ResetSerialParser();
    }
    std::vector<double> holds, steps;
    long index = 0;
    for (int step = 0; step < 500; step++)
    {
        std::string chunk = step == 0 ? "\n" : "";
        while (chunk.size() + LineBytes <= MaxSerialBytesPerStep)
            chunk += MakeLine(index++);
        const auto t0 = std::chrono::steady_clock::now();
        {
            std::lock_guard<std::mutex> lock(ChannelDataMutex);
            ParseSerialBytes((const uint8_t*)chunk.data(), chunk.size());
        }
        const auto t1 = std::chrono::steady_clock::now();
        FlushCsvRows();
        const auto t2 = std::chrono::steady_clock::now();
        holds.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        steps.push_back(std::chrono::duration<double, std::milli>(t2 - t0).count());
    }
    {
        std::lock_guard<std::mutex> lock(ChannelDataMutex);
        SampleTimes.clear();
        ChannelHistories.clear();
    }
    if (recording)
        StopCsvRecording();
    printf("One reader step of %zu bytes (%zu lines) into a full store of %d points, 3 channels, %zu steps, %s:\n",
           MaxSerialBytesPerStep, MaxSerialBytesPerStep / LineBytes, MaxPointsLimit, holds.size(),
           recording ? "recording" : "not recording");
    PrintTimes("data lock held", holds);
    if (recording)
        PrintTimes("whole step (rows written)", steps);
    printf("\n");
}

// The CSV the reader recorded during the run: every row whole, times never
// decreasing.
struct CsvFigures
{
    long rows = 0;
    long corrupted = 0;
    long timeDecreases = 0;
};

CsvFigures CheckCsv(const std::string& path)
{
    CsvFigures figures;
    FILE* file = fopen(path.c_str(), "r");
    if (!file)
        return figures;
    char line[256];
    double last = -1.0;
    bool header = true;
    while (fgets(line, sizeof(line), file))
    {
        if (header)
        {
            header = false;
            continue;
        }
        double time = 0;
        float a = 0, b = 0, c = 0;
        figures.rows++;
        if (sscanf(line, "%lf,%f,%f,%f", &time, &a, &b, &c) != 4 || !IsWhole({a, b, c}))
            figures.corrupted++;
        if (time < last)
            figures.timeDecreases++;
        last = time;
    }
    fclose(file);
    return figures;
}
} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? atof(argv[1]) : 60.0;
    if (seconds <= 0)
    {
        fprintf(stderr, "usage: %s [seconds]\n", argv[0]);
        return 2;
    }

    MeasureLockHold(false);
    MeasureLockHold(true);
    SetMaxPointsPerChannel(1000);

    // The program's reader on one pseudo-terminal.
    PtyDevice mendedDevice;
    SetChannelCount(3);
    if (OpenSerialPort(mendedDevice.Path(), 921600, 0, 0) != SerialSuccess)
    {
        fprintf(stderr, "Error: cannot open %s\n", mendedDevice.Path().c_str());
        return 1;
    }
    SetSerialPortOpen(true);

    // The unmended reader on another.
    PtyDevice unmendedDevice;
    const int unmendedFd = platform::OpenSerialDevice(unmendedDevice.Path());
    termios state;
    if (unmendedFd < 0 || platform::GetSerialDeviceState(unmendedFd, state) != 0 ||
        !platform::SetSerialDeviceState(unmendedFd, state, 921600, 0, 0) ||
        !platform::SetSerialDeviceReadsReturnAtOnce(unmendedFd, state))
    {
        fprintf(stderr, "Error: cannot open %s\n", unmendedDevice.Path().c_str());
        return 1;
    }

    // The program's reader records every row it takes.
    PrivateCsv csv("run.csv");
    if (csv.folder.empty() || !StartCsvRecording(csv.path, {"seq", "check", "digit"}))
    {
        fprintf(stderr, "Error: cannot record to a private temporary file\n");
        return 1;
    }

    Figures mended, unmended;
    std::atomic<bool> unmendedRunning{true};
    UnmendedReader unmendedReader(unmendedFd, 3, [&](const std::vector<float>& values) {
        unmended.samplesReceived++;
        if (!IsWhole(values))
            unmended.samplesCorrupted++;
    });

    std::thread mendedThread(SerialThreadMain);
    std::thread unmendedThread([&] {
        while (unmendedRunning)
        {
            unmendedReader.Step();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    // Let both readers settle on the open ports before the clock starts.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const double mendedCpu0 = ThreadCpuSeconds(mendedThread.native_handle());
    const double unmendedCpu0 = ThreadCpuSeconds(unmendedThread.native_handle());
    const auto start = std::chrono::steady_clock::now();

    std::thread mendedWriter(Device, mendedDevice.MasterFd(), seconds, std::ref(mended));
    std::thread unmendedWriter(Device, unmendedDevice.MasterFd(), seconds, std::ref(unmended));

    StoreFollower follower;
    std::atomic<bool> writing{true};
    std::thread joiner([&] {
        mendedWriter.join();
        unmendedWriter.join();
        writing = false;
    });
    while (writing)
    {
        follower.Poll(mended);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    joiner.join();
    // What is still on its way is read within a few turns.
    for (int i = 0; i < 40; i++)
    {
        follower.Poll(mended);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    mended.cpuSeconds = ThreadCpuSeconds(mendedThread.native_handle()) - mendedCpu0;
    unmended.cpuSeconds = ThreadCpuSeconds(unmendedThread.native_handle()) - unmendedCpu0;

    StopSerialThread();
    mendedThread.join();
    unmendedRunning = false;
    unmendedThread.join();
    follower.Poll(mended);
    StopCsvRecording();
    const CsvFigures recorded = CheckCsv(csv.path);
    SetSerialPortOpen(false);
    CloseSerialPort();
    platform::CloseSerialDevice(unmendedFd);

    const long due = (long)(seconds * LinesPerSecond);
    printf("Serial reader: %d-byte lines at %.0f bytes/s (the byte rate of 921,600 baud), %.0f lines/s, %.0f s, "
           "through pseudo-terminals; store limit %d points\n",
           LineBytes, LinesPerSecond * LineBytes, LinesPerSecond, seconds, GetMaxPointsPerChannel());
    printf("%-44s %12s %12s\n", "", "mended", "unmended");
    printf("%-44s %12ld %12ld\n", "lines due at the target rate", due, due);
    printf("%-44s %12ld %12ld\n", "lines sent", mended.linesSent.load(), unmended.linesSent.load());
    printf("%-44s %12ld %12ld\n", "lines refused by the full driver (overrun)", mended.linesRefused.load(),
           unmended.linesRefused.load());
    printf("%-44s %12ld %12ld\n", "samples received", mended.samplesReceived, unmended.samplesReceived);
    printf("%-44s %12ld %12ld\n", "samples corrupted", mended.samplesCorrupted, unmended.samplesCorrupted);
    const long mendedLost = due - (mended.samplesReceived - mended.samplesCorrupted);
    const long unmendedLost = due - (unmended.samplesReceived - unmended.samplesCorrupted);
    printf("%-44s %12ld %12ld\n", "lines lost (due - whole samples)", mendedLost, unmendedLost);
    printf("%-44s %12ld %12s\n", "rows recorded to CSV", recorded.rows, "-");
    printf("%-44s %12ld %12s\n", "CSV rows corrupted", recorded.corrupted, "-");
    printf("%-44s %12ld %12s\n", "CSV times that went back", recorded.timeDecreases, "-");
    printf("%-44s %11.2f%% %11.2f%%\n", "reader thread CPU (share of one core)", 100.0 * mended.cpuSeconds / wall,
           100.0 * unmended.cpuSeconds / wall);
    if (follower.fellBehind)
        printf("warning: the store follower fell behind; the mended figures undercount\n");
    return 0;
}
