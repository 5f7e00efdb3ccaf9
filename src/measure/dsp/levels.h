// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cmath>

namespace selvar::dsp {

// Levels in dBFS follow the sound-card convention: a sine whose peaks touch full scale (peak
// amplitude 1.0) is 0 dBFS, so its mean square, 0.5, is 0 dBFS too. Noise and residuals are
// given on the same scale, which keeps a tone level and a noise floor comparable.

inline double amplitudeToDbfs(double peakAmplitude) {
    return 20.0 * std::log10(peakAmplitude);
}

inline double dbfsToAmplitude(double dbfs) {
    return std::pow(10.0, dbfs / 20.0);
}

inline double meanSquareToDbfs(double meanSquare) {
    return 10.0 * std::log10(2.0 * meanSquare);
}

// A power ratio in dB (distortion, crosstalk, click energy relative to a tone).
inline double powerRatioDb(double power, double reference) {
    return 10.0 * std::log10(power / reference);
}

}  // namespace selvar::dsp
