// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <ostream>
#include <span>
#include <vector>

#include "measure/dsp/alignment.h"
#include "measure/dsp/distortion.h"
#include "measure/dsp/generators.h"
#include "measure/dsp/glitch.h"
#include "measure/dsp/sine_fit.h"
#include "sim_harness.h"

namespace selvar::audio {
namespace {

using test::codes;
using test::kRate;

SimAnalogOptions quiet(double latencyMs = 0.0) {
    SimAnalogOptions options;
    options.noiseDbfs = -200.0;
    options.latencyMs = latencyMs;
    return options;
}

dsp::StereoBuffer both(const std::vector<float>& channel) {
    return {channel, channel};
}

// Deterministic white noise: one sharp correlation peak.
std::vector<float> noise(std::size_t frames) {
    std::vector<float> out(frames);
    std::uint32_t seed = 11;
    for (float& x : out) {
        seed = seed * 1664525U + 1013904223U;
        x = 0.5F * (float(seed >> 8) / float(1 << 23) - 1.0F);
    }
    return out;
}

class Latency : public testing::TestWithParam<std::pair<double, std::int64_t>> {};

TEST_P(Latency, DelaysTheCaptureByTheInjectedTime) {
    const auto [ms, frames] = GetParam();
    test::FakeBoard board;
    SimAudioPort port(board, quiet(ms));
    port.open();
    auto played = noise(4000);
    played.resize(8000);
    const auto captured = test::loop(port, both(played));
    dsp::FftCache cache;
    EXPECT_EQ(dsp::align(cache, std::span(played).first(4000), captured.left).lagFrames, frames);
}

INSTANTIATE_TEST_SUITE_P(Ms, Latency,
                         testing::Values(std::pair{5.0, std::int64_t{240}},
                                         std::pair{12.5, std::int64_t{600}},
                                         std::pair{0.0, std::int64_t{0}}));

// A capture clock off by ppm brings that many more (or fewer) frames per million, with the
// tone's frequency shifted to match and its level intact.
class Drift : public testing::TestWithParam<std::pair<double, std::size_t>> {};

TEST_P(Drift, StretchesTheCaptureWithoutTouchingTheLevel) {
    const auto [ppm, frames] = GetParam();
    SimAnalogOptions options = quiet(5.0);
    options.driftPpm = ppm;
    test::FakeBoard board;
    SimAudioPort port(board, options);
    port.open();
    const auto captured = test::loop(port, dsp::twoTones(0.1, 0.1, kRate, 48000));
    ASSERT_EQ(captured.frames(), frames);
    const auto fit = dsp::fitSine(std::span(captured.left).last(4800), kRate, dsp::kLeftToneHz);
    EXPECT_NEAR(fit.frequencyHz, 997.0 / (1.0 + ppm * 1e-6), 0.001);
    EXPECT_NEAR(fit.levelDbfs(), -20.0, 0.002);
}

INSTANTIATE_TEST_SUITE_P(Ppm, Drift,
                         testing::Values(std::pair{200.0, std::size_t{48009}},
                                         std::pair{-200.0, std::size_t{47990}},
                                         std::pair{0.0, std::size_t{48000}}));

TEST(Glitches, ThreeFramesAreInsertedAtTheInjectedInterval) {
    SimAnalogOptions options = quiet();
    options.glitchEveryMs = 100.0;
    test::FakeBoard board;
    SimAudioPort port(board, options);
    port.open();
    const auto played = noise(48000);
    const auto captured = test::loop(port, both(played));
    EXPECT_EQ(captured.frames(), 48030U);
    const auto glitches = dsp::findGlitches(played, captured.left, 0);
    ASSERT_EQ(glitches.size(), 9U);
    for (std::size_t k = 0; k < glitches.size(); ++k) {
        EXPECT_EQ(glitches[k].frames, 3);
        EXPECT_NEAR(double(glitches[k].frame), 4800.0 * double(k + 1) + 3.0 * double(k), 256.0);
    }
}

// A code changed after 1000 captured frames takes effect then, or with ZCD high at the input's
// next zero crossing (the 5 Hz sine crosses at frame 4800; the DC never does) or the timeout.
struct ZcdCase {
    bool zcd;
    double timeoutMs;
    bool sine;
    std::int64_t changeFrame;
};

void PrintTo(const ZcdCase& c, std::ostream* os) {
    *os << (c.zcd ? "zcd" : "no-zcd") << ", timeout " << c.timeoutMs << " ms, "
        << (c.sine ? "5 Hz sine" : "DC");
}

class Zcd : public testing::TestWithParam<ZcdCase> {};

TEST_P(Zcd, AChangeWaitsForAZeroCrossingOrTheTimeout) {
    const ZcdCase c = GetParam();
    SimAnalogOptions options = quiet();
    options.zcdTimeoutMs = c.timeoutMs;
    test::FakeBoard board;
    board.zcd = c.zcd;
    SimAudioPort port(board, options);
    port.open();
    const auto input =
        c.sine ? dsp::sine({5.0, 0.9, 0.0}, kRate, 9600) : std::vector<float>(9600, 0.5F);
    const auto stereo = dsp::interleave(both(input));
    port.play(stereo);
    std::vector<float> captured(stereo.size());
    ASSERT_EQ(port.capture(std::span(captured).first(2000)), 1000U);
    EXPECT_EQ(port.boardFrame(), 1000);
    board.reg = codes(172, 172);
    ASSERT_EQ(port.capture(std::span(captured).subspan(2000)), 8600U);
    std::int64_t changed = -1;
    for (std::size_t n = 0; n < input.size() && changed < 0; ++n) {
        if (std::abs(captured[2 * n] - input[n]) > 1e-5F) {
            changed = std::int64_t(n);
        }
    }
    EXPECT_NEAR(double(changed), double(c.changeFrame), 1.0);
    EXPECT_NEAR(captured[2 * 9000 + 1] / input[9000], std::pow(10.0, -0.5), 1e-5);
}

INSTANTIATE_TEST_SUITE_P(Cases, Zcd,
                         testing::Values(ZcdCase{false, 16.0, false, 1000},
                                         ZcdCase{true, 16.0, false, 1768},
                                         ZcdCase{true, 5.0, false, 1240},
                                         ZcdCase{true, 150.0, true, 4800},
                                         ZcdCase{false, 150.0, true, 1000}));

// Injected harmonics keep their level relative to the tone at any level.
class Harmonics : public testing::TestWithParam<double> {};

TEST_P(Harmonics, ReadAsInjectedRelativeToTheTone) {
    SimAnalogOptions options = quiet();
    options.h2Dbc = -80.0;
    options.h3Dbc = -90.0;
    test::FakeBoard board;
    SimAudioPort port(board, options);
    port.open();
    const double amplitude = std::pow(10.0, GetParam() / 20.0);
    const auto captured = test::loop(port, dsp::twoTones(amplitude, 0.0, kRate, 9600));
    dsp::FftCache cache;
    const auto distortion =
        dsp::measureDistortion(cache, std::span(captured.left).last(4800), kRate, dsp::kLeftToneHz);
    EXPECT_NEAR(distortion.harmonic(2), -80.0, 0.1);
    EXPECT_NEAR(distortion.harmonic(3), -90.0, 0.1);
}

INSTANTIATE_TEST_SUITE_P(Dbfs, Harmonics, testing::Values(-6.0, -20.0, -45.0));

}  // namespace
}  // namespace selvar::audio
