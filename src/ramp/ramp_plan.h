// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string_view>

namespace selvar::ramp {

// True when the stop texts must be exchanged: the top value is below the bottom value.
bool stopsOutOfOrder(std::string_view topText, std::string_view bottomText);

// The numbers a ramp press computes from the (validated) field texts.
struct RampParameters {
    int stop = 0;   // gain code, dbToCode of the stop field
    int step = 1;   // gain codes: step field doubled, rounded half to even
    int delay = 0;  // wait units
};
RampParameters rampParameters(std::string_view stopText, std::string_view stepText,
                              std::string_view delayText);

// Target slider scales, told apart by the slider's maximum alone.
enum class RampScale { Channel, Gang, None };
RampScale scaleOfMaximum(int maximum);

// A ramp counts in gain codes: the Gang slider's code is its value halved, remainder dropped,
// and a Gang position is set as twice the code. Channel sliders hold the code itself.
int rampPositionOf(RampScale scale, int sliderValue);
int sliderValueAt(RampScale scale, int position);

// The next position of a ramp, in gain codes, or nullopt when it has arrived. up: towards
// a higher code. The last move lands exactly on the stop. Throws std::invalid_argument for a
// step below one code (it would never arrive).
std::optional<int> nextRampPosition(int current, int stop, int step, bool up);

}  // namespace selvar::ramp
