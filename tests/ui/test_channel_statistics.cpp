// The statistics of the "Channel Statistics" table and their text forms.
#include "ui/ChannelStatistics.h"

#include <gtest/gtest.h>

TEST(ChannelStatistics, TextFormats)
{
    EXPECT_EQ(FormatFloat3(1.5f), "1.500");
    EXPECT_EQ(FormatFloat3(-0.1234f), "-0.123");
    EXPECT_EQ(FormatFloat3(0.0f), "0.000");
    EXPECT_EQ(FormatFloat3(2.0005f), "2.000"); // 2.0005f is stored just below 2.0005
    EXPECT_EQ(FormatFloat3(-1000000.0f), "-1000000.000");
    EXPECT_EQ(FormatTimeSpan(1.75f), "1.750 s");
    EXPECT_EQ(FormatTimeSpan(0.0f), "0.000 s");
}

TEST(ChannelStatistics, KnownValuesOneValueEqualValuesNegatives)
{
    // Values 1, 2, 4 at times 0.5, 1.0, 2.25.
    std::vector<ChannelStatisticsRow> rows =
        ComputeChannelStatistics({0.5f, 1.0f, 2.25f}, {{1, 2, 4}}, 1, {"Channel 1"});
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].count, 3);
    EXPECT_EQ(FormatFloat3(rows[0].minimum), "1.000");
    EXPECT_EQ(FormatFloat3(rows[0].maximum), "4.000");
    EXPECT_EQ(FormatFloat3(rows[0].average), "2.333");
    EXPECT_EQ(FormatFloat3(rows[0].range), "3.000");
    EXPECT_EQ(FormatTimeSpan(rows[0].timeSpan), "1.750 s");

    // One value: min = max = avg, range and span 0.
    rows = ComputeChannelStatistics({3.0f}, {{-7.25f}}, 1, {"a"});
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].count, 1);
    EXPECT_EQ(rows[0].minimum, -7.25f);
    EXPECT_EQ(rows[0].maximum, -7.25f);
    EXPECT_EQ(rows[0].average, -7.25f);
    EXPECT_EQ(rows[0].range, 0.0f);
    EXPECT_EQ(rows[0].timeSpan, 0.0f);

    // Equal values and negatives, three channels.
    rows = ComputeChannelStatistics({0, 1, 2, 3}, {{5, 5, 5, 5}, {-1, -3, -2, -3}, {-0.5f, 0.5f, -0.5f, 0.5f}}, 3,
                                    {"x", "y", "z"});
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].average, 5.0f);
    EXPECT_EQ(rows[0].range, 0.0f);
    EXPECT_EQ(rows[1].minimum, -3.0f);
    EXPECT_EQ(rows[1].maximum, -1.0f);
    EXPECT_EQ(rows[1].average, -2.25f);
    EXPECT_EQ(rows[1].range, 2.0f);
    EXPECT_EQ(rows[2].average, 0.0f);
    EXPECT_EQ(rows[2].range, 1.0f);
    for (const ChannelStatisticsRow& row : rows)
        EXPECT_EQ(row.timeSpan, 3.0f);

    // Long runs of large values: a constant's average is that constant, and every average
    // lies within [min, max].
    std::vector<float> alternating;
    for (int k = 0; k < 1000; k++)
        alternating.push_back(k % 2 ? 20000004.0f : 20000000.0f);
    rows = ComputeChannelStatistics(
        {}, {std::vector<float>(1000, 65535.0f), std::vector<float>(1000, 1000.3f), alternating}, 3, {});
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(FormatFloat3(rows[0].average), "65535.000");
    EXPECT_EQ(rows[1].average, 1000.3f);
    EXPECT_EQ(rows[2].average, 20000002.0f);

    // Extremes of opposite sign: a range beyond any float is still shown as a number.
    rows = ComputeChannelStatistics({}, {{3.4e38f, -3.4e38f}}, 1, {});
    EXPECT_EQ(FormatFloat3(rows.at(0).range).find("inf"), std::string::npos);
}

TEST(ChannelStatistics, RowsLabelsAndTimeSpan)
{
    // Empty channels are skipped; the channel count cuts the list; labels that are missing or
    // empty become "Channel <n>".
    std::vector<ChannelStatisticsRow> rows = ComputeChannelStatistics({0, 1}, {{}, {1, 2}, {3, 4}}, 3, {"first", ""});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].channel, 1);
    EXPECT_EQ(rows[0].label, "Channel 2");
    EXPECT_EQ(rows[1].channel, 2);
    EXPECT_EQ(rows[1].label, "Channel 3");

    rows = ComputeChannelStatistics({0, 1}, {{1, 2}, {3, 4}, {5, 6}}, 2, {"first", "second", "third"});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].label, "first");
    EXPECT_EQ(rows[1].label, "second");

    EXPECT_TRUE(ComputeChannelStatistics({}, {{}, {}}, 2, {}).empty());
    EXPECT_TRUE(ComputeChannelStatistics({0}, {{1}}, 0, {}).empty());

    // A channel not as long as the time vector, or no times at all: span 0.
    rows = ComputeChannelStatistics({0, 1, 5}, {{1, 2}}, 1, {});
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].timeSpan, 0.0f);
    rows = ComputeChannelStatistics({}, {{1, 2}}, 1, {});
    EXPECT_EQ(rows[0].timeSpan, 0.0f);
}

TEST(ChannelStatistics, PaletteStartsWithTheChannelColours)
{
    const float channelColours[3][3] = {{0.0f, 0.4f, 0.8f}, {0.2f, 0.7f, 0.3f}, {0.6f, 0.2f, 0.8f}};
    for (int i = 0; i < 3; i++)
    {
        EXPECT_EQ(StatisticsPalette[i].x, channelColours[i][0]);
        EXPECT_EQ(StatisticsPalette[i].y, channelColours[i][1]);
        EXPECT_EQ(StatisticsPalette[i].z, channelColours[i][2]);
    }
    EXPECT_EQ(StatisticsColor(9).z, 0.8f);
    EXPECT_EQ(StatisticsColor(10).x, 0.5f);
    EXPECT_EQ(StatisticsColor(10).y, 0.5f);
    EXPECT_EQ(StatisticsColor(10).z, 0.5f);
    EXPECT_EQ(StatisticsColor(-1).x, 0.5f);
}
