// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/procedures/crosstalk.h"

#include <algorithm>
#include <cmath>
#include <span>

#include "measure/dsp/generators.h"
#include "measure/dsp/levels.h"
#include "measure/procedures/gain_step.h"

namespace selvar::measure {
namespace {

constexpr double kLevelDbfs = -6.0;
constexpr double kBlockSeconds = 0.2;  // twice the mute's block: 3 dB more below the noise
constexpr double kSettleSeconds = 0.03;

}  // namespace

CrosstalkPlan crosstalkPlan(double sampleRate, Channel into) {
    CrosstalkPlan plan;
    plan.into = into;
    plan.blockStart = framesOf(kSettleSeconds, sampleRate);
    plan.blockFrames = framesOf(kBlockSeconds, sampleRate);
    const std::size_t length = plan.blockFrames + 2 * plan.blockStart;
    auto tone =
        dsp::sine({.frequencyHz = plan.toneHz, .amplitude = dsp::dbfsToAmplitude(kLevelDbfs)},
                  sampleRate, length);
    std::vector<float> silence(length, 0.0F);
    plan.body.left = into == Channel::Left ? silence : tone;
    plan.body.right = into == Channel::Left ? tone : silence;
    return plan;
}

CrosstalkReading crosstalk(const CrosstalkPlan& plan, const dsp::StereoBuffer& captured,
                           double sampleRate, const CardPath& card) {
    const bool intoLeft = plan.into == Channel::Left;
    const auto block = [&](const std::vector<float>& channel) {
        return std::span<const float>(channel).subspan(plan.blockStart, plan.blockFrames);
    };
    const ToneAndFloor driven =
        readToneAndFloor(block(intoLeft ? captured.right : captured.left), sampleRate, plan.toneHz);
    const ToneAndFloor picked =
        readToneAndFloor(block(intoLeft ? captured.left : captured.right), sampleRate, plan.toneHz);
    // The card's own crosstalk adds to the chip's: below it nothing of the chip's shows.
    const double cardFloor = std::max(card.noiseFloorDbfs, driven.levelDbfs + card.crosstalkDb);
    const Attenuation below = attenuation(driven, picked, cardFloor);
    // The card's gains apply after the chip: its difference between the channels is not the
    // chip's.
    return {.db = -below.db - (card.intoGainDb - card.fromGainDb),
            .floorLimited = below.floorLimited};
}

}  // namespace selvar::measure
