// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "measure/dsp/levels.h"

namespace selvar::dsp {

// A sine fitted to a block by least squares:
//   x[n] ≈ amplitude · sin(2π · frequencyHz · n / sampleRate + phaseRad) + offset
// with n counted from the block's first frame. Least squares over the whole block is what makes
// the level exact to a few thousandths of a dB in 100 ms, with no window and no leakage.
struct SineFit {
    double amplitude = 0.0;  // peak; 1.0 is full scale
    double phaseRad = 0.0;   // at the block's first frame, in (-π, π]
    double offset = 0.0;     // DC
    double frequencyHz = 0.0;
    double residualRms = 0.0;  // what the model leaves: noise, distortion, the other channel
    // False when the frequency search did not settle (no tone, or none near the start): the
    // other fields then hold the fit at the start frequency.
    bool converged = true;

    double levelDbfs() const { return amplitudeToDbfs(amplitude); }
    // The fitted model at a frame of the block (or beyond it).
    double valueAt(double frame, double sampleRate) const;
};

// The three-parameter fit at a known frequency: amplitude, phase and offset. Narrow-band, so a
// tone far below the noise still reads; use it where the frequency is known exactly (the
// stimulus of a loop with no clock drift, a mute or crosstalk measurement).
SineFit fitSineAt(std::span<const float> samples, double sampleRate, double frequencyHz);

// The four-parameter fit: the frequency too, searched from startHz (which must lie within about
// a bin, sampleRate / samples.size(), of the tone). Follows a capture clock that runs off the
// stimulus's by hundreds of ppm without losing level.
SineFit fitSine(std::span<const float> samples, double sampleRate, double startHz);

// The block minus the fitted model: what a notch at the fundamental leaves.
std::vector<double> fitResidual(std::span<const float> samples, double sampleRate,
                                const SineFit& fit);

}  // namespace selvar::dsp
