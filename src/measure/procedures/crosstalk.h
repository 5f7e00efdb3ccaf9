// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>

#include "measure/dsp/buffers.h"
#include "measure/procedures/dut_access.h"
#include "measure/procedures/tone_floor.h"

namespace selvar::measure {

// Crosstalk into one channel: the other one carries a tone, this one silence; the tone it
// picks up is read narrow-band against the driven channel's, in one capture.
struct CrosstalkPlan {
    double toneHz = 1000.0;
    Channel into = Channel::Left;
    dsp::StereoBuffer body;
    std::size_t blockStart = 0;
    std::size_t blockFrames = 0;
};

CrosstalkPlan crosstalkPlan(double sampleRate, Channel into);

// What the card contributes, from its loop-through calibration (zeros and no floor without
// one): its gains per channel skew the ratio, its noise and own crosstalk set the floor.
struct CardPath {
    double intoGainDb = 0.0;
    double fromGainDb = 0.0;
    double noiseFloorDbfs = -1e300;  // narrow-band, as readToneAndFloor() sees it
    double crosstalkDb = -1e300;
};

// In dB, negative; floor-limited, it is the highest crosstalk that could have hidden there.
struct CrosstalkReading {
    double db = 0.0;
    bool floorLimited = false;
};

CrosstalkReading crosstalk(const CrosstalkPlan& plan, const dsp::StereoBuffer& captured,
                           double sampleRate, const CardPath& card);

}  // namespace selvar::measure
