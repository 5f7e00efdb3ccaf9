// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>

#include "session_bench.h"

namespace selvar::measure {
namespace {

using test::Answer;
using test::SimBench;

constexpr int kFlaggedCode = 150;

double ideal(int code) {
    return (code - 192) / 2.0;
}

// A chip whose codes each err a little (within ±0.1 dB, so no step turns back), whose Right
// reads 0.05 dB below its Left, and whose Left code 150 sits 0.7 dB low: one step down. The
// card adds its own gains, which the calibration takes out, and its capture clock runs 200 ppm
// fast.
audio::SimAnalogOptions flawedChip() {
    audio::SimAnalogOptions options;
    for (int code = 0; code < kCodes; ++code) {
        const double error = 0.1 * std::sin(code * 1.7);
        options.errors[std::size_t(code)] = {error - (code == kFlaggedCode ? 0.7 : 0.0),
                                             error - 0.05};
    }
    options.cardGainLeftDb = -0.73;
    options.cardGainRightDb = 0.21;
    options.driftPpm = 200.0;
    return options;
}

double injected(const audio::SimAnalogOptions& options, int code, std::size_t side) {
    const audio::GainError& error = options.errors[std::size_t(code)];
    return ideal(code) + (side == 0 ? error.leftDb : error.rightDb);
}

// Every code against what was injected: within 0.05 dB where the output is at -80 dBFS or
// above, 0.3 dB below that down to code 1; the one step down flagged at exactly its code; Left
// minus Right reads the injected 0.05 dB.
TEST(GainSweep, ReadsEveryCodeAsInjected) {
    const audio::SimAnalogOptions options = flawedChip();
    SimBench bench(options);
    MeasurementSession session(bench);
    int codesTold = 0;
    Progress last;
    session.addObserver({.codeMeasured = [&](int, int) { ++codesTold; },
                         .resultsChanged = {},
                         .calibrationChanged = {},
                         .progress = [&](const Progress& progress) { last = progress; },
                         .levels = {}});
    Answer calibrated, swept;
    test::runToEnd(*session.calibrate(test::into(calibrated)));
    test::runToEnd(*session.sweepGain(1, test::into(swept)));
    ASSERT_EQ(swept.reply.failure, Failure::None) << swept.reply.detail;
    const SweepResult& sweep = *session.sweep();
    EXPECT_TRUE(sweep.complete);
    EXPECT_EQ(codesTold, kCodes);
    EXPECT_EQ(last.done, kCodes);
    EXPECT_EQ(last.total, kCodes);
    EXPECT_EQ(sweep.nonMonotonic[0], std::vector<int>{kFlaggedCode});
    EXPECT_EQ(sweep.nonMonotonic[1], std::vector<int>{});
    for (int code = 1; code < kCodes; ++code) {
        SCOPED_TRACE(code);
        ASSERT_TRUE(sweep.codes[std::size_t(code)]);
        const CodeResult& result = *sweep.codes[std::size_t(code)];
        for (std::size_t side = 0; side < 2; ++side) {
            const double expected = injected(options, code, side);
            const double output = std::min(-6.0, -10.0 - ideal(code)) + expected;
            ASSERT_TRUE(result.channels[side].gainDb);
            EXPECT_NEAR(*result.channels[side].gainDb, expected, output >= -80.0 ? 0.05 : 0.3);
        }
        if (code != kFlaggedCode && ideal(code) >= -70.0) {
            EXPECT_NEAR(*result.channels[0].gainDb - *result.channels[1].gainDb, 0.05, 0.005);
        }
    }
}

// Under a gain limit no code above it is sent, and the sweep says it is not complete.
TEST(GainSweep, StopsAtTheGainLimit) {
    SimBench bench;
    bench.highest = 40;
    bench.board.reg = audio::test::codes(30, 30);
    MeasurementSession session(bench);
    Answer swept;
    test::runToEnd(*session.sweepGain(1, test::into(swept)));
    ASSERT_EQ(swept.reply.failure, Failure::None) << swept.reply.detail;
    const SweepResult& sweep = *session.sweep();
    EXPECT_FALSE(sweep.complete);
    EXPECT_TRUE(sweep.codes[40]);
    EXPECT_FALSE(sweep.codes[41]);
    for (const std::string& gesture : bench.gestures) {
        if (gesture[0] == 'L' || gesture[0] == 'R') {
            EXPECT_LE(std::stoi(gesture.substr(2)), 40) << gesture;
        }
    }
}

}  // namespace
}  // namespace selvar::measure
