#include "serial/ChannelData.h"
#include "StoreTestHelpers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

// Snapshots taken while the reader appends always see whole rows.
TEST(ChannelDataConcurrency, SnapshotsSeeConsistentRows)
{
    ResetStore(3, 100);
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int line = 0; line < 20000; line++)
            Append(line, 3);
        done = true;
    });
    std::vector<float> times;
    std::vector<std::vector<float>> channels;
    int snapshots = 0;
    while (!done || snapshots == 0)
    {
        GetChannelDataSnapshot(times, channels);
        ASSERT_EQ(channels.size(), 3u);
        for (const std::vector<float>& h : channels)
        {
            ASSERT_EQ(h.size(), times.size());
            for (size_t k = 0; k < h.size(); k++)
                ASSERT_EQ(h[k], times[k]);
        }
        ASSERT_LE(times.size(), 100u);
        snapshots++;
    }
    writer.join();
    SetMaxPointsPerChannel(1000);
}
