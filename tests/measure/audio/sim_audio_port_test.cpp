// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <span>
#include <vector>

#include "measure/dsp/generators.h"
#include "measure/dsp/sine_fit.h"
#include "sim_harness.h"

namespace selvar::audio {
namespace {

using test::codes;
using test::kRate;

double db(double ratio) {
    return 20.0 * std::log10(ratio);
}

// Two tones at -40 dBFS for 0.2 s; the gain is each channel's level over the last 0.1 s (past
// the latency), fitted at the tone's frequency, against the played amplitude.
struct Gains {
    double left;
    double right;
};

Gains measure(SimAudioPort& port, double amplitude = 0.01) {
    const auto captured = test::loop(port, dsp::twoTones(amplitude, amplitude, kRate, 9600));
    EXPECT_EQ(captured.frames(), 9600U);
    const auto tail = [](const std::vector<float>& x) { return std::span(x).subspan(4800, 4800); };
    return {
        db(dsp::fitSineAt(tail(captured.left), kRate, dsp::kLeftToneHz).amplitude / amplitude),
        db(dsp::fitSineAt(tail(captured.right), kRate, dsp::kRightToneHz).amplitude / amplitude)};
}

SimAnalogOptions quiet() {
    SimAnalogOptions options;
    options.noiseDbfs = -200.0;
    options.crosstalkDb = -200.0;
    return options;
}

// Each side follows its own code: (code - 192) / 2 dB, plus what the error table adds; code 0
// and the MUTE line give the mute depth.
struct GainCase {
    int left;
    int right;
    bool mute;
    double leftDb;
    double rightDb;
};

class SimGain : public testing::TestWithParam<GainCase> {};

TEST_P(SimGain, FollowsTheLatchedCodesAndInjectedErrors) {
    const GainCase c = GetParam();
    SimAnalogOptions options = quiet();
    options.errors[171] = {0.25, -0.4};
    options.errors[1] = {0.0, 1.5};
    options.muteDepthDb = 110.0;
    test::FakeBoard board;
    board.reg = codes(c.left, c.right);
    board.mute = c.mute;
    SimAudioPort port(board, options);
    port.open();
    const Gains gains = measure(port);
    EXPECT_NEAR(gains.left, c.leftDb, 0.001);
    EXPECT_NEAR(gains.right, c.rightDb, 0.001);
}

INSTANTIATE_TEST_SUITE_P(Codes, SimGain,
                         testing::Values(GainCase{192, 192, false, 0.0, 0.0},
                                         GainCase{172, 193, false, -10.0, 0.5},
                                         GainCase{171, 171, false, -10.25, -10.9},
                                         GainCase{255, 1, false, 31.5, -94.0},
                                         GainCase{0, 192, false, -110.0, 0.0},
                                         GainCase{192, 255, true, -110.0, -110.0}));

// The card's own gain, noise and crosstalk, each read back as injected.
TEST(SimPath, CardGainShowsOnTheLoopThroughWithoutTheChip) {
    SimAnalogOptions options = quiet();
    options.cardGainLeftDb = -0.73;
    options.cardGainRightDb = 0.21;
    test::FakeBoard board;
    board.reg = codes(172, 172);
    SimAudioPort port(board, options);
    port.setRoute(SimAudioPort::Route::LoopThrough);
    port.open();
    const Gains gains = measure(port);
    EXPECT_NEAR(gains.left, -0.73, 0.001);
    EXPECT_NEAR(gains.right, 0.21, 0.001);
}

TEST(SimPath, CrosstalkLeaksTheDrivenChannelIntoTheOther) {
    SimAnalogOptions options = quiet();
    options.crosstalkDb = -100.0;
    test::FakeBoard board;
    SimAudioPort port(board, options);
    port.open();
    const auto captured = test::loop(port, dsp::twoTones(0.5, 0.0, kRate, 9600));
    const auto right = std::span(captured.right).subspan(4800);
    EXPECT_NEAR(db(dsp::fitSineAt(right, kRate, dsp::kLeftToneHz).amplitude / 0.5), -100.0, 0.01);
}

TEST(SimPath, NoiseHasTheInjectedLevel) {
    SimAnalogOptions options;
    options.noiseDbfs = -90.0;
    test::FakeBoard board;
    SimAudioPort port(board, options);
    port.open();
    const auto captured = test::loop(
        port, dsp::StereoBuffer{std::vector<float>(48000, 0.0F), std::vector<float>(48000, 0.0F)});
    for (const auto* channel : {&captured.left, &captured.right}) {
        double sum = 0.0;
        for (float x : *channel) {
            sum += double(x) * x;
        }
        // dBFS: a full-scale sine's mean square, 0.5, is 0 dB.
        EXPECT_NEAR(10.0 * std::log10(2.0 * sum / double(channel->size())), -90.0, 0.1);
    }
}

// Two runs with the same settings capture the same samples: the board's clock, not the wall's.
TEST(SimPath, IsDeterministic) {
    test::FakeBoard board;
    std::vector<dsp::StereoBuffer> runs;
    for (int run = 0; run < 2; ++run) {
        SimAudioPort port(board);
        port.open();
        runs.push_back(test::loop(port, dsp::twoTones(0.1, 0.1, kRate, 4800)));
    }
    EXPECT_EQ(runs[0].left, runs[1].left);
    EXPECT_EQ(runs[0].right, runs[1].right);
}

TEST(SimPath, ALostDeviceFailsUntilReopened) {
    test::FakeBoard board;
    SimAudioPort port(board);
    port.open();
    port.loseDevice();
    std::vector<float> frames(64);
    for (int call = 0; call < 2; ++call) {
        try {
            call == 0 ? port.play(frames) : port.capture(frames);
            ADD_FAILURE() << "no error";
        } catch (const AudioError& error) {
            EXPECT_EQ(error.fault(), AudioFault::Failed);
        }
    }
    port.open();
    EXPECT_EQ(port.play(frames), 32U);
}

}  // namespace
}  // namespace selvar::audio
