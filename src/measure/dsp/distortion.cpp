// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/dsp/distortion.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "measure/dsp/power_bins.h"

namespace selvar::dsp {

Distortion measureDistortion(FftCache& cache, std::span<const float> samples, double sampleRate,
                             double fundamentalHz, const DistortionOptions& options) {
    Distortion out;
    out.fundamental = fitSine(samples, sampleRate, fundamentalHz);
    const double fundamentalPower = 0.5 * out.fundamental.amplitude * out.fundamental.amplitude;
    const std::vector<double> residual = fitResidual(samples, sampleRate, out.fundamental);
    const PowerSpectrum spectrum = powerSpectrum(cache, residual, sampleRate);

    // A harmonic counts only when its whole main lobe lies below the band's top and Nyquist.
    const double lobeHz = spectrum.binHz * kToneHalfWidthBins;
    const double top = std::min(options.highHz, 0.5 * sampleRate - lobeHz);
    double harmonics = 0.0;
    for (int order = 2; order <= kHighestHarmonic; ++order) {
        const double hz = order * out.fundamental.frequencyHz;
        const double power = hz <= top ? spectrum.tonePower(hz, options.weighting) : 0.0;
        out.harmonicDb[static_cast<std::size_t>(order - 2)] =
            power > 0.0 ? powerRatioDb(power, fundamentalPower)
                        : -std::numeric_limits<double>::infinity();
        harmonics += power;
    }
    out.thdDb = powerRatioDb(harmonics, fundamentalPower);
    const double band = spectrum.bandPower(options.lowHz, options.highHz, options.weighting);
    out.thdnDb = powerRatioDb(band, fundamentalPower);
    return out;
}

}  // namespace selvar::dsp
