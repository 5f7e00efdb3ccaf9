// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "session_bench.h"

namespace selvar::measure {
namespace {

using test::Answer;
using test::SimBench;

QueryReply answer(std::unique_ptr<MeasurementJob> job, Answer& answer) {
    test::runToEnd(*job);
    EXPECT_EQ(answer.calls, 1);
    return answer.reply;
}

// The card's own gains (-0.73 dB Left, +0.21 dB Right) are measured loop-through and cancel
// from every gain measured through the chip afterwards.
TEST(CodeQuery, CalibrationCancelsTheCardsGain) {
    audio::SimAnalogOptions options;
    options.cardGainLeftDb = -0.73;
    options.cardGainRightDb = 0.21;
    SimBench bench(options);
    MeasurementSession session(bench);
    Answer calibrated;
    const QueryReply calibration = answer(session.calibrate(test::into(calibrated)), calibrated);
    ASSERT_EQ(calibration.failure, Failure::None) << calibration.detail;
    ASSERT_TRUE(session.calibration());
    EXPECT_NEAR(session.calibration()->latencyMs, 5.0, 1e-9);

    struct Row {
        Channel channel;
        int code;
        double gainDb;
    };
    for (const Row row : {Row{Channel::Left, 192, 0.0}, Row{Channel::Right, 192, 0.0},
                          Row{Channel::Left, 172, -10.0}, Row{Channel::Right, 251, 29.5}}) {
        SCOPED_TRACE(row.code);
        Answer measured;
        const QueryReply reply =
            answer(session.measureGain(1, row.channel, row.code, test::into(measured)), measured);
        ASSERT_EQ(reply.values.size(), 1U) << reply.detail;
        EXPECT_NEAR(reply.values[0], row.gainDb, 0.005);
    }
}

// Distortion at 1 kHz: an injected second harmonic reads within 0.1 dB, alone (THD) and with
// the path's noise 40 dB below it (THD+N).
TEST(CodeQuery, ThdReadsTheInjectedHarmonic) {
    struct Row {
        double h2Dbc;
        Channel channel;
        bool plusNoise;
    };
    for (const Row row : {Row{-80.0, Channel::Left, false}, Row{-80.0, Channel::Right, false},
                          Row{-70.0, Channel::Left, true}}) {
        SCOPED_TRACE(row.h2Dbc);
        audio::SimAnalogOptions options;
        options.h2Dbc = row.h2Dbc;
        SimBench bench(options);
        MeasurementSession session(bench);
        Answer measured;
        const QueryReply reply = answer(
            session.measureThd(1, row.channel, 192, row.plusNoise, test::into(measured)), measured);
        ASSERT_EQ(reply.values.size(), 1U) << reply.detail;
        EXPECT_NEAR(reply.values[0], row.h2Dbc, 0.1);
    }
}

}  // namespace
}  // namespace selvar::measure
