// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "measure/dsp/buffers.h"

namespace selvar::dsp {

// The stereo stimulus: Left and Right on frequencies that share no low harmonic, so each
// channel's fit sees the other's crosstalk only as a far-off tone that averages out.
inline constexpr double kLeftToneHz = 997.0;
inline constexpr double kRightToneHz = 1499.0;

struct Tone {
    double frequencyHz = 1000.0;
    double amplitude = 0.0;  // peak; 1.0 is full scale
    double phaseRad = 0.0;   // at frame 0 of the stream
};

// Writes frames [firstFrame, firstFrame + out.size()) of amplitude · sin(2π f n / rate + phase).
// Each frame is computed from its own index, not accumulated, so blocks pushed one after another
// join seamlessly and a long stream keeps its exact frequency.
void renderTone(const Tone& tone, double sampleRate, std::int64_t firstFrame, std::span<float> out);

std::vector<float> sine(const Tone& tone, double sampleRate, std::size_t frames);

// Left at kLeftToneHz and Right at kRightToneHz, both starting at phase 0 at frame 0.
StereoBuffer twoTones(double leftAmplitude, double rightAmplitude, double sampleRate,
                      std::size_t frames, std::int64_t firstFrame = 0);

// A linear sweep with raised-cosine fades at both ends: its autocorrelation has one narrow peak,
// so a copy of it in a capture is found to the sample, and its fades keep it free of clicks.
struct Chirp {
    double startHz = 1000.0;
    double endHz = 10000.0;
    double seconds = 0.02;
    double amplitude = 0.5;
    double fadeSeconds = 0.002;
};

std::vector<float> chirpMarker(double sampleRate, const Chirp& chirp = {});

// What one run plays: a marker, a gap, the body, a gap and the marker again. The markers give
// the latency (the first one's position in the capture) and the clock drift (the distance
// between the two); the gaps keep them clear of the body's own correlation.
struct MarkedRun {
    StereoBuffer signal;
    std::size_t bodyStart = 0;        // first frame of the body within signal
    std::size_t lastMarkerStart = 0;  // first frame of the closing marker
    std::size_t markerFrames = 0;
};

MarkedRun withMarkers(StereoBuffer body, double sampleRate, double gapSeconds = 0.01,
                      const Chirp& chirp = {});

}  // namespace selvar::dsp
