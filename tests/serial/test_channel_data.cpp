#include "serial/ChannelData.h"
#include "StoreTestHelpers.h"

#include <gtest/gtest.h>

TEST(ChannelData, DefaultsOfTheAcquisitionSettings)
{
    EXPECT_EQ(GetChannelCount(), 0);
    EXPECT_FALSE(IsSerialPortOpen());
    EXPECT_FALSE(IsAcquisitionPaused());
    EXPECT_EQ(GetMaxPointsPerChannel(), 1000);
}

TEST(ChannelData, TrimKeepsTheNewestRowsAndHonoursLimitChanges)
{
    ResetStore(3, 1000);
    for (int line = 1; line <= 1500; line++)
        Append(line, 3);
    std::vector<float> times;
    std::vector<std::vector<float>> channels;
    GetChannelDataSnapshot(times, channels);
    ASSERT_EQ(times.size(), 1000u);
    EXPECT_EQ(times.front(), 501.0f);
    EXPECT_EQ(times.back(), 1500.0f);
    ASSERT_EQ(channels.size(), 3u);
    for (const std::vector<float>& h : channels)
    {
        ASSERT_EQ(h.size(), 1000u);
        EXPECT_EQ(h.front(), 501.0f);
    }

    // A lowered limit applies at the next append, in one step.
    SetMaxPointsPerChannel(10);
    GetChannelDataSnapshot(times, channels);
    EXPECT_EQ(times.size(), 1000u);
    Append(1501, 3);
    GetChannelDataSnapshot(times, channels);
    ASSERT_EQ(times.size(), 10u);
    EXPECT_EQ(times.front(), 1492.0f);
    EXPECT_EQ(channels[2].size(), 10u);

    // Raising it keeps every row and lets the store grow.
    SetMaxPointsPerChannel(20);
    Append(1502, 3);
    GetChannelDataSnapshot(times, channels);
    EXPECT_EQ(times.size(), 11u);
    SetMaxPointsPerChannel(1000);
}

TEST(ChannelData, ZeroLimitAndZeroChannels)
{
    ResetStore(2, 0);
    for (int line = 0; line < 50; line++)
        Append(line, 2);
    std::vector<float> times{1.0f};
    std::vector<std::vector<float>> channels{{1.0f}};
    GetChannelDataSnapshot(times, channels);
    EXPECT_TRUE(times.empty());
    ASSERT_EQ(channels.size(), 2u);
    EXPECT_TRUE(channels[0].empty());

    // Rows of a time alone.
    ResetStore(0, 5);
    for (int line = 0; line < 8; line++)
        Append(line, 0);
    GetChannelDataSnapshot(times, channels);
    EXPECT_TRUE(channels.empty());
    EXPECT_EQ(times.size(), 5u);

    // Extra values beyond the histories are ignored.
    ResetStore(1, 5);
    {
        std::lock_guard<std::mutex> lock(ChannelDataMutex);
        AppendSample({1.0f, 2.0f, 3.0f}, 0.5f);
    }
    GetChannelDataSnapshot(times, channels);
    ASSERT_EQ(channels.size(), 1u);
    EXPECT_EQ(channels[0], std::vector<float>{1.0f});
    SetMaxPointsPerChannel(1000);
}
