// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>

#include "measure/dsp/fft.h"

namespace selvar::dsp {

// Where a reference lies in a capture: captured[n + lagFrames] lines up with reference[n].
struct Alignment {
    std::int64_t lagFrames = 0;  // the correlation's peak, exact to the sample
    double lag = 0.0;            // the peak refined between samples (parabola through three)
    // The correlation coefficient at the peak, 1.0 for an exact (scaled) copy; near 0 when the
    // reference is not in the capture at all.
    double correlation = 0.0;
};

// Cross-correlation over every lag at which the reference overlaps the capture, by FFT. Lags
// run from -(reference.size() - 1) (the capture starts inside the reference) to
// captured.size() - 1. Both must be non-empty.
Alignment align(FftCache& cache, std::span<const float> reference, std::span<const float> captured);

}  // namespace selvar::dsp
