// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/procedures/zcd_timeout.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "measure/dsp/generators.h"
#include "measure/dsp/levels.h"

namespace selvar::measure {
namespace {

constexpr double kLevelDbfs = -6.0;
constexpr double kTrialSeconds = 1.0;
// Each trial: a fit of the tones as they were, the change somewhere in one period of Left,
// up to one spacing of Left's crossings (100 ms) plus the card's latency for it to take
// effect, then a fit of the tones as they became.
constexpr double kFitSeconds = 0.25;
constexpr double kChangeSeconds = kFitSeconds + kUnknownLatencySeconds + 0.05;

}  // namespace

ZcdTimeoutPlan zcdTimeoutPlan(double sampleRate, int highCode, int lowCode, std::uint64_t seed) {
    ZcdTimeoutPlan plan;
    plan.trialFrames = framesOf(kTrialSeconds, sampleRate);
    std::mt19937_64 random(seed);
    // Right's phase at the change is left to chance; Left's is spread over its period.
    std::uniform_real_distribution<double> referencePhase(0.0, 1.0 / plan.referenceHz);
    for (int i = 0; i < kTimeoutTrials; ++i) {
        const double at =
            kChangeSeconds + double(i) / kTimeoutTrials / plan.slowHz + referencePhase(random);
        plan.changes.push_back({std::size_t(i) * plan.trialFrames + framesOf(at, sampleRate),
                                i % 2 == 0 ? lowCode : highCode});
    }
    const std::size_t length = std::size_t(kTimeoutTrials) * plan.trialFrames;
    const double amplitude = dsp::dbfsToAmplitude(kLevelDbfs);
    plan.body.left =
        dsp::sine({.frequencyHz = plan.slowHz, .amplitude = amplitude}, sampleRate, length);
    plan.body.right =
        dsp::sine({.frequencyHz = plan.referenceHz, .amplitude = amplitude}, sampleRate, length);
    return plan;
}

ZcdTimeoutResult zcdTimeoutResult(const ZcdTimeoutPlan& plan, const dsp::StereoBuffer& captured,
                                  double sampleRate) {
    const std::size_t fit = framesOf(kFitSeconds, sampleRate);
    double longest = 0.0;
    for (std::size_t start = 0; start + plan.trialFrames <= captured.frames();
         start += plan.trialFrames) {
        const auto trial = [&](const std::vector<float>& channel) {
            return std::span<const float>(channel).subspan(start, plan.trialFrames);
        };
        const std::size_t slow =
            locateGainChange(trial(captured.left), sampleRate, plan.slowHz, fit);
        const std::size_t reference =
            locateGainChange(trial(captured.right), sampleRate, plan.referenceHz, fit);
        longest = std::max(longest, (double(slow) - double(reference)) * 1000.0 / sampleRate);
    }
    return ZcdTimeoutResult{.timeoutMs = longest};
}

}  // namespace selvar::measure
