// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/dsp/sine_fit.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "measure/dsp/generators.h"
#include "synth.h"

namespace selvar::dsp {
namespace {

using test::kFrames100ms;
using test::kRate;
using test::peakOf;

struct LevelCase {
    const char* name;
    double hz;
    double dbfs;
    double ppm;  // capture clock against playback
    double phase;
    double offset;
    double interfererDbfs;  // the other channel's tone leaking in, or none below -200
};

class LevelCore : public testing::TestWithParam<LevelCase> {};

// -20 dBFS over 100 ms at 48 kHz reads within ±0.01 dB, drift or not.
TEST_P(LevelCore, ReadsToAHundredthOfADb) {
    const LevelCase& c = GetParam();
    const auto x = test::synth(
        kFrames100ms,
        {{c.hz, peakOf(c.dbfs), c.phase}, {kRightToneHz, peakOf(c.interfererDbfs), 0.3}}, c.ppm,
        c.offset);
    const SineFit fit = fitSine(x, kRate, c.hz);
    EXPECT_TRUE(fit.converged);
    EXPECT_NEAR(fit.levelDbfs(), c.dbfs, 0.01);
    EXPECT_NEAR(fit.frequencyHz, c.hz / (1.0 + c.ppm * 1e-6), 0.002);
    EXPECT_NEAR(fit.offset, c.offset, 1e-5);
    EXPECT_NEAR(std::remainder(fit.phaseRad - c.phase, 2 * std::numbers::pi), 0.0, 1e-3);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LevelCore,
    testing::Values(LevelCase{"Left", kLeftToneHz, -20, 0, 0, 0, -300},
                    LevelCase{"FastClock", kLeftToneHz, -20, 200, 0.7, 0, -300},
                    LevelCase{"SlowClock", kLeftToneHz, -20, -200, -2.1, 0, -300},
                    LevelCase{"OffsetAndPhase", kLeftToneHz, -20, 200, 2.9, 0.01, -300},
                    LevelCase{"CrosstalkFromRight", kLeftToneHz, -20, -200, 1.0, 0, -60},
                    LevelCase{"QuietTone", 1000.0, -90, 0, 0.2, 0, -300}),
    [](const auto& info) { return std::string(info.param.name); });

// A tone far from the start frequency, or none, is reported as not found.
TEST(LevelCore, FlagsAToneItCannotFind) {
    const auto silence = test::synth(kFrames100ms, {});
    EXPECT_FALSE(fitSine(silence, kRate, kLeftToneHz).converged);
    const auto elsewhere = test::synth(kFrames100ms, {{3000.0, 0.1}});
    EXPECT_FALSE(fitSine(elsewhere, kRate, kLeftToneHz).converged);
}

// Blocks rendered one after another, far into a stream, are the stream sampled by std::sin.
TEST(Generators, RenderTheToneAtEveryFrame) {
    const Tone tone{kRightToneHz, 0.25, 0.5};
    const std::int64_t first = 3'000'000'017;
    std::vector<float> block(96);
    renderTone(tone, kRate, first, std::span(block).first(40));
    renderTone(tone, kRate, first + 40, std::span(block).subspan(40));
    for (std::size_t i = 0; i < block.size(); ++i) {
        const double cycles =
            std::fmod(kRightToneHz * double(first + std::int64_t(i)), kRate) / kRate;
        EXPECT_NEAR(block[i], 0.25 * std::sin(2 * std::numbers::pi * cycles + 0.5), 1e-6) << i;
    }
    const StereoBuffer both = twoTones(0.5, 0.125, kRate, 480);
    const auto expected = [](double hz, double amplitude, std::size_t n) {
        return amplitude * std::sin(2 * std::numbers::pi * hz * double(n) / kRate);
    };
    for (const std::size_t n : {1U, 17U, 479U}) {
        EXPECT_NEAR(both.left[n], expected(997.0, 0.5, n), 1e-6);
        EXPECT_NEAR(both.right[n], expected(1499.0, 0.125, n), 1e-6);
    }
}

// A run is marker, silence, body, silence, marker, with the layout it reports.
TEST(Generators, FrameTheBodyWithTwoMarkers) {
    const MarkedRun run = withMarkers(twoTones(0.5, 0.5, kRate, 4800), kRate, 0.01);
    const std::vector<float>& left = run.signal.left;
    ASSERT_EQ(run.markerFrames, 960U);
    ASSERT_EQ(run.bodyStart, 960U + 480U);
    ASSERT_EQ(run.lastMarkerStart, run.bodyStart + 4800U + 480U);
    ASSERT_EQ(left.size(), run.lastMarkerStart + 960U);
    for (std::size_t n = 0; n < 960; ++n) {
        EXPECT_EQ(left[n], left[run.lastMarkerStart + n]);
    }
    for (const std::size_t gap : {run.markerFrames, run.bodyStart + 4800U}) {
        EXPECT_EQ(*std::max_element(left.begin() + long(gap), left.begin() + long(gap) + 480),
                  0.0F);
    }
    EXPECT_NEAR(left[run.bodyStart + 12], 0.5 * std::sin(2 * std::numbers::pi * 997.0 * 12 / kRate),
                1e-6);
    EXPECT_GT(*std::max_element(left.begin(), left.begin() + 960), 0.45F);
}

}  // namespace
}  // namespace selvar::dsp
