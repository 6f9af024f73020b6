// The reader thread against the user-interface thread, under ThreadSanitizer.
#include "SerialReaderFixture.h"

#include "serial/CsvRecorder.h"

#include <atomic>
#include <cstdio>

// Lines stream in while the UI thread takes snapshots, pauses and resumes,
// changes the channel count and the limit, and starts and stops recordings.
TEST_F(SerialReaderTest, ReaderAgainstUserInterfaceThread)
{
    std::atomic<bool> sending{true};
    std::thread device_side([&] {
        std::string lines;
        for (int i = 0; i < 200; i++)
            lines += std::to_string(i) + "," + std::to_string(i) + "," + std::to_string(i) + "\r\n";
        while (sending)
        {
            device.Send(lines);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    std::thread reader(SerialThreadMain);

    const std::string file = "concurrency.csv";
    std::vector<float> times;
    std::vector<std::vector<float>> channels;
    // Checked after the threads are joined, so a failure cannot leave them running.
    size_t bad_snapshots = 0;
    for (int frame = 0; frame < 300; frame++)
    {
        GetChannelDataSnapshot(times, channels);
        // Every row is whole (one entry in every history) and one line the
        // device sent: its values are equal, however pauses cut the stream.
        bool whole = channels.size() <= 3 && times.size() <= 1000;
        for (const std::vector<float>& history : channels)
            whole = whole && history.size() == times.size();
        for (size_t k = 0; whole && k < times.size(); k++)
            for (const std::vector<float>& history : channels)
                whole = whole && history[k] == channels[0][k];
        bad_snapshots += whole ? 0 : 1;
        if (frame % 50 == 10)
            SetAcquisitionPaused(true);
        if (frame % 50 == 20)
            SetAcquisitionPaused(false);
        if (frame % 70 == 30)
            SetChannelCount(frame % 4);
        if (frame % 70 == 60)
            SetChannelCount(3);
        if (frame % 40 == 5)
            SetMaxPointsPerChannel(frame % 80 == 5 ? 50 : 1000);
        if (frame % 30 == 0)
            StartCsvRecording(file, {"a", "b", "c"});
        if (frame % 30 == 15)
            StopCsvRecording();
        IsCsvRecording();
        GetCsvRowCount();
        GetCsvRefusedRowCount();
        GetCsvFileName();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    // The device stops first: its last send waits for the reader to take it.
    SetAcquisitionPaused(false);
    sending = false;
    device_side.join();
    StopSerialThread();
    reader.join();
    SerialThreadRunning = true;
    StopCsvRecording();
    std::remove(file.c_str());
    EXPECT_EQ(bad_snapshots, 0u);
}

// Sends and reads go on while the port is closed and opened again: none may
// touch a closed descriptor.
TEST_F(SerialReaderTest, SendAndReadAgainstClose)
{
    std::atomic<bool> running{true};
    std::thread drain([&] {
        while (running)
            device.Receive(5);
    });
    std::thread reader(SerialThreadMain);
    std::thread sender([&] {
        int results[11] = {};
        while (running)
        {
            const int r = SendSerialString("ping\r\n");
            ASSERT_TRUE(r == SerialSuccess || r == SerialNothingSent || r == SerialWriteFailed);
            results[r]++;
        }
        EXPECT_GT(results[SerialSuccess], 0);
    });

    for (int i = 0; i < 200; i++)
    {
        SetSerialPortOpen(false);
        CloseSerialPort();
        std::this_thread::sleep_for(std::chrono::microseconds(300));
        if (OpenSerialPort(device.Path(), 115200, 0, 0) != SerialSuccess)
        {
            ADD_FAILURE() << "reopening failed";
            break;
        }
        SetSerialPortOpen(true);
        device.Send("1,2,3\r\n");
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }

    running = false;
    sender.join();
    StopSerialThread();
    reader.join();
    SerialThreadRunning = true;
    drain.join();
}
