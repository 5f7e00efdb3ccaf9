// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/procedures/mute_depth.h"

#include <cmath>
#include <span>
#include <vector>

#include "measure/dsp/generators.h"
#include "measure/dsp/levels.h"
#include "measure/procedures/gain_step.h"

namespace selvar::measure {
namespace {

constexpr double kLevelDbfs = -6.0;
constexpr double kBlockSeconds = 0.1;
// Each block starts this long after the run's start or the mute, clear of how long a real
// MUTE line or a wait for a zero crossing takes to settle.
constexpr double kSettleSeconds = 0.03;

}  // namespace

MutePlan mutePlan(double sampleRate) {
    MutePlan plan;
    plan.blockFrames = framesOf(kBlockSeconds, sampleRate);
    plan.referenceStart = framesOf(kSettleSeconds, sampleRate);
    const std::size_t early = framesOf(kUnknownLatencySeconds, sampleRate);
    plan.muteFrame = plan.referenceStart + plan.blockFrames + early;
    plan.faintFrom = plan.muteFrame - early;
    plan.mutedStart = plan.muteFrame + framesOf(kSettleSeconds, sampleRate);
    plan.unmuteFrame = plan.mutedStart + plan.blockFrames + early;
    const std::size_t length = plan.unmuteFrame + framesOf(kSettleSeconds, sampleRate);
    plan.body.left =
        dsp::sine({.frequencyHz = plan.toneHz, .amplitude = dsp::dbfsToAmplitude(kLevelDbfs)},
                  sampleRate, length);
    plan.body.right = plan.body.left;
    return plan;
}

Attenuation muteDepth(const MutePlan& plan, const dsp::StereoBuffer& captured, double sampleRate,
                      double cardFloorDbfs) {
    Attenuation shallowest;
    bool first = true;
    for (const std::vector<float>* channel : {&captured.left, &captured.right}) {
        const std::span<const float> samples(*channel);
        const ToneAndFloor reference = readToneAndFloor(
            samples.subspan(plan.referenceStart, plan.blockFrames), sampleRate, plan.toneHz);
        const ToneAndFloor muted = readToneAndFloor(
            samples.subspan(plan.mutedStart, plan.blockFrames), sampleRate, plan.toneHz);
        const Attenuation depth = attenuation(reference, muted, cardFloorDbfs);
        if (first || depth.db < shallowest.db) {
            shallowest = depth;
            first = false;
        }
    }
    return shallowest;
}

}  // namespace selvar::measure
