// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "measure/dsp/alignment.h"
#include "measure/dsp/drift.h"
#include "measure/dsp/generators.h"
#include "measure/dsp/glitch.h"
#include "synth.h"

namespace selvar::dsp {
namespace {

using test::kRate;

// Deterministic white noise in [-1, 1): a reference with one sharp correlation peak.
std::vector<float> noise(std::size_t frames, std::uint32_t seed) {
    std::vector<float> out(frames);
    for (float& x : out) {
        seed = seed * 1664525U + 1013904223U;
        x = static_cast<float>(seed >> 8) / float(1 << 23) - 1.0F;
    }
    return out;
}

// captured[n + lag] = 0.3 · reference[n], under a -30 dBFS tone; negative lags cut the start.
class Alignment : public testing::TestWithParam<std::int64_t> {};

TEST_P(Alignment, FindsTheLagToTheFrame) {
    const std::int64_t lag = GetParam();
    const auto reference = noise(2000, 7);
    auto captured = test::synth(8000, {{1000.0, test::peakOf(-30)}});
    for (std::int64_t n = 0; n < 2000; ++n) {
        if (n + lag >= 0 && n + lag < 8000) {
            captured[std::size_t(n + lag)] += 0.3F * reference[std::size_t(n)];
        }
    }
    FftCache cache;
    const auto found = align(cache, reference, captured);
    EXPECT_EQ(found.lagFrames, lag);
    EXPECT_GT(found.correlation, 0.9);
}

INSTANTIATE_TEST_SUITE_P(Lags, Alignment, testing::Values(0, 1, 1234, -37, 5999, 7990));

// A run with two markers 48 000 frames apart, captured 123.4 frames late by a clock off by ppm:
// the capture is the played markers (the default chirp, by its own formula) resampled.
class Drift : public testing::TestWithParam<double> {};

double playedMarker(double n) {
    const double frames = 960.0, fade = 96.0;
    if (n < 0.0 || n > frames - 1.0) {
        return 0.0;
    }
    const double t = n / kRate;
    const double edge = std::min(n, frames - 1.0 - n);
    const double gain = edge >= fade ? 1.0 : 0.5 - 0.5 * std::cos(std::numbers::pi * edge / fade);
    return 0.5 * gain * std::sin(2 * std::numbers::pi * (1000.0 * t + 0.5 * 450000.0 * t * t));
}

TEST_P(Drift, ReadsTheInjectedClockOffsetWithinFivePpm) {
    const double ppm = GetParam();
    std::vector<float> captured(60000);
    for (std::size_t n = 0; n < captured.size(); ++n) {
        const double played = (double(n) - 123.4) / (1.0 + ppm * 1e-6);
        captured[n] = float(playedMarker(played - 1000.0) + playedMarker(played - 49000.0));
    }
    FftCache cache;
    const ClockDrift drift = estimateDrift(cache, chirpMarker(kRate), captured, 48000.0);
    EXPECT_NEAR(drift.ppm, ppm, 5.0);
    EXPECT_NEAR(drift.firstMarker, 1123.4 + 1000.0 * ppm * 1e-6, 0.5);
}

INSTANTIATE_TEST_SUITE_P(Ppm, Drift, testing::Values(0.0, 200.0, -200.0, 37.5));

struct Edit {
    std::size_t at;  // frame of the played stream
    int frames;      // inserted (silence) when positive, dropped when negative
};

struct GlitchCase {
    const char* name;
    double ppm;
    std::vector<Edit> edits;
};

// One second of 997 Hz at -20 dBFS played, captured 50 frames late with the edits made.
std::vector<float> capturedWith(const std::vector<float>& played, double ppm,
                                const std::vector<Edit>& edits) {
    auto x = test::synth(played.size(), {{997.0, 0.1}}, ppm);
    for (auto e = edits.rbegin(); e != edits.rend(); ++e) {
        const auto at = x.begin() + std::ptrdiff_t(e->at);
        if (e->frames > 0) {
            x.insert(at, std::size_t(e->frames), 0.0F);
        } else {
            x.erase(at, at - e->frames);
        }
    }
    x.insert(x.begin(), 50, 0.0F);
    return x;
}

class Glitches : public testing::TestWithParam<GlitchCase> {};

TEST_P(Glitches, FindsEveryInsertionAndDropAndNothingElse) {
    const GlitchCase& c = GetParam();
    const auto played = test::synth(48000, {{997.0, 0.1}});
    const auto found = findGlitches(played, capturedWith(played, c.ppm, c.edits), 50);
    ASSERT_EQ(found.size(), c.edits.size());
    int shift = 50;
    for (std::size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(found[i].frames, c.edits[i].frames);
        EXPECT_NEAR(double(found[i].frame), double(c.edits[i].at + shift), 512.0);
        shift += c.edits[i].frames;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Glitches,
    testing::Values(GlitchCase{"Clean", 0, {}}, GlitchCase{"CleanWithDrift", 200, {}},
                    GlitchCase{"Insertion", 0, {{20000, 3}}}, GlitchCase{"Drop", 0, {{30011, -3}}},
                    GlitchCase{"InsertionWithDrift", 200, {{20000, 3}}},
                    GlitchCase{"DropWithLargeDrift", 2000, {{20000, -3}}},
                    GlitchCase{"TwoWithSlowClock", -200, {{10000, 3}, {40123, 3}}},
                    GlitchCase{"SingleFrame", 0, {{25000, 1}}}),
    [](const auto& info) { return std::string(info.param.name); });

// A 3-frame insertion is found wherever it falls in the block grid: 100 places out of 100.
TEST(Glitches, FindsAHundredInsertionsOutOfAHundred) {
    const auto played = test::synth(48000, {{997.0, 0.1}});
    int found = 0;
    for (std::size_t k = 0; k < 100; ++k) {
        const std::size_t at = 2000 + k * 437;
        const auto glitches = findGlitches(played, capturedWith(played, 200.0, {{at, 3}}), 50);
        found += glitches == std::vector<Glitch>{{glitches.empty() ? 0 : glitches[0].frame, 3}};
    }
    EXPECT_EQ(found, 100);
}

}  // namespace
}  // namespace selvar::dsp
