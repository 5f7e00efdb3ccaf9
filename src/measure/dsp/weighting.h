// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace selvar::dsp {

// How band powers are weighted over frequency before they are summed.
enum class Weighting {
    None,
    A,  // the A curve of sound level meters, 0 dB at 1 kHz
};

// The power gain (not dB) that a weighting applies at a frequency.
double weightingPowerGain(Weighting weighting, double frequencyHz);

}  // namespace selvar::dsp
