// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>

#include "measure/dsp/buffers.h"
#include "measure/procedures/tone_floor.h"

namespace selvar::measure {

// How deep the MUTE line or code 0 attenuates: a tone on both channels, read narrow-band at
// its frequency before and after the mute is applied within one run, so that the card's gain
// cancels. The mute is released again before the run ends. Each 100 ms block holds whole cycles of
// the tone, which keeps it out of the neighbouring frequencies the floor is read at.
struct MutePlan {
    double toneHz = 1000.0;
    dsp::StereoBuffer body;
    std::size_t muteFrame = 0;    // where the run applies the mute
    std::size_t unmuteFrame = 0;  // and releases it, so the closing marker comes through
    // From here to the end the output may be muted, however early the mute lands.
    std::size_t faintFrom = 0;
    std::size_t blockFrames = 0;
    std::size_t referenceStart = 0;
    std::size_t mutedStart = 0;
};

MutePlan mutePlan(double sampleRate);

// The shallower channel's attenuation (a channel at its floor counts as the floor) from a
// capture lined up with the body. cardFloorDbfs: the card's own narrow-band floor, if known.
Attenuation muteDepth(const MutePlan& plan, const dsp::StereoBuffer& captured, double sampleRate,
                      double cardFloorDbfs);

}  // namespace selvar::measure
