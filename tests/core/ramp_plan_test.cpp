// SPDX-License-Identifier: GPL-3.0-or-later
#include "ramp/ramp_plan.h"

#include <gtest/gtest.h>

#include <vector>

#include "gain/checked_int16.h"

namespace selvar::ramp {
namespace {

// The slider values a ramp sets, in order, from a slider value to a stop code.
std::vector<int> rampMoves(RampScale scale, int sliderValue, int stop, int step, bool up) {
    std::vector<int> moves;
    int position = rampPositionOf(scale, sliderValue);
    while (const auto next = nextRampPosition(position, stop, step, up)) {
        position = *next;
        moves.push_back(sliderValueAt(scale, position));
    }
    return moves;
}

std::vector<int> countDown(int from, int to, int by) {
    std::vector<int> values;
    for (int v = from; v >= to; v -= by) {
        values.push_back(v);
    }
    return values;
}

TEST(RampPlan, StepsDownTheWorkedExamples) {
    const RampParameters fine = rampParameters("-30.0", "0.5", "5");
    EXPECT_EQ(fine.stop, 132);
    EXPECT_EQ(fine.step, 1);
    EXPECT_EQ(fine.delay, 5);
    EXPECT_EQ(rampMoves(RampScale::Channel, 192, fine.stop, fine.step, false),
              countDown(191, 132, 1));

    const RampParameters coarse = rampParameters("-31.0", "2.5", "5");
    EXPECT_EQ(coarse.stop, 130);
    EXPECT_EQ(coarse.step, 5);
    std::vector<int> expected = countDown(187, 132, 5);
    ASSERT_EQ(expected.size(), 12u);
    expected.push_back(130);
    EXPECT_EQ(rampMoves(RampScale::Channel, 192, coarse.stop, coarse.step, false), expected);
}

TEST(RampPlan, EndsExactlyOnTheStopOrDoesNothingWhenAtOrBeyondIt) {
    struct Case {
        RampScale scale;
        int sliderValue, stop, step;
        bool up;
        std::vector<int> moves;
    };
    constexpr auto kChannel = RampScale::Channel;
    constexpr auto kGang = RampScale::Gang;
    const Case cases[] = {
        {kChannel, 250, 255, 6, true, {255}},
        {kChannel, 255, 255, 1, true, {}},
        {kChannel, 200, 132, 6, true, {}},
        {kChannel, 132, 132, 1, false, {}},
        {kChannel, 100, 132, 1, false, {}},
        {kChannel, 3, 0, 2, false, {1, 0}},
        // The Gang counts whole codes from its halved value and lands on even values.
        {kGang, 385, 195, 1, true, {386, 388, 390}},
        {kGang, 385, 190, 1, false, {382, 380}},
        {kGang, 385, 193, 2, true, {386}},  // stop less than a step away
        {kGang, 384, 192, 1, true, {}},
        {kGang, 385, 192, 1, false, {}},  // an odd Gang at its stop stays odd
        {kGang, 1, 3, 2, true, {4, 6}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rampMoves(c.scale, c.sliderValue, c.stop, c.step, c.up), c.moves)
            << c.sliderValue << " -> " << c.stop;
    }
    // 42 steps of 6 to 252, then a short last move of 3.
    const auto wholeRange = rampMoves(RampScale::Channel, 0, 255, 6, true);
    ASSERT_EQ(wholeRange.size(), 43u);
    EXPECT_EQ(wholeRange[41], 252);
    EXPECT_EQ(wholeRange.back(), 255);
}

TEST(RampPlan, RefusesStepsThatWouldNeverArriveAndSixteenBitOverflow) {
    EXPECT_THROW(nextRampPosition(0, 10, 0, true), std::invalid_argument);
    EXPECT_THROW(nextRampPosition(10, 0, -1, false), std::invalid_argument);
    EXPECT_THROW(nextRampPosition(32767, 32766, 5, false), gain::Int16Overflow);
    EXPECT_THROW(sliderValueAt(RampScale::Gang, 20000), gain::Int16Overflow);
}

TEST(RampPlan, ReadsEvenUnvalidatedFieldsThroughTheirNormalForms) {
    struct Case {
        const char *stop, *step, *delay;
        RampParameters expected;
    };
    const Case cases[] = {
        {"31.5", "3.0", "50", {255, 6, 50}},  {"-96.0", "1.5", "0", {0, 3, 0}},
        {"5.3", "2.50", "05", {203, 5, 5}},   {"abc", "x", "y", {192, 1, 0}},
        {"99", "7", "100", {192, 1, 0}},      {"", "", "", {192, 1, 0}},
        {"1e39", "inf", "1e39", {192, 1, 0}}, {"0.0", "2.0", "20", {192, 4, 20}},
    };
    for (const auto& c : cases) {
        const RampParameters p = rampParameters(c.stop, c.step, c.delay);
        EXPECT_EQ(p.stop, c.expected.stop) << c.stop;
        EXPECT_EQ(p.step, c.expected.step) << c.step;
        EXPECT_EQ(p.delay, c.expected.delay) << c.delay;
    }
}

TEST(RampPlan, OrdersStopsOnlyWhenBothReadAndTopIsBelowBottom) {
    struct Case {
        const char *top, *bottom;
        bool swap;
    };
    const Case cases[] = {{"-40.0", "-30.0", true}, {"-30.0", "-40.0", false},
                          {"0.0", "0.0", false},    {"-0.5", "0.0", true},
                          {"abc", "-30.0", false},  {"0.0", "", false}};
    for (const auto& c : cases) {
        EXPECT_EQ(stopsOutOfOrder(c.top, c.bottom), c.swap) << c.top << " / " << c.bottom;
    }
}

TEST(RampPlan, TellsTheTargetScaleByItsMaximum) {
    EXPECT_EQ(scaleOfMaximum(255), RampScale::Channel);
    EXPECT_EQ(scaleOfMaximum(510), RampScale::Gang);
    for (const int other : {0, 254, 256, 509, 511, -255}) {
        EXPECT_EQ(scaleOfMaximum(other), RampScale::None) << other;
    }
}

}  // namespace
}  // namespace selvar::ramp
