// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "measure/dsp/buffers.h"
#include "measure/procedures/gain_step.h"
#include "measure/procedures/results.h"

namespace selvar::measure {

// How long a gain change waits for a zero crossing with ZCD high before it gives up. Right
// carries 1 kHz, whose crossings come every half millisecond: it changes almost at once and
// marks the moment in the capture. Left carries 5 Hz, whose crossings are 100 ms apart: it
// mostly waits out the timeout. The longest delay of Left behind Right over the trials is
// the timeout, short by at most Right's wait in the best trial.
struct ZcdTimeoutPlan {
    double referenceHz = 1000.0;  // Right
    double slowHz = 5.0;          // Left
    dsp::StereoBuffer body;
    CodeSchedule changes;  // one per trial, at phases of Left spread over its period
    std::size_t trialFrames = 0;
};

inline constexpr int kTimeoutTrials = 12;

ZcdTimeoutPlan zcdTimeoutPlan(double sampleRate, int highCode, int lowCode, std::uint64_t seed);

// From a capture lined up with the body (captured frame n is body frame n).
ZcdTimeoutResult zcdTimeoutResult(const ZcdTimeoutPlan& plan, const dsp::StereoBuffer& captured,
                                  double sampleRate);

}  // namespace selvar::measure
