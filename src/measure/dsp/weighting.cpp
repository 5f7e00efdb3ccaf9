// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/dsp/weighting.h"

namespace selvar::dsp {

namespace {

// The analogue A-weighting magnitude response, from its four pole frequencies.
double aResponseSquared(double f) {
    constexpr double p1 = 20.598997 * 20.598997;
    constexpr double p2 = 107.65265 * 107.65265;
    constexpr double p3 = 737.86223 * 737.86223;
    constexpr double p4 = 12194.217 * 12194.217;
    const double f2 = f * f;
    const double numerator = p4 * f2 * f2;
    const double denominator = (f2 + p1) * (f2 + p2) * (f2 + p3) * (f2 + p4);
    return numerator * numerator / (denominator * (f2 + p1) * (f2 + p4));
}

}  // namespace

double weightingPowerGain(Weighting weighting, double frequencyHz) {
    switch (weighting) {
        case Weighting::A:
            return aResponseSquared(frequencyHz) / aResponseSquared(1000.0);
        case Weighting::None:
            break;
    }
    return 1.0;
}

}  // namespace selvar::dsp
