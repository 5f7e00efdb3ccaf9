// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <random>
#include <span>
#include <utility>

#include "measure/audio/analog_controls.h"
#include "measure/audio/sim_analog_options.h"

namespace selvar::audio {

// The ideal gain of a code in dB: (code - 192) / 2, so 192 is 0 dB and 255 is +31.5 dB. Code 0
// is mute, which has no ideal gain; the mute depth stands for it.
inline double idealGainDb(int code) {
    return (code - 192) / 2.0;
}

// What the simulated board and sound card do to the stimulus, sample by sample: the chip's
// gain of the code latched at that frame (a change waiting for a zero crossing while ZCD is
// high), its harmonics, the crosstalk between its channels, the card's own gain and the noise.
// Frames are counted from the path's creation: that count is the board's clock.
class AnalogPath {
  public:
    AnalogPath(const SimAnalogOptions& options, double sampleRate);

    // in and out are interleaved stereo of one size. With controls null the chip is out of the
    // path (the card's loop-through); otherwise the path runs through chip's registers.
    void render(const AnalogControls* controls, int chip, std::span<const float> in,
                std::span<float> out);
    std::int64_t frame() const { return frame_; }

  private:
    // The last window's peak, the scale the harmonics are made against, so that their level
    // relative to the fundamental stays what was injected whatever the level.
    class Envelope {
      public:
        double push(std::int64_t frame, double magnitude, std::int64_t window);

      private:
        std::deque<std::pair<std::int64_t, double>> peaks_;  // falling magnitudes
    };
    struct Channel {
        int applied = -1;  // the code in effect; -1 before the first frame
        int target = -1;   // the code the register holds
        std::int64_t pendingSince = 0;
        float previousInput = 0.0F;
        Envelope envelope;
    };

    void follow(Channel& channel, int code, bool zcd, float input);
    double chipStage(int side, Channel& channel, bool muted, double input);

    std::array<std::array<double, kCodes>, 2> gain_{};  // linear, per side and code
    double muteGain_;
    double crosstalk_;
    double h2_;
    double h3_;
    std::array<double, 2> cardGain_;
    std::int64_t zcdTimeoutFrames_;
    std::int64_t envelopeFrames_;
    std::array<Channel, 2> channels_{};
    std::mt19937_64 random_{0x5e1fa11};
    std::normal_distribution<double> noise_;
    std::int64_t frame_ = 0;
};

}  // namespace selvar::audio
