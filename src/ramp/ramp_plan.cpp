// SPDX-License-Identifier: GPL-3.0-or-later
#include "ramp/ramp_plan.h"

#include <stdexcept>
#include <string>

#include "gain/checked_int16.h"
#include "gain/mod_pub_share.h"
#include "ramp/field_validation.h"

namespace selvar::ramp {
namespace {

constexpr int kChannelMaximum = 255;
constexpr int kGangMaximum = 510;

// A normal form of a field always reads as a number; anything else is a fault here.
float numberOf(const std::string& normalForm) {
    return readNumber(normalForm).value();
}

}  // namespace

bool stopsOutOfOrder(std::string_view topText, std::string_view bottomText) {
    const std::optional<float> top = readNumber(topText);
    const std::optional<float> bottom = readNumber(bottomText);
    return top && bottom && *top < *bottom;
}

RampParameters rampParameters(std::string_view stopText, std::string_view stepText,
                              std::string_view delayText) {
    // The fields are normally validated before a ramp starts; reading them through their
    // normal forms makes sure an unvalidated text can never crash a ramp or take it out of range.
    RampParameters parameters;
    parameters.stop = modPubShare::dbToCode(numberOf(validateStopText(stopText)));
    parameters.step =
        static_cast<int>(modPubShare::halfDbSteps(numberOf(validateStepText(stepText))).value());
    parameters.delay = static_cast<int>(numberOf(validateDelayText(delayText)));
    return parameters;
}

RampScale scaleOfMaximum(int maximum) {
    switch (maximum) {
        case kChannelMaximum:
            return RampScale::Channel;
        case kGangMaximum:
            return RampScale::Gang;
        default:
            return RampScale::None;
    }
}

int rampPositionOf(RampScale scale, int sliderValue) {
    return scale == RampScale::Gang ? sliderValue / 2 : sliderValue;
}

int sliderValueAt(RampScale scale, int position) {
    return scale == RampScale::Gang ? gain::mul16(2, position) : position;
}

std::optional<int> nextRampPosition(int current, int stop, int step, bool up) {
    // A step below one code would never arrive and hang the interface.
    if (step < 1) {
        throw std::invalid_argument("ramp step must be at least one code");
    }
    if (up) {
        if (current >= stop) {
            return std::nullopt;
        }
        return current < gain::sub16(stop, step) ? gain::add16(current, step) : stop;
    }
    if (current <= stop) {
        return std::nullopt;
    }
    return current > gain::add16(stop, step) ? gain::sub16(current, step) : stop;
}

}  // namespace selvar::ramp
