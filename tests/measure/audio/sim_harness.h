// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A fake board and a lockstep loop over the simulated path: play, then capture as many frames.

#include <cstdint>
#include <vector>

#include "measure/audio/analog_controls.h"
#include "measure/audio/sim_audio_port.h"
#include "measure/dsp/buffers.h"

namespace selvar::audio::test {

inline constexpr double kRate = 48000.0;

struct FakeBoard final : AnalogControls {
    std::uint16_t reg = 0xC0C0;  // 0 dB both sides
    bool mute = false;
    bool zcd = false;
    std::uint16_t gainRegister(int) const override { return reg; }
    bool muted() const override { return mute; }
    bool zcdHigh() const override { return zcd; }
};

inline std::uint16_t codes(int left, int right) {
    return std::uint16_t(right << 8 | left);
}

// Plays the buffer and captures what comes back of it.
inline dsp::StereoBuffer loop(AudioPort& port, const dsp::StereoBuffer& played) {
    const auto out = dsp::interleave(played);
    port.play(out);
    std::vector<float> in(out.size() + out.size() / 50 + 128);  // room for drift and glitches
    in.resize(port.capture(in) * 2);
    return dsp::deinterleave(in);
}

}  // namespace selvar::audio::test
