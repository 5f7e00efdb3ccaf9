// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/dsp/generators.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace selvar::dsp {

namespace {
constexpr double kTwoPi = 2.0 * std::numbers::pi;
}  // namespace

void renderTone(const Tone& tone, double sampleRate, std::int64_t firstFrame,
                std::span<float> out) {
    for (std::size_t i = 0; i < out.size(); ++i) {
        // Whole cycles are dropped before scaling by 2π, so the phase stays exact however far
        // into the stream the frame is.
        const double n = static_cast<double>(firstFrame + static_cast<std::int64_t>(i));
        const double cycles = std::fmod(tone.frequencyHz * n, sampleRate) / sampleRate;
        out[i] = static_cast<float>(tone.amplitude * std::sin(kTwoPi * cycles + tone.phaseRad));
    }
}

std::vector<float> sine(const Tone& tone, double sampleRate, std::size_t frames) {
    std::vector<float> out(frames);
    renderTone(tone, sampleRate, 0, out);
    return out;
}

StereoBuffer twoTones(double leftAmplitude, double rightAmplitude, double sampleRate,
                      std::size_t frames, std::int64_t firstFrame) {
    StereoBuffer out{std::vector<float>(frames), std::vector<float>(frames)};
    renderTone({kLeftToneHz, leftAmplitude, 0.0}, sampleRate, firstFrame, out.left);
    renderTone({kRightToneHz, rightAmplitude, 0.0}, sampleRate, firstFrame, out.right);
    return out;
}

std::vector<float> chirpMarker(double sampleRate, const Chirp& chirp) {
    const auto frames = static_cast<std::size_t>(std::lround(chirp.seconds * sampleRate));
    const double sweepRate = (chirp.endHz - chirp.startHz) / chirp.seconds;  // Hz per second
    const double fade = chirp.fadeSeconds * sampleRate;
    std::vector<float> out(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        const double phase = kTwoPi * (chirp.startHz * t + 0.5 * sweepRate * t * t);
        const double edge = std::min(static_cast<double>(i), static_cast<double>(frames - 1 - i));
        const double gain =
            edge >= fade ? 1.0 : 0.5 - 0.5 * std::cos(std::numbers::pi * edge / fade);
        out[i] = static_cast<float>(chirp.amplitude * gain * std::sin(phase));
    }
    return out;
}

MarkedRun withMarkers(StereoBuffer body, double sampleRate, double gapSeconds, const Chirp& chirp) {
    const std::vector<float> marker = chirpMarker(sampleRate, chirp);
    const auto gap = static_cast<std::size_t>(std::lround(gapSeconds * sampleRate));
    MarkedRun run;
    run.markerFrames = marker.size();
    run.bodyStart = marker.size() + gap;
    run.lastMarkerStart = run.bodyStart + body.frames() + gap;
    const std::size_t total = run.lastMarkerStart + marker.size();
    for (std::vector<float>* channel : {&body.left, &body.right}) {
        std::vector<float> out(total, 0.0F);
        std::copy(marker.begin(), marker.end(), out.begin());
        std::copy(channel->begin(), channel->end(),
                  out.begin() + static_cast<std::ptrdiff_t>(run.bodyStart));
        std::copy(marker.begin(), marker.end(),
                  out.begin() + static_cast<std::ptrdiff_t>(run.lastMarkerStart));
        *channel = std::move(out);
    }
    run.signal = std::move(body);
    return run;
}

}  // namespace selvar::dsp
