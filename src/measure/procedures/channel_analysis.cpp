// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/procedures/channel_analysis.h"

#include <algorithm>
#include <cmath>

#include "measure/dsp/distortion.h"
#include "measure/dsp/levels.h"
#include "measure/dsp/power_bins.h"
#include "measure/procedures/level_core.h"

namespace selvar::measure {

ChannelAnalysis analyseChannel(dsp::FftCache& cache, std::span<const float> window,
                               double sampleRate, double toneHz, double driftPpm) {
    const double heardHz = toneHz / (1.0 + driftPpm * 1e-6);
    const dsp::Distortion distortion = dsp::measureDistortion(cache, window, sampleRate, heardHz);
    const ToneReading tone = readTone(window, sampleRate, heardHz, &distortion.fundamental);
    return {.levelDbfs = tone.levelDbfs,
            .floorLimited = tone.floorLimited,
            .thdDb = distortion.thdDb,
            .thdnDb = distortion.thdnDb};
}

ChannelMeasurement measurement(const ChannelAnalysis& analysis, double stimulusDbfs,
                               double cardGainDb) {
    ChannelMeasurement out;
    out.floorLimited = analysis.floorLimited;
    if (!analysis.floorLimited) {
        out.gainDb = analysis.levelDbfs - stimulusDbfs - cardGainDb;
    }
    out.thdDb = analysis.thdDb;
    out.thdnDb = analysis.thdnDb;
    return out;
}

Spectrum logSpectrum(dsp::FftCache& cache, std::span<const float> window, double sampleRate,
                     int points) {
    const dsp::PowerSpectrum power = dsp::powerSpectrum(cache, window, sampleRate);
    constexpr double kLowHz = 20.0;
    constexpr double kHighHz = 20000.0;
    const double ratio = std::pow(kHighHz / kLowHz, 1.0 / double(points - 1));
    const double last = double(power.bins.size() - 1);
    Spectrum out;
    out.frequencyHz.reserve(std::size_t(points));
    out.levelDbfs.reserve(std::size_t(points));
    for (int i = 0; i < points; ++i) {
        const double hz = kLowHz * std::pow(ratio, i);
        const double from = std::clamp(std::floor(hz / std::sqrt(ratio) / power.binHz), 0.0, last);
        const double to = std::clamp(std::ceil(hz * std::sqrt(ratio) / power.binHz), from, last);
        double strongest = 0.0;
        for (auto bin = std::size_t(from); bin <= std::size_t(to); ++bin) {
            strongest = std::max(strongest, power.bins[bin]);
        }
        out.frequencyHz.push_back(float(hz));
        out.levelDbfs.push_back(float(dsp::meanSquareToDbfs(strongest + 1e-30)));
    }
    return out;
}

}  // namespace selvar::measure
