// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>

#include "measure/dsp/fft.h"

namespace selvar::dsp {

struct ClickWindow {
    double seconds = 0.04;   // centred on the moment the gain changed
    double fromHz = 1000.0;  // far above a low test tone, where a step's splatter shows
};

// The energy at and above fromHz in a window centred on centreFrame, as a mean square in dBFS.
// A low tone passed through a gain change made at a zero crossing adds almost nothing there; a
// change made at a crest adds a step whose spectrum reaches far up. The Blackman-Harris window
// weighs the moment of the change most, and keeps the tone's own skirt out of the band.
// A window reaching past either end of the capture is cut to the capture.
double clickEnergyDbfs(FftCache& cache, std::span<const float> captured, double sampleRate,
                       std::int64_t centreFrame, const ClickWindow& window = {});

}  // namespace selvar::dsp
