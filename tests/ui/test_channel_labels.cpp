#include "serial/ChannelData.h"
#include "ui/ChannelLabels.h"
#include "ui/DashboardSettings.h"

#include <gtest/gtest.h>

using Names = std::vector<std::string>;

TEST(ChannelLabels, DefaultsAndNumbering)
{
    EXPECT_EQ(MakeUniqueChannelLabels({"", "Temp", "Temp"}), (Names{"Channel 1", "Temp (1)", "Temp (2)"}));
    // A default name takes part in the numbering like a typed one.
    EXPECT_EQ(MakeUniqueChannelLabels({"A", "", "Channel 2"}), (Names{"A", "Channel 2 (1)", "Channel 2 (2)"}));
    EXPECT_EQ(MakeUniqueChannelLabels({"a", "A"}), (Names{"a", "A"}));
    EXPECT_TRUE(MakeUniqueChannelLabels({}).empty());
    // No second pass: a numbered label may equal a typed one.
    EXPECT_EQ(MakeUniqueChannelLabels({"Temp (1)", "Temp", "Temp"}), (Names{"Temp (1)", "Temp (1)", "Temp (2)"}));

    ChannelDisplayNames = {"x", ""};
    Names labels{"stale", "stale", "stale"};
    SetChannelCount(3); // one label per channel of the count
    GetChannelLabels(labels);
    EXPECT_EQ(labels, (Names{"x", "Channel 2", "Channel 3"}));
    SetChannelCount(0);
    ChannelDisplayNames.clear();
}

TEST(DashboardSettings, StartValuesAndVisibility)
{
    bool enabled = true, dual = true, dots = false;
    GetCursorSettings(enabled, dual, dots);
    EXPECT_FALSE(enabled);
    EXPECT_FALSE(dual);
    EXPECT_TRUE(dots);
    EXPECT_FALSE(IsChannelStatisticsShown());
    EXPECT_EQ(GetThemeIndex(), 1);
    EXPECT_TRUE(GetPlotThemeIndex());

    std::vector<bool> visibility{true, true, true, true, true};
    ShowIndividualPlot[2] = true;
    GetChannelVisibility(visibility);
    EXPECT_EQ(visibility, (std::vector<bool>{false, false, true}));
    ShowIndividualPlot[2] = false;
}
