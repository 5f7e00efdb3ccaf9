// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <span>

#include "measure/dsp/fft.h"
#include "measure/procedures/results.h"

namespace selvar::measure {

// What one channel's window of a step tells.
struct ChannelAnalysis {
    double levelDbfs = 0.0;
    bool floorLimited = false;
    double thdDb = 0.0;
    double thdnDb = 0.0;
};

// The tone's level (the level core), THD and THD+N. toneHz is the tone as played; the capture
// clock's drift moves it to toneHz / (1 + drift).
ChannelAnalysis analyseChannel(dsp::FftCache& cache, std::span<const float> window,
                               double sampleRate, double toneHz, double driftPpm);

// The gain, THD and THD+N of a channel at a code: the output's level minus the stimulus's and
// minus what the sound card adds; none where the noise hides the tone.
ChannelMeasurement measurement(const ChannelAnalysis& analysis, double stimulusDbfs,
                               double cardGainDb);

// The window's spectrum at `points` log-spaced frequencies from 20 Hz to 20 kHz, each the
// strongest bin around it, for the spectrum plot.
Spectrum logSpectrum(dsp::FftCache& cache, std::span<const float> window, double sampleRate,
                     int points = 300);

}  // namespace selvar::measure
