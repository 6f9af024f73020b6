// The data context text built from a snapshot of the channel store.
#include "ai/AIDataContext.h"
#include "serial/ChannelData.h"
#include "ui/ChannelLabels.h"
#include "ui/DashboardSettings.h"

#include <gtest/gtest.h>

namespace
{
void SetStore(const std::vector<std::vector<float>>& histories)
{
    std::lock_guard<std::mutex> lock(ChannelDataMutex);
    ChannelHistories = histories;
    SampleTimes.assign(histories.empty() ? 0 : histories[0].size(), 0.0f);
}

std::string Context(const std::vector<std::string>& names)
{
    ChannelDisplayNames = names;
    SetChannelCount((int)names.size()); // one label per channel of the count
    std::vector<std::string> labels;
    GetChannelLabels(labels);
    return BuildDataContextText(labels);
}
} // namespace

TEST(AIDataContext, NoChannelsAndEmptyHistories)
{
    SetStore({});
    EXPECT_EQ(Context({}), "No data streams currently active. Connect a serial device to see real-time data.");

    SetStore({{}, {}}); // channels set, no sample yet: no data, not channels that read normal
    EXPECT_EQ(Context({"", ""}), "No data streams currently active. Connect a serial device to see real-time data.");
}

TEST(AIDataContext, OneValueAndNegativeReadings)
{
    SetStore({{-3.5f}});
    EXPECT_EQ(Context({"Volts"}), "STATUS: All data channels normal\n\nCurrent readings & averages:\n"
                                  "- Volts: now=-3.5, avg=-3.5, min=-3.5, max=-3.5\n");

    SetStore({{1.0f, -2.25f, 0.04f}});
    EXPECT_EQ(Context({""}), "STATUS: All data channels normal\n\nCurrent readings & averages:\n"
                             "- Channel 1: now=0.0, avg=-0.4, min=-2.2, max=1.0\n");
    SetStore({std::vector<float>(10000, 101325.0f)}); // a float sum gives avg=101316.0
    EXPECT_NE(Context({""}).find("avg=101325.0,"), std::string::npos);
}

TEST(AIDataContext, RapidChangeWithoutDeviation)
{
    // mean 12, sd 4: Z = 8 / 4.0001 stays below 2.5; delta 10 is above 8.
    SetStore({{10, 10, 10, 10, 20}});
    EXPECT_EQ(Context({"Temp"}), "ALERTS (1 issues detected):\n- Temp shows RAPID CHANGE (10.000000 units)\n\n"
                                 "Current readings & averages:\n- Temp: now=20.0, avg=12.0, min=10.0, max=20.0\n");
}

TEST(AIDataContext, DeviationOutliersAndOrder)
{
    // Nineteen zeros and one 100: Z of the newest = 95 / (21.7945 + 0.0001);
    // one outlier of twenty is not more than 5 %; delta 100 > 2 sd.
    std::vector<float> spike(19, 0.0f);
    spike.push_back(100.0f);
    // Ten spikes among ninety values: more than 5 % outliers, newest normal.
    std::vector<float> noisy;
    for (int i = 0; i < 100; i++)
        noisy.push_back(i % 10 == 5 ? 50.0f : 1.0f);
    noisy.push_back(1.0f);
    SetStore({spike, noisy, {5.0f, 5.0f}});
    std::string text = Context({"A", "B"}); // fewer labels than channels
    EXPECT_EQ(text, "ALERTS (3 issues detected):\n"
                    "- A shows HIGH DEVIATION (Z=4.358879 sigma)\n"
                    "- A shows RAPID CHANGE (100.000000 units)\n"
                    "- B has MANY OUTLIERS (10 spikes/drops detected)\n\n"
                    "Current readings & averages:\n"
                    "- A: now=100.0, avg=5.0, min=0.0, max=100.0\n"
                    "- B: now=1.0, avg=5.9, min=1.0, max=50.0\n"
                    "- Channel_3: now=5.0, avg=5.0, min=5.0, max=5.0\n");
}

TEST(AIDataContext, EmptyChannelSkippedAndDuplicateLabels)
{
    SetStore({{1.0f}, {}, {2.0f}});
    EXPECT_EQ(Context({"X", "X", ""}), "STATUS: All data channels normal\n\nCurrent readings & averages:\n"
                                       "- X (1): now=1.0, avg=1.0, min=1.0, max=1.0\n"
                                       "- Channel 3: now=2.0, avg=2.0, min=2.0, max=2.0\n");
}
