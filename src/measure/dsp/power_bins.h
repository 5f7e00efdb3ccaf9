// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "measure/dsp/fft.h"
#include "measure/dsp/weighting.h"

namespace selvar::dsp {

// One-sided power spectrum of a Blackman-Harris-windowed block. Bins hold mean square, scaled
// by the window's noise bandwidth, so that all bins of a tone sum to its mean square (A²/2) and
// all bins of noise to the noise's: tones and noise read on one scale.
struct PowerSpectrum {
    std::vector<double> bins;  // size/2 + 1 bins, DC first
    double binHz = 0.0;

    double frequencyOf(std::size_t bin) const { return binHz * static_cast<double>(bin); }

    // Sum of the bins whose centre lies in [lowHz, highHz], each weighted.
    double bandPower(double lowHz, double highHz, Weighting weighting = Weighting::None) const;

    // Sum of the kToneHalfWidthBins bins either side of the one nearest frequencyHz, and that
    // bin, each weighted: a tone's power. 0 when the frequency is beyond the spectrum.
    double tonePower(double frequencyHz, Weighting weighting = Weighting::None) const;
};

// The main lobe of a Blackman-Harris window spans four bins either side of a tone; one more
// catches a tone that falls between bins.
inline constexpr int kToneHalfWidthBins = 5;

PowerSpectrum powerSpectrum(FftCache& cache, std::span<const double> samples, double sampleRate);
PowerSpectrum powerSpectrum(FftCache& cache, std::span<const float> samples, double sampleRate);

}  // namespace selvar::dsp
