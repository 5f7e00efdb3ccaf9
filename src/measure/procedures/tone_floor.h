// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <limits>
#include <span>

namespace selvar::measure {

// A tone read narrow-band at its known frequency, with the narrow-band floor beside it: the
// mean level the same fit gives at frequencies where nothing was played. A block that holds
// whole cycles of the tone keeps the tone out of those neighbours entirely.
struct ToneAndFloor {
    double levelDbfs = 0.0;
    double floorDbfs = 0.0;
};

ToneAndFloor readToneAndFloor(std::span<const float> block, double sampleRate, double frequencyHz);

// What a floor read off a block of `frames` comes to when the card's broadband noise (over
// 20 Hz-20 kHz, as the loop-through calibration gives it) is `noiseDbfs`.
double narrowBandFloorDbfs(double noiseDbfs, double sampleRate, double frames);

// A reading is trusted only this far above the floor: a tone 20 dB over the noise reads to
// about a tenth of a dB.
inline constexpr double kFloorMarginDb = 20.0;

// How far `attenuated` lies below `reference`, positive. When it lies within the margin of
// its floor (or of cardFloorDbfs, the card's own, when higher), it reads as the deepest
// attenuation the path can show, marked floor-limited.
struct Attenuation {
    double db = 0.0;
    bool floorLimited = false;
    double floorDb = 0.0;  // the deepest attenuation this reading could have shown
};

Attenuation attenuation(const ToneAndFloor& reference, const ToneAndFloor& attenuated,
                        double cardFloorDbfs = -std::numeric_limits<double>::infinity());

}  // namespace selvar::measure
