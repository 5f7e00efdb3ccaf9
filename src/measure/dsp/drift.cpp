// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/dsp/drift.h"

#include <algorithm>

#include "measure/dsp/alignment.h"

namespace selvar::dsp {

ClockDrift estimateDrift(FftCache& cache, std::span<const float> marker,
                         std::span<const float> captured, double playedDistanceFrames) {
    const std::size_t half = captured.size() / 2;
    const Alignment first = align(cache, marker, captured.first(half));
    const Alignment last = align(cache, marker, captured.subspan(half));
    ClockDrift out;
    out.firstMarker = first.lag;
    out.lastMarker = last.lag + static_cast<double>(half);
    out.ppm = ((out.lastMarker - out.firstMarker) / playedDistanceFrames - 1.0) * 1e6;
    out.correlation = std::min(first.correlation, last.correlation);
    return out;
}

}  // namespace selvar::dsp
