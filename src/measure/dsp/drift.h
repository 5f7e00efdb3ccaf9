// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <span>

#include "measure/dsp/fft.h"

namespace selvar::dsp {

// How far the capture clock runs off the playback clock, from the two markers of a run.
struct ClockDrift {
    // Positive when the capture holds more frames between the markers than were played (its
    // clock runs fast); +200 means 200 extra frames per million.
    double ppm = 0.0;
    double firstMarker = 0.0;  // where the markers start in the capture, between frames
    double lastMarker = 0.0;
    double correlation = 0.0;  // the weaker marker's correlation coefficient
};

// Finds the opening marker in the capture's first half and the closing one in its second, each
// refined between frames, and compares their distance with the one played. The error is a
// small fraction of a frame per marker, so it falls as the run lengthens: a second between the
// markers reads a few ppm.
ClockDrift estimateDrift(FftCache& cache, std::span<const float> marker,
                         std::span<const float> captured, double playedDistanceFrames);

}  // namespace selvar::dsp
