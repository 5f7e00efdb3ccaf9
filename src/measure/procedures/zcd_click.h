// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

#include "measure/dsp/buffers.h"
#include "measure/dsp/fft.h"
#include "measure/procedures/gain_step.h"
#include "measure/procedures/results.h"

namespace selvar::measure {

// How loud the gain changes click: a low tone on both channels, its gain stepped between two
// codes 20 times at random phases, once with ZCD low and once with it high. A change at a
// crest steps the waveform and splatters far up the spectrum; one held for a zero crossing
// only bends it.
struct ZcdClickPlan {
    double toneHz = 100.0;
    dsp::StereoBuffer body;
    CodeSchedule changes;  // the same for both runs
};

inline constexpr int kClickChanges = 20;

// highCode is where the run starts; lowCode 20 dB below it where the range allows. The seed
// draws the phases, so that a run can be repeated exactly.
ZcdClickPlan zcdClickPlan(double sampleRate, int highCode, int lowCode, std::uint64_t seed);

// The click energy of each change in a capture lined up with the body (captured frame n is
// body frame n), both channels together, in dBFS.
std::vector<double> clickEnergies(dsp::FftCache& cache, const ZcdClickPlan& plan,
                                  const dsp::StereoBuffer& captured, double sampleRate);

// The two runs' energies with their medians.
ZcdClickResult zcdClickResult(std::vector<double> offDb, std::vector<double> onDb);

}  // namespace selvar::measure
