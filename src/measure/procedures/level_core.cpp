// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/procedures/level_core.h"

#include <cmath>

#include "measure/dsp/sine_fit.h"

namespace selvar::measure {

namespace {

// A reading whose amplitude is less than this many standard errors above zero is the noise's
// as much as the tone's (30 dB: the level then errs by up to a few tenths of a dB).
constexpr double kFloorRatio = 31.6;

}  // namespace

ToneReading readTone(std::span<const float> window, double sampleRate, double frequencyHz,
                     const dsp::SineFit* fitted) {
    const double frames = double(window.size());
    dsp::SineFit fit = fitted ? *fitted : dsp::fitSine(window, sampleRate, frequencyHz);
    if (!fit.converged || std::abs(fit.frequencyHz - frequencyHz) > sampleRate / frames) {
        fit = dsp::fitSineAt(window, sampleRate, frequencyHz);
    }
    // A least-squares amplitude in white noise of rms σ errs by σ·√(2/N).
    const double standardError = fit.residualRms * std::sqrt(2.0 / frames);
    return {.levelDbfs = fit.levelDbfs(),
            .floorLimited = fit.amplitude < kFloorRatio * standardError};
}

}  // namespace selvar::measure
