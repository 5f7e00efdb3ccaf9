// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/dsp/power_bins.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numeric>
#include <stdexcept>

namespace selvar::dsp {

double PowerSpectrum::bandPower(double lowHz, double highHz, Weighting weighting) const {
    double sum = 0.0;
    for (std::size_t k = 0; k < bins.size(); ++k) {
        const double hz = frequencyOf(k);
        if (hz >= lowHz && hz <= highHz) {
            sum += bins[k] * weightingPowerGain(weighting, hz);
        }
    }
    return sum;
}

double PowerSpectrum::tonePower(double frequencyHz, Weighting weighting) const {
    const auto centre = static_cast<long>(std::lround(frequencyHz / binHz));
    const auto last = static_cast<long>(bins.size()) - 1;
    if (centre < 0 || centre > last) {
        return 0.0;
    }
    double sum = 0.0;
    for (long k = std::max(0L, centre - kToneHalfWidthBins);
         k <= std::min(last, centre + kToneHalfWidthBins); ++k) {
        const auto bin = static_cast<std::size_t>(k);
        sum += bins[bin] * weightingPowerGain(weighting, frequencyOf(bin));
    }
    return sum;
}

namespace {

template <typename Sample>
PowerSpectrum windowedPower(FftCache& cache, std::span<const Sample> samples, double sampleRate) {
    const std::size_t n = samples.size();
    if (n < 16) {
        throw std::invalid_argument("a spectrum needs at least 16 samples");
    }
    const std::vector<double>& window = cache.blackmanHarris(n);
    ForwardFft& fft = cache.forward(n);
    const std::span<double> in = fft.input();
    for (std::size_t i = 0; i < n; ++i) {
        in[i] = window[i] * static_cast<double>(samples[i]);
    }
    const auto spectrum = fft.execute();

    // Parseval: sum over all n bins of |X|² equals n times the windowed block's energy, and the
    // window keeps sum(w²)/n of a stationary signal's mean square.
    const double sumSquares = std::inner_product(window.begin(), window.end(), window.begin(), 0.0);
    const double scale = 1.0 / (static_cast<double>(n) * sumSquares);
    PowerSpectrum out{std::vector<double>(spectrum.size()), sampleRate / static_cast<double>(n)};
    for (std::size_t k = 0; k < spectrum.size(); ++k) {
        const bool unpaired = k == 0 || 2 * k == n;  // DC and Nyquist have no mirror image
        out.bins[k] = (unpaired ? 1.0 : 2.0) * std::norm(spectrum[k]) * scale;
    }
    return out;
}

}  // namespace

PowerSpectrum powerSpectrum(FftCache& cache, std::span<const double> samples, double sampleRate) {
    return windowedPower(cache, samples, sampleRate);
}

PowerSpectrum powerSpectrum(FftCache& cache, std::span<const float> samples, double sampleRate) {
    return windowedPower(cache, samples, sampleRate);
}

}  // namespace selvar::dsp
