// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/dsp/distortion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "measure/dsp/click.h"
#include "measure/dsp/noise.h"
#include "synth.h"

namespace selvar::dsp {
namespace {

using test::Component;
using test::kFrames100ms;
using test::kRate;
using test::peakOf;

constexpr double kNone = -1000.0;  // no expectation: the value must just be far below -120 dB

struct DistortionCase {
    const char* name;
    double fundamentalHz;
    std::vector<Component> extras;  // amplitudes relative to the fundamental's (dBc as a ratio)
    Weighting weighting;
    double thdDb;
    double thdnDb;
};

class Distortion100ms : public testing::TestWithParam<DistortionCase> {};

// Expected figures are the injected dBc, summed as powers, with the A curve's tabulated gain
// (100 Hz -19.1 dB, 2 kHz +1.2 dB) where weighted; all within ±0.1 dB.
TEST_P(Distortion100ms, ReadsInjectedComponents) {
    const DistortionCase& c = GetParam();
    const double fundamental = peakOf(-6.0);
    std::vector<Component> components{{c.fundamentalHz, fundamental, 0.4}};
    for (Component extra : c.extras) {
        extra.amplitude *= fundamental;
        components.push_back(extra);
    }
    FftCache cache;
    const auto x = test::synth(kFrames100ms, components, 120.0);
    const Distortion d =
        measureDistortion(cache, x, kRate, c.fundamentalHz, {.weighting = c.weighting});
    EXPECT_NEAR(d.fundamental.levelDbfs(), -6.0, 0.01);
    for (const auto& [expected, measured] : {std::pair{c.thdDb, d.thdDb}, {c.thdnDb, d.thdnDb}}) {
        if (expected == kNone) {
            EXPECT_LT(measured, -120.0);
        } else {
            EXPECT_NEAR(measured, expected, 0.1);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Distortion100ms,
    testing::Values(
        DistortionCase{"H2", 997.0, {{1994.0, peakOf(-80), 1.0}}, Weighting::None, -80, -80},
        DistortionCase{"H3AndH5",
                       997.0,
                       {{2991.0, peakOf(-60), 0.0}, {4985.0, peakOf(-70), 2.0}},
                       Weighting::None,
                       -59.586,
                       -59.586},
        DistortionCase{
            "NonHarmonicIsNoise", 997.0, {{3300.0, peakOf(-70)}}, Weighting::None, kNone, -70},
        DistortionCase{"H9AboveTheBand",
                       2500.0,
                       {{5000.0, peakOf(-80)}, {22500.0, peakOf(-60)}},
                       Weighting::None,
                       -80,
                       -80},
        DistortionCase{"AWeightedHum", 997.0, {{100.0, peakOf(-60)}}, Weighting::A, kNone, -79.1},
        DistortionCase{"AWeightedH2", 1000.0, {{2000.0, peakOf(-80)}}, Weighting::A, -78.8, -78.8}),
    [](const auto& info) { return std::string(info.param.name); });

// Band noise: in-band tones sum as powers; DC and what lies above 20 kHz are left out.
TEST(NoiseLevel, SumsTheBandOnly) {
    const std::vector<Component> tones{
        {100.0, peakOf(-40)}, {1250.0, peakOf(-50)}, {5000.0, peakOf(-45)}, {22000.0, 0.1}};
    const auto x = test::synth(kFrames100ms, tones, 0.0, 0.05);
    const auto sum = [](std::initializer_list<double> dbfs) {
        double power = 0.0;
        for (const double l : dbfs) {
            power += std::pow(10.0, l / 10.0);
        }
        return 10.0 * std::log10(power);
    };
    FftCache cache;
    EXPECT_NEAR(noiseLevelDbfs(cache, x, kRate), sum({-40, -50, -45}), 0.05);
    EXPECT_NEAR(noiseLevelDbfs(cache, x, kRate, {.weighting = Weighting::A}),
                sum({-40 - 19.1, -50 + 0.6, -45 + 0.5}), 0.1);
}

// Energy from 1 kHz up in a 40 ms window: a tone there reads its own level; a strong tone
// below it, off the bins' grid, stays out (the window's skirt is 90 dB down and more); and a
// gain step taken at a crest of a 100 Hz tone splatters far more than one at a zero crossing.
TEST(ClickEnergy, CountsOnlyWhatLiesAboveTheCorner) {
    FftCache cache;
    const double tone = peakOf(-6);
    const auto at = [&](const std::vector<Component>& c) {
        return clickEnergyDbfs(cache, test::synth(kFrames100ms, c), kRate, 2400);
    };
    EXPECT_LT(at({{112.0, tone}}), -100.0);
    EXPECT_LT(at({{812.0, tone}}), -90.0);
    EXPECT_NEAR(at({{112.0, tone}, {5000.0, peakOf(-60)}}), -60.0, 0.1);

    const auto stepped = [&](double phaseAtStep) {
        auto x = test::synth(kFrames100ms, {{100.0, tone, phaseAtStep - 2 * std::numbers::pi * 5}});
        for (std::size_t n = 2400; n < x.size(); ++n) {
            x[n] *= 0.5F;  // -6 dB from the window's centre on
        }
        return clickEnergyDbfs(cache, x, kRate, 2400);
    };
    EXPECT_GT(stepped(std::numbers::pi / 2) - stepped(0.0), 20.0);
}

}  // namespace
}  // namespace selvar::dsp
