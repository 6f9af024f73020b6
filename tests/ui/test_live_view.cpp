#include "ui/DashboardSettings.h"
#include "ui/LiveView.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

TEST(LiveViewTables, GrowOnDemand)
{
    ChannelLineWeights.clear();
    ChannelPlotTypes.clear();

    EXPECT_FLOAT_EQ(GetChannelLineWeight(2), 1.0f);
    EXPECT_EQ(ChannelLineWeights, (std::vector<float>{1.0f, 1.0f, 1.0f}));
    EXPECT_FLOAT_EQ(GetChannelLineWeight(0), 1.0f);
    EXPECT_EQ(ChannelLineWeights.size(), 3u); // never shrinks, never grows without need

    EXPECT_EQ(GetChannelPlotType(1), 0); // beyond the table: a line
    EXPECT_TRUE(ChannelPlotTypes.empty());
    SetChannelPlotType(2, 0);
    EXPECT_EQ(ChannelPlotTypes, (std::vector<int>{0, 0, 0}));
    SetChannelPlotType(1, 3);
    EXPECT_EQ(ChannelPlotTypes, (std::vector<int>{0, 3, 0}));
    EXPECT_EQ(GetChannelPlotType(1), 3);
    EXPECT_EQ(GetChannelPlotType(7), 0);

    ChannelLineWeights.clear();
    ChannelPlotTypes.clear();
}

TEST(LiveViewTables, ColoursAndGetters)
{
    EXPECT_FLOAT_EQ(ChannelColors[0].y, 0.4f);
    EXPECT_FLOAT_EQ(ChannelColors[1].x, 0.2f);
    EXPECT_FLOAT_EQ(ChannelColors[2].z, 0.8f);

    const std::vector<float> times{0.5f, 1.5f, 2.5f};
    const std::vector<float> values{-1.0f, 2.0f};
    ChannelPointData data{times, values};
    ImPlotPoint p = GetChannelPoint(1, &data);
    EXPECT_DOUBLE_EQ(p.x, 1.5);
    EXPECT_DOUBLE_EQ(p.y, 2.0);
    // Beyond either vector, or negative: the origin.
    for (int idx : {2, 3, -1})
    {
        p = GetChannelPoint(idx, &data);
        EXPECT_DOUBLE_EQ(p.x, 0.0);
        EXPECT_DOUBLE_EQ(p.y, 0.0);
    }
    std::vector<float> baseline = times;
    p = GetBaselinePoint(2, &baseline);
    EXPECT_DOUBLE_EQ(p.x, 2.5);
    EXPECT_DOUBLE_EQ(p.y, 0.0);
    p = GetBaselinePoint(3, &baseline);
    EXPECT_DOUBLE_EQ(p.x, 0.0);
    p = GetBaselinePoint(-5, &baseline);
    EXPECT_DOUBLE_EQ(p.x, 0.0);
}

// An inconsistent snapshot is reported and nothing is drawn, so no plot is needed.
TEST(PlotChannel, RenderErrorLines)
{
    std::ostringstream captured;
    std::streambuf* old = std::cout.rdbuf(captured.rdbuf());

    const std::vector<float> times(10, 1.0f);
    const std::vector<std::vector<float>> histories{std::vector<float>(10, 0.0f), std::vector<float>(9, 0.0f), {}};
    PlotChannel(1, "B", ChannelColors[1], times, histories);
    PlotChannel(2, "C", ChannelColors[2], times, histories);
    PlotChannel(3, "D", ChannelColors[0], times, histories);

    std::cout.rdbuf(old);
    EXPECT_EQ(captured.str(), "[RENDER ERROR] Channel 1 size mismatch (snapshot) - channelData: 9, xValues: 10\n"
                              "[RENDER ERROR] Channel 2 has no data in snapshot\n"
                              "[RENDER ERROR] Channel 3 has no data in snapshot\n");
}
