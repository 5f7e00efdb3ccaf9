// SPDX-License-Identifier: GPL-3.0-or-later
// Mute depth, crosstalk and the ZCD checks, end to end through the session on the simulated
// path with injected imperfections.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "measure/audio/sim_analog_options.h"
#include "session_bench.h"

namespace selvar::measure {
namespace {

using test::Check;
using test::startCheck;

using test::SimBench;

// As an operator might leave the board: odd codes, ZCD high, MUTE released.
void leaveAsOperator(SimBench& bench) {
    bench.board.reg = audio::test::codes(100, 120);
    bench.board.zcd = true;
    bench.board.mute = false;
}

void expectAsLeft(const SimBench& bench) {
    EXPECT_EQ(bench.board.reg, audio::test::codes(100, 120));
    EXPECT_FALSE(bench.board.mute);
    EXPECT_TRUE(bench.board.zcd);
}

struct CheckCase {
    const char* name;
    const char* simAnalog;
    bool calibrateFirst;  // the session's loop-through calibration, run on the same card
    Check check;
    double expected;  // the first reply value
    double tolerance;
    std::optional<double> second;  // the second reply value, exactly, where there is one
    int highest = 255;             // the operator's gain limit
};

std::ostream& operator<<(std::ostream& out, const CheckCase& c) {
    return out << c.name;
}

class Checks : public testing::TestWithParam<CheckCase> {};

TEST_P(Checks, ReadTheInjectedValueAndLeaveTheChipAsFound) {
    const CheckCase& c = GetParam();
    std::string error;
    const auto options = audio::parseSimAnalog(c.simAnalog, error);
    ASSERT_TRUE(options) << error;
    SimBench bench(*options);
    leaveAsOperator(bench);
    bench.highest = c.highest;
    MeasurementSession session(bench);
    if (c.calibrateFirst) {
        auto calibration = session.calibrate();
        test::runToEnd(*calibration);
        ASSERT_TRUE(session.calibration());
    }
    int changes = 0;
    int progressed = 0;
    MeasurementSession::Observer observer;
    observer.resultsChanged = [&] { ++changes; };
    observer.progress = [&](const Progress&) { ++progressed; };
    session.addObserver(observer);
    test::Answer answer;
    auto job = startCheck(session, c.check, test::into(answer));
    test::runToEnd(*job);
    ASSERT_EQ(answer.calls, 1);
    const QueryReply* reply = &answer.reply;
    ASSERT_EQ(reply->failure, Failure::None) << reply->detail;
    ASSERT_FALSE(reply->values.empty());
    if (c.check == Check::Click) {
        // The medians apart, ZCD's clicks far below the plain ones.
        ASSERT_EQ(reply->values.size(), 2U);
        EXPECT_GE(reply->values[0] - reply->values[1], c.expected);
    } else {
        EXPECT_NEAR(reply->values[0], c.expected, c.tolerance);
    }
    if (c.second) {
        ASSERT_EQ(reply->values.size(), 2U);
        EXPECT_EQ(reply->values[1], *c.second);
    }
    EXPECT_EQ(changes, 1);
    EXPECT_GT(progressed, 0);
    expectAsLeft(bench);
    for (const std::string& gesture : bench.gestures) {
        if (gesture[0] == 'L' || gesture[0] == 'R') {
            EXPECT_LE(std::stoi(gesture.substr(2)), c.highest) << gesture;
        }
    }
}

// The floor: a -6 dBFS tone over -120 dBFS white noise read in 100 ms (4800 frames) sees
// -120 - 10·log10(2400) = -153.8 dBFS; 20 dB above it is trusted, so mute depth can show
// about 127.8 dB. A 130 dB mute therefore reads as that floor, flagged.
INSTANTIATE_TEST_SUITE_P(
    Injected, Checks,
    testing::Values(
        CheckCase{"MuteByPin110", "mute-depth=110", false, Check::MuteByPin, 110.0, 0.5, 0.0},
        CheckCase{"MuteByCode110", "mute-depth=110", false, Check::MuteByCode, 110.0, 0.5, 0.0},
        CheckCase{"MuteByPin130AtFloor", "mute-depth=130", false, Check::MuteByPin, 127.8, 1.5,
                  1.0},
        CheckCase{
            "CrosstalkIntoLeft", "crosstalk=-100", {}, Check::CrosstalkIntoLeft, -100.0, 0.5, {}},
        CheckCase{"CrosstalkIntoRightCardGainsCancel",
                  "crosstalk=-100,card-gain=-0.73:0.21",
                  true,
                  Check::CrosstalkIntoRight,
                  -100.0,
                  0.5,
                  {}},
        CheckCase{"ZcdClicksAtLeast20dBApart", "noise=-120", false, Check::Click, 20.0, 0.0, {}},
        CheckCase{"ZcdTimeout16", "zcd-timeout-ms=16", false, Check::Timeout, 16.0, 0.6, {}},
        CheckCase{"ZcdTimeout7p5", "zcd-timeout-ms=7.5", false, Check::Timeout, 7.5, 0.6, {}},
        CheckCase{"ZcdTimeoutUnderAGainLimit",
                  "zcd-timeout-ms=12",
                  {},
                  Check::Timeout,
                  12.0,
                  0.6,
                  {},
                  170}),
    [](const testing::TestParamInfo<CheckCase>& info) { return std::string(info.param.name); });

// A card lost mid-run ends the check with the device's failure and the chip as it was found.
TEST(Checks, EndCleanlyWhenTheCardIsLostMidRun) {
    SimBench bench;
    leaveAsOperator(bench);
    MeasurementSession session(bench);
    test::Answer answer;
    auto job = session.measureZcdTimeout(1, test::into(answer));
    ASSERT_TRUE(job->runSlice(control::Job::Clock::now()));
    bench.port().loseDevice();
    test::runToEnd(*job);
    ASSERT_EQ(answer.calls, 1);
    EXPECT_EQ(answer.reply.failure, Failure::DeviceLost);
    EXPECT_FALSE(session.zcdTimeout());
    expectAsLeft(bench);
}

}  // namespace
}  // namespace selvar::measure
