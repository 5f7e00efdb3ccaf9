// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/audio/analog_path.h"

#include <algorithm>
#include <cmath>

namespace selvar::audio {
namespace {

double amplitude(double db) {
    return std::pow(10.0, db / 20.0);
}

}  // namespace

double AnalogPath::Envelope::push(std::int64_t frame, double magnitude, std::int64_t window) {
    while (!peaks_.empty() && peaks_.back().second <= magnitude) {
        peaks_.pop_back();
    }
    peaks_.emplace_back(frame, magnitude);
    while (peaks_.front().first <= frame - window) {
        peaks_.pop_front();
    }
    return peaks_.front().second;
}

AnalogPath::AnalogPath(const SimAnalogOptions& options, double sampleRate)
    : muteGain_(amplitude(-options.muteDepthDb)),
      crosstalk_(amplitude(options.crosstalkDb)),
      h2_(options.h2Dbc ? amplitude(*options.h2Dbc) : 0.0),
      h3_(options.h3Dbc ? amplitude(*options.h3Dbc) : 0.0),
      cardGain_{amplitude(options.cardGainLeftDb), amplitude(options.cardGainRightDb)},
      zcdTimeoutFrames_(std::llround(options.zcdTimeoutMs * sampleRate / 1000.0)),
      envelopeFrames_(std::llround(sampleRate * 0.05)),
      // The dBFS scale takes a full-scale sine's mean square, 0.5, as 0 dB.
      noise_(0.0, std::sqrt(0.5) * amplitude(options.noiseDbfs)) {
    for (int code = 0; code < kCodes; ++code) {
        const GainError& error = options.errors[std::size_t(code)];
        gain_[0][std::size_t(code)] = amplitude(idealGainDb(code) + error.leftDb);
        gain_[1][std::size_t(code)] = amplitude(idealGainDb(code) + error.rightDb);
    }
}

// A new code takes effect at once, or with ZCD high at the channel's next zero crossing (a
// sign change or a zero sample) or after the timeout, whichever comes first.
void AnalogPath::follow(Channel& channel, int code, bool zcd, float input) {
    if (channel.applied < 0) {
        channel.applied = channel.target = code;
    }
    if (code != channel.target) {
        channel.target = code;
        channel.pendingSince = frame_;
    }
    if (channel.target != channel.applied) {
        const bool crossing = channel.previousInput * input <= 0.0F;
        if (!zcd || crossing || frame_ - channel.pendingSince >= zcdTimeoutFrames_) {
            channel.applied = channel.target;
        }
    }
    channel.previousInput = input;
}

double AnalogPath::chipStage(int side, Channel& channel, bool muted, double input) {
    const double gain = muted || channel.applied == 0
                            ? muteGain_
                            : gain_[std::size_t(side)][std::size_t(channel.applied)];
    const double x = gain * input;
    if (h2_ == 0.0 && h3_ == 0.0) {
        return x;
    }
    // Chebyshev polynomials of x scaled to its peak turn a sine into its exact 2nd and 3rd
    // harmonics: T2(sin) = -cos 2θ, T3(sin) = -sin 3θ.
    const double peak = channel.envelope.push(frame_, std::abs(x), envelopeFrames_);
    if (peak == 0.0) {
        return x;
    }
    const double u = x / peak;
    return x + peak * (h2_ * (2.0 * u * u - 1.0) + h3_ * (4.0 * u * u * u - 3.0 * u));
}

void AnalogPath::render(const AnalogControls* controls, int chip, std::span<const float> in,
                        std::span<float> out) {
    const std::uint16_t reg = controls != nullptr ? controls->gainRegister(chip) : 0;
    const std::array<int, 2> codes{reg & 0xFF, reg >> 8};
    const bool muted = controls != nullptr && controls->muted();
    const bool zcd = controls != nullptr && controls->zcdHigh();
    for (std::size_t i = 0; i + 1 < in.size() && i + 1 < out.size(); i += 2) {
        std::array<double, 2> chipOut{in[i], in[i + 1]};
        if (controls != nullptr) {
            for (int side = 0; side < 2; ++side) {
                Channel& channel = channels_[std::size_t(side)];
                const float input = in[i + std::size_t(side)];
                follow(channel, codes[std::size_t(side)], zcd, input);
                chipOut[std::size_t(side)] = chipStage(side, channel, muted, input);
            }
            chipOut = {chipOut[0] + crosstalk_ * chipOut[1], chipOut[1] + crosstalk_ * chipOut[0]};
        }
        for (std::size_t side = 0; side < 2; ++side) {
            // The card's converter clips at full scale.
            const double x = cardGain_[side] * chipOut[side] + noise_(random_);
            out[i + side] = float(std::clamp(x, -1.0, 1.0));
        }
        ++frame_;
    }
}

}  // namespace selvar::audio
