// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/dsp/buffers.h"

#include <algorithm>

namespace selvar::dsp {

std::vector<float> interleave(const StereoBuffer& buffer) {
    const std::size_t frames = std::max(buffer.left.size(), buffer.right.size());
    std::vector<float> out(2 * frames, 0.0F);
    for (std::size_t i = 0; i < buffer.left.size(); ++i) {
        out[2 * i] = buffer.left[i];
    }
    for (std::size_t i = 0; i < buffer.right.size(); ++i) {
        out[2 * i + 1] = buffer.right[i];
    }
    return out;
}

StereoBuffer deinterleave(std::span<const float> interleaved) {
    const std::size_t frames = interleaved.size() / 2;
    StereoBuffer out{std::vector<float>(frames), std::vector<float>(frames)};
    for (std::size_t i = 0; i < frames; ++i) {
        out.left[i] = interleaved[2 * i];
        out.right[i] = interleaved[2 * i + 1];
    }
    return out;
}

}  // namespace selvar::dsp
