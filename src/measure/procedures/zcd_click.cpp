// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/procedures/zcd_click.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "measure/dsp/click.h"
#include "measure/dsp/generators.h"
#include "measure/dsp/levels.h"

namespace selvar::measure {
namespace {

constexpr double kLevelDbfs = -6.0;
constexpr double kFitSeconds = 0.03;
constexpr double kLeadSeconds = 0.15;    // before the first change
constexpr double kSpacingSeconds = 0.2;  // clear of the 40 ms window, an early or late change
constexpr double kTailSeconds = 0.06;    // after the last
// Around each planned change: room for it to land early by the card's latency and late by a
// wait for a zero crossing.
constexpr double kSearchBeforeSeconds = kUnknownLatencySeconds + kFitSeconds + 0.01;
constexpr double kSearchAfterSeconds = 0.02 + kFitSeconds;

double median(std::vector<double> values) {
    if (values.empty()) {
        return 0.0;
    }
    const auto middle = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    if (values.size() % 2 == 1) {
        return *middle;
    }
    return 0.5 * (*middle + *std::max_element(values.begin(), middle));
}

}  // namespace

ZcdClickPlan zcdClickPlan(double sampleRate, int highCode, int lowCode, std::uint64_t seed) {
    ZcdClickPlan plan;
    std::mt19937_64 random(seed);
    // One period of the tone: every phase equally likely.
    std::uniform_real_distribution<double> phase(0.0, 1.0 / plan.toneHz);
    for (int i = 0; i < kClickChanges; ++i) {
        const double at = kLeadSeconds + i * kSpacingSeconds + phase(random);
        plan.changes.push_back({framesOf(at, sampleRate), i % 2 == 0 ? lowCode : highCode});
    }
    const std::size_t length =
        framesOf(kLeadSeconds + kClickChanges * kSpacingSeconds + kTailSeconds, sampleRate);
    const dsp::Tone tone{.frequencyHz = plan.toneHz, .amplitude = dsp::dbfsToAmplitude(kLevelDbfs)};
    plan.body.left = dsp::sine(tone, sampleRate, length);
    plan.body.right = plan.body.left;
    return plan;
}

std::vector<double> clickEnergies(dsp::FftCache& cache, const ZcdClickPlan& plan,
                                  const dsp::StereoBuffer& captured, double sampleRate) {
    std::vector<double> energies;
    const std::size_t before = framesOf(kSearchBeforeSeconds, sampleRate);
    const std::size_t span = before + framesOf(kSearchAfterSeconds, sampleRate);
    for (const ScheduledCode& change : plan.changes) {
        const std::size_t start = change.frame - std::min(change.frame, before);
        if (start + span > captured.frames()) {
            break;
        }
        double power = 0.0;  // relative to full scale, averaged over the channels
        for (const auto* channel : {&captured.left, &captured.right}) {
            const std::span<const float> samples(*channel);
            const std::size_t at =
                start + locateGainChange(samples.subspan(start, span), sampleRate, plan.toneHz,
                                         framesOf(kFitSeconds, sampleRate));
            const double dbfs = dsp::clickEnergyDbfs(cache, samples, sampleRate, std::int64_t(at));
            power += 0.5 * std::pow(10.0, dbfs / 10.0);
        }
        energies.push_back(10.0 * std::log10(power));
    }
    return energies;
}

ZcdClickResult zcdClickResult(std::vector<double> offDb, std::vector<double> onDb) {
    ZcdClickResult result;
    result.medianOffDb = median(offDb);
    result.medianOnDb = median(onDb);
    result.offDb = std::move(offDb);
    result.onDb = std::move(onDb);
    return result;
}

}  // namespace selvar::measure
