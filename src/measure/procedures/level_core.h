// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <span>

#include "measure/dsp/sine_fit.h"

namespace selvar::measure {

// A tone's level in a captured window, and whether the noise beneath it allows a reading.
struct ToneReading {
    double levelDbfs = 0.0;
    bool floorLimited = false;  // the tone lies too near the noise for its level to mean much
};

// The four-parameter fit, which follows a capture clock hundreds of ppm off; where it cannot
// settle (a faint tone), the fit at the known frequency, narrow-band enough to read far below
// the noise. `fitted`, when given, is the four-parameter fit already made of this window (THD's
// own), so that it is not made twice.
ToneReading readTone(std::span<const float> window, double sampleRate, double frequencyHz,
                     const dsp::SineFit* fitted = nullptr);

}  // namespace selvar::measure
