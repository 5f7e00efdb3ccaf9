// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/procedures/tone_floor.h"

#include <algorithm>
#include <cmath>

#include "measure/dsp/sine_fit.h"

namespace selvar::measure {
namespace {

// Neighbours from 3 to 10 bins either side: clear of a drifting tone's skirt, close enough
// to see the same noise density.
constexpr int kFirstNeighbour = 3;
constexpr int kLastNeighbour = 10;

}  // namespace

ToneAndFloor readToneAndFloor(std::span<const float> block, double sampleRate, double frequencyHz) {
    ToneAndFloor reading;
    reading.levelDbfs = dsp::fitSineAt(block, sampleRate, frequencyHz).levelDbfs();
    const double binHz = sampleRate / double(block.size());
    double power = 0.0;
    int count = 0;
    for (int k = kFirstNeighbour; k <= kLastNeighbour; ++k) {
        for (const int side : {-1, 1}) {
            const double hz = frequencyHz + side * k * binHz;
            if (hz <= 0.0 || hz >= 0.5 * sampleRate) {
                continue;
            }
            const double amplitude = dsp::fitSineAt(block, sampleRate, hz).amplitude;
            power += amplitude * amplitude;
            ++count;
        }
    }
    reading.floorDbfs = 10.0 * std::log10(power / std::max(count, 1));
    return reading;
}

double narrowBandFloorDbfs(double noiseDbfs, double sampleRate, double frames) {
    // From the band to the whole spectrum the noise spreads over, then to what a fit over
    // `frames` picks of it: its amplitude squared has a mean of 4σ²/frames.
    const double wholeBandDbfs = noiseDbfs + 10.0 * std::log10(0.5 * sampleRate / 19980.0);
    return wholeBandDbfs - 10.0 * std::log10(0.5 * frames);
}

Attenuation attenuation(const ToneAndFloor& reference, const ToneAndFloor& attenuated,
                        double cardFloorDbfs) {
    const double lowest = std::max(attenuated.floorDbfs, cardFloorDbfs) + kFloorMarginDb;
    Attenuation result;
    result.floorDb = reference.levelDbfs - lowest;
    result.floorLimited = attenuated.levelDbfs < lowest;
    result.db = result.floorLimited ? result.floorDb : reference.levelDbfs - attenuated.levelDbfs;
    return result;
}

}  // namespace selvar::measure
