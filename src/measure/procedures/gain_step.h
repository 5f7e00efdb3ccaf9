// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cmath>
#include <cstddef>
#include <span>
#include <vector>

namespace selvar::measure {

// A duration as whole frames at a rate.
inline std::size_t framesOf(double seconds, double sampleRate) {
    return std::size_t(std::lround(seconds * sampleRate));
}

// How much earlier than planned a change may take effect in the capture: a run without a
// calibrated latency acts as its capture reaches a frame, which the card has played that long
// before. Plans keep what they read this far clear of every change.
inline constexpr double kUnknownLatencySeconds = 0.1;

// A code a run sets on both channels when it reaches a frame of its body.
struct ScheduledCode {
    std::size_t frame = 0;
    int code = 0;
};
using CodeSchedule = std::vector<ScheduledCode>;

// Where a tone's gain changed within a block, in frames from its start: the frame from which
// the tone fitted to the block's last `fitFrames` explains the capture better than the tone
// fitted to its first `fitFrames`. The change must lie between the two fits. A change made at
// a crest is found to the sample; one made at a zero crossing to within a sample or two, as
// the tone is small there. The capture tells when a change took effect, which on a real card
// is known no better.
std::size_t locateGainChange(std::span<const float> block, double sampleRate, double frequencyHz,
                             std::size_t fitFrames);

}  // namespace selvar::measure
