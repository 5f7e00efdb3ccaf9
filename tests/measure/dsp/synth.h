// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Test signals built straight from std::sin, independent of the generators under test.

#include <cmath>
#include <cstddef>
#include <numbers>
#include <vector>

namespace selvar::dsp::test {

inline constexpr double kRate = 48000.0;
inline constexpr std::size_t kFrames100ms = 4800;

struct Component {
    double hz = 0.0;
    double amplitude = 0.0;  // peak
    double phase = 0.0;
};

inline double peakOf(double dbfs) {
    return std::pow(10.0, dbfs / 20.0);
}

// The sum of the components as captured by a clock running fast by ppm: frame n holds the
// played signal at played frame n / (1 + ppm·1e-6).
inline std::vector<float> synth(std::size_t frames, const std::vector<Component>& components,
                                double ppm = 0.0, double offset = 0.0) {
    std::vector<float> out(frames);
    for (std::size_t n = 0; n < frames; ++n) {
        const double t = static_cast<double>(n) / (1.0 + ppm * 1e-6) / kRate;
        double x = offset;
        for (const Component& c : components) {
            x += c.amplitude * std::sin(2.0 * std::numbers::pi * c.hz * t + c.phase);
        }
        out[n] = static_cast<float>(x);
    }
    return out;
}

}  // namespace selvar::dsp::test
