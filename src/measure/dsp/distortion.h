// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <span>

#include "measure/dsp/fft.h"
#include "measure/dsp/sine_fit.h"
#include "measure/dsp/weighting.h"

namespace selvar::dsp {

struct DistortionOptions {
    double lowHz = 20.0;  // the audio band that THD+N integrates over
    double highHz = 20000.0;
    Weighting weighting = Weighting::None;  // applied to harmonics and residual, not the tone
};

inline constexpr int kHighestHarmonic = 10;

// Harmonic and total distortion of one tone, all in dB relative to the fundamental's power.
struct Distortion {
    SineFit fundamental;
    // H2 ... H10; a harmonic above the band or the Nyquist frequency reads -infinity and adds
    // nothing to thdDb.
    std::array<double, kHighestHarmonic - 1> harmonicDb{};
    double thdDb = 0.0;   // H2 ... H10 together
    double thdnDb = 0.0;  // everything in the band but the fundamental: harmonics and noise

    double harmonic(int order) const { return harmonicDb.at(static_cast<std::size_t>(order - 2)); }
};

// The fundamental is fitted (four parameters, from fundamentalHz) and subtracted, as an
// analyzer's notch does but with no notch skirt; the residual's Blackman-Harris spectrum gives
// the harmonics (their main lobes at the fitted frequency's multiples) and the band's power.
Distortion measureDistortion(FftCache& cache, std::span<const float> samples, double sampleRate,
                             double fundamentalHz, const DistortionOptions& options = {});

}  // namespace selvar::dsp
