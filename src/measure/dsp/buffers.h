// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace selvar::dsp {

// The measurement rate unless a device asks for another.
inline constexpr double kDefaultSampleRate = 48000.0;

// Two channels kept apart, as every analysis works on one channel at a time. Sound devices move
// interleaved frames; interleave() and deinterleave() are the one place that converts.
struct StereoBuffer {
    std::vector<float> left;
    std::vector<float> right;

    std::size_t frames() const { return left.size(); }
};

// L0 R0 L1 R1 ... The shorter channel is padded with silence.
std::vector<float> interleave(const StereoBuffer& buffer);

// The inverse of interleave(); a trailing half frame is dropped.
StereoBuffer deinterleave(std::span<const float> interleaved);

}  // namespace selvar::dsp
