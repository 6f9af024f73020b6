#include "ui/MeasuringCursors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace DualCursorState;

static void ResetCursors()
{
    ClearCursors();
    cursor1Time = 0.0;
    cursor2Time = 0.0;
}

TEST(FindNearestSampleIndex, NearestFirstOfTiesAndEmpty)
{
    const std::vector<float> times{0.0f, 1.0f, 2.0f};
    EXPECT_EQ(FindNearestSampleIndex(times, 0.5), 0);
    EXPECT_EQ(FindNearestSampleIndex(times, 0.6), 1);
    EXPECT_EQ(FindNearestSampleIndex(times, 7.0), 2);
    EXPECT_EQ(FindNearestSampleIndex(times, -3.0), 0);
    EXPECT_EQ(FindNearestSampleIndex({}, 1.0), -1);

    // Distances are compared as floats: 1 + 1e-12 and 1 - 1e-12 are equal, so the first wins.
    EXPECT_EQ(FindNearestSampleIndex({1.0f, 3.0f}, 2.0 + 1e-12), 0);

    // A NaN distance never wins.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(FindNearestSampleIndex({nan, 5.0f, nan}, 0.0), 1);
    EXPECT_EQ(FindNearestSampleIndex({nan}, 0.0), -1);
    EXPECT_EQ(FindNearestSampleIndex(times, std::nan("")), -1);
    // An infinite distance is not below FLT_MAX either.
    EXPECT_EQ(FindNearestSampleIndex({std::numeric_limits<float>::infinity()}, 0.0), -1);
}

TEST(DualCursorState, PlaceMoveTieClearAndDrag)
{
    ResetCursors();
    PlaceOrMoveCursor(1.0);
    EXPECT_TRUE(cursor1Placed);
    EXPECT_FALSE(cursor2Placed);
    EXPECT_TRUE(cursor1Dragging);
    EXPECT_DOUBLE_EQ(cursor1Time, 1.0);
    DragCursors(false, 99.0); // release
    EXPECT_FALSE(cursor1Dragging);
    EXPECT_DOUBLE_EQ(cursor1Time, 1.0);

    PlaceOrMoveCursor(3.0);
    EXPECT_TRUE(cursor2Placed);
    EXPECT_TRUE(cursor2Dragging);
    EXPECT_FALSE(cursor1Dragging);
    EXPECT_DOUBLE_EQ(cursor2Time, 3.0);
    DragCursors(false, 0.0);

    // Half-way: the tie moves cursor 2.
    PlaceOrMoveCursor(2.0);
    EXPECT_DOUBLE_EQ(cursor1Time, 1.0);
    EXPECT_DOUBLE_EQ(cursor2Time, 2.0);
    EXPECT_TRUE(cursor2Dragging);
    DragCursors(false, 0.0);

    // Strictly nearer to cursor 1.
    PlaceOrMoveCursor(1.4);
    EXPECT_DOUBLE_EQ(cursor1Time, 1.4);
    EXPECT_DOUBLE_EQ(cursor2Time, 2.0);
    EXPECT_TRUE(cursor1Dragging);
    EXPECT_FALSE(cursor2Dragging);

    // Dragging follows any x while the button is held, even outside the axes.
    DragCursors(true, -50.0);
    EXPECT_DOUBLE_EQ(cursor1Time, -50.0);
    EXPECT_DOUBLE_EQ(cursor2Time, 2.0);
    DragCursors(false, 7.0);
    EXPECT_DOUBLE_EQ(cursor1Time, -50.0);
    DragCursors(true, 7.0); // held again without a click: nothing is dragged
    EXPECT_DOUBLE_EQ(cursor1Time, -50.0);
    EXPECT_DOUBLE_EQ(cursor2Time, 2.0);

    // Clear: every flag goes, the times stay; the next click places cursor 1.
    PlaceOrMoveCursor(2.5);
    ClearCursors();
    EXPECT_FALSE(cursor1Placed || cursor2Placed || cursor1Dragging || cursor2Dragging);
    EXPECT_DOUBLE_EQ(cursor2Time, 2.5);
    PlaceOrMoveCursor(4.0);
    EXPECT_TRUE(cursor1Placed);
    EXPECT_FALSE(cursor2Placed);
    EXPECT_DOUBLE_EQ(cursor1Time, 4.0);
    EXPECT_DOUBLE_EQ(cursor2Time, 2.5);
    ResetCursors();
}

TEST(CursorTooltips, CombinedPlotTexts)
{
    ResetCursors();
    const std::vector<float> times{1.0f, 2.0f, 3.0f};
    const std::vector<std::vector<float>> histories{{5.0f, 5.5f, 6.0f}, {10.0f, 20.0f}};
    const std::vector<std::string> labels{"", "Temp"};

    // Cursor 1 alone: no delta line, no value differences.
    PlaceOrMoveCursor(3.0);
    EXPECT_EQ(DualCursorTooltip(1, labels, times, histories), "Cursor 1 - Time: 3.000000s\n---\n"
                                                              "Channel 1: 6.000000\n");
    // Cursor 2 left of cursor 1: the time difference has no sign, the value
    // difference is cursor 2 minus cursor 1 in both texts. Channel 2 has no
    // sample at cursor 1's index, so it is left out of cursor 1's text and has
    // no difference in cursor 2's.
    PlaceOrMoveCursor(1.0);
    EXPECT_EQ(DualCursorTooltip(1, labels, times, histories), "Cursor 1 - Time: 3.000000s\n"
                                                              "\xCE\x94T: 2.000000s\n---\n"
                                                              "Channel 1: 6.000000 (\xCE\x94: -1.000000)\n");
    EXPECT_EQ(DualCursorTooltip(2, labels, times, histories), "Cursor 2 - Time: 1.000000s\n"
                                                              "\xCE\x94T: 2.000000s\n---\n"
                                                              "Channel 1: 5.000000 (\xCE\x94: -1.000000)\n"
                                                              "Temp: 10.000000\n");
    // A label list shorter than the channels limits the readings.
    EXPECT_EQ(DualCursorTooltip(2, {"A"}, times, histories), "Cursor 2 - Time: 1.000000s\n"
                                                             "\xCE\x94T: 2.000000s\n---\n"
                                                             "A: 5.000000 (\xCE\x94: -1.000000)\n");
    // The cursor time is shown as placed, not snapped.
    cursor2Time = 1.25;
    EXPECT_EQ(DualCursorTooltip(2, {}, times, histories), "Cursor 2 - Time: 1.250000s\n"
                                                          "\xCE\x94T: 1.750000s\n---\n");
    // A cursor outside the data reads nothing: the other cursor shows no difference to it.
    cursor1Time = 5.0;
    EXPECT_EQ(DualCursorTooltip(2, labels, times, histories), "Cursor 2 - Time: 1.250000s\n"
                                                              "\xCE\x94T: 3.750000s\n---\n"
                                                              "Channel 1: 5.000000\nTemp: 10.000000\n");
    ResetCursors();
}

TEST(CursorTooltips, IndividualAndSingleTexts)
{
    ResetCursors();
    const std::vector<float> times{1.0f, 1.5f, 3.0f};
    const std::vector<std::vector<float>> histories{{5.0f, 2.25f, 6.0f}, {7.0f}};

    PlaceOrMoveCursor(1.1);
    EXPECT_EQ(IndividualDualCursorTooltip(0, "Volts", times, histories), "Time: 1.100000s\nVolts: 5.000000");
    PlaceOrMoveCursor(2.9);
    EXPECT_EQ(IndividualDualCursorTooltip(0, "Volts", times, histories),
              "Time: 1.100000s\nVolts: 5.000000 (\xCE\x94: 1.000000)");
    // Cursor 2's index lies beyond channel 1: no difference part.
    EXPECT_EQ(IndividualDualCursorTooltip(1, "B", times, histories), "Time: 1.100000s\nB: 7.000000");
    // Neither index valid, or no such channel: the time line only.
    cursor1Time = 3.0;
    EXPECT_EQ(IndividualDualCursorTooltip(1, "B", times, histories), "Time: 3.000000s\n");
    EXPECT_EQ(IndividualDualCursorTooltip(5, "X", times, histories), "Time: 3.000000s\n");

    EXPECT_EQ(SingleCursorTooltip(1, {"", ""}, times, histories), "Time: 1.500000s\nChannel 1: 2.250000\n");
    EXPECT_EQ(SingleCursorTooltip(0, {"", "B"}, times, histories),
              "Time: 1.000000s\nChannel 1: 5.000000\nB: 7.000000\n");
    EXPECT_EQ(IndividualSingleCursorTooltip(1.5, "Channel 1", 2.25f), "Time: 1.500s\nChannel 1: 2.250");
    EXPECT_EQ(IndividualSingleCursorTooltip(0.0005, "x", -1.0f), "Time: 0.001s\nx: -1.000");

    // "%f" of a large value is longer than a small buffer.
    EXPECT_EQ(FormatFixed(1e30).size(), std::string("1000000000000000019884624838656.000000").size());
    EXPECT_EQ(FormatFixed(-0.5), "-0.500000");
    ResetCursors();
}
