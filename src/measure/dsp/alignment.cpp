// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/dsp/alignment.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <stdexcept>
#include <vector>

namespace selvar::dsp {

namespace {

// The spectrum of a block zero-padded to the transform's size.
std::vector<std::complex<double>> paddedSpectrum(ForwardFft& fft, std::span<const float> x) {
    const std::span<double> in = fft.input();
    std::fill(in.begin(), in.end(), 0.0);
    std::copy(x.begin(), x.end(), in.begin());
    const auto out = fft.execute();
    return {out.begin(), out.end()};
}

// Refines a peak at index 1 of three values to a fraction in (-0.5, 0.5).
double parabolicOffset(double before, double peak, double after) {
    const double curvature = before - 2.0 * peak + after;
    return curvature < 0.0 ? 0.5 * (before - after) / curvature : 0.0;
}

double energy(std::span<const float> x) {
    double sum = 0.0;
    for (const float v : x) {
        sum += static_cast<double>(v) * v;
    }
    return sum;
}

}  // namespace

Alignment align(FftCache& cache, std::span<const float> reference,
                std::span<const float> captured) {
    if (reference.empty() || captured.empty()) {
        throw std::invalid_argument("alignment needs a reference and a capture");
    }
    const std::size_t size = goodFftSize(reference.size() + captured.size() - 1);
    ForwardFft& forward = cache.forward(size);
    const auto ref = paddedSpectrum(forward, reference);
    const auto cap = paddedSpectrum(forward, captured);
    InverseFft& inverse = cache.inverse(size);
    const auto cross = inverse.input();
    for (std::size_t k = 0; k < cross.size(); ++k) {
        cross[k] = std::conj(ref[k]) * cap[k];
    }
    const auto corr = inverse.execute();  // corr[lag], negative lags wrapped to the end

    const auto count = static_cast<std::int64_t>(size);
    const auto at = [&](std::int64_t lag) {
        return corr[static_cast<std::size_t>((lag + count) % count)];
    };
    const auto lowest = -static_cast<std::int64_t>(reference.size()) + 1;
    const auto highest = static_cast<std::int64_t>(captured.size()) - 1;
    std::int64_t best = lowest;
    for (std::int64_t lag = lowest; lag <= highest; ++lag) {
        if (at(lag) > at(best)) {
            best = lag;
        }
    }
    Alignment out{.lagFrames = best, .lag = static_cast<double>(best)};
    if (best > lowest && best < highest) {
        out.lag += parabolicOffset(at(best - 1), at(best), at(best + 1));
    }
    // The coefficient over the overlap only: the parts of each that lie against the other.
    const auto refSize = static_cast<std::int64_t>(reference.size());
    const std::int64_t from = std::max<std::int64_t>(0, -best);
    const std::int64_t to = std::min(refSize, highest + 1 - best);
    const auto overlap = static_cast<std::size_t>(to - from);
    const double norm =
        std::sqrt(energy(reference.subspan(static_cast<std::size_t>(from), overlap)) *
                  energy(captured.subspan(static_cast<std::size_t>(from + best), overlap)));
    out.correlation = norm > 0.0 ? at(best) / static_cast<double>(size) / norm : 0.0;
    return out;
}

}  // namespace selvar::dsp
