// A pseudo-terminal opened as the program's port, with the reader state reset.
// Tests step the reader themselves (ProcessSerialInput) or run its thread.
#pragma once

#include "serial/ChannelData.h"
#include "serial/SerialPort.h"
#include "serial/SerialReader.h"
#include "support/PtyDevice.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

class SerialReaderTest : public ::testing::Test
{
protected:
    PtyDevice device;

    void SetUp() override
    {
        SetChannelCount(3);
        SetMaxPointsPerChannel(1000);
        SetAcquisitionPaused(false);
        ASSERT_EQ(OpenSerialPort(device.Path(), 115200, 0, 0), SerialSuccess);
        SetSerialPortOpen(true);
        std::lock_guard<std::mutex> lock(ChannelDataMutex);
        ResetSerialParser();
        SampleTimes.clear();
        ChannelHistories.clear();
    }

    void TearDown() override
    {
        SetSerialPortOpen(false);
        CloseSerialPort();
        SetAcquisitionPaused(false);
        SetMaxPointsPerChannel(1000);
    }

    // Sends the bytes (at most one terminal buffer, 4095 bytes) and steps the
    // reader until it has read them all.
    void Feed(const std::string& bytes) { Feed(device, bytes); }
    static void Feed(PtyDevice& to, const std::string& bytes)
    {
        ASSERT_LT(bytes.size(), 4096u);
        ASSERT_TRUE(to.Send(bytes));
        ASSERT_TRUE(to.WaitUntilPending((int)bytes.size()));
        ASSERT_EQ(to.PendingForProgram(), (int)bytes.size());
        for (int i = 0; i < 100 && to.PendingForProgram() > 0; i++)
            ProcessSerialInput();
        ASSERT_EQ(to.PendingForProgram(), 0);
    }

    // The store as rows of values.
    static std::vector<std::vector<float>> Stored()
    {
        std::vector<float> times;
        std::vector<std::vector<float>> channels;
        GetChannelDataSnapshot(times, channels);
        std::vector<std::vector<float>> rows(times.size());
        for (size_t k = 0; k < times.size(); k++)
            for (const std::vector<float>& history : channels)
                rows[k].push_back(history[k]);
        return rows;
    }

    static std::vector<float> Times()
    {
        std::vector<float> times;
        std::vector<std::vector<float>> channels;
        GetChannelDataSnapshot(times, channels);
        return times;
    }

    // Waits (with the reader thread running) until the store holds n rows.
    // The limit only catches a hang.
    static bool WaitForRows(size_t n, int timeout_ms = 60000)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        while (std::chrono::steady_clock::now() < end)
        {
            if (Times().size() >= n)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }
};

using Rows = std::vector<std::vector<float>>;
