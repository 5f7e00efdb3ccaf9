// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace selvar::remote {

// A decimal number read exactly from its text, so that grid tests never see a rounded value.
// value = sign x (whole + 0.fraction); `huge` when the whole part has more than six digits.
struct DecimalNumber {
    bool negative = false;
    bool huge = false;
    long long whole = 0;
    std::string fraction;  // significant digits after the point, no trailing zeros
};

// SCPI decimal numeric data: [+|-] digits [. digits] [E [+|-] digits], or with a leading point.
std::optional<DecimalNumber> parseDecimal(std::string_view text);

// A value checked against a command's domain: `error` is 0 when `value` holds, else the error to
// queue (-222 out of range, -224 off the grid).
struct Checked {
    int value = 0;
    int error = 0;
    std::string detail = {};  // what the error queue adds to the error's message
};

// The number counted in 1/stepsPerUnit units (1: integers, 2: half units), accepted only on that
// grid and within lo..hi (in the same units). Never rounds.
Checked onGridWithin(const DecimalNumber& number, int stepsPerUnit, int lo, int hi);

// True for the SCPI negative infinity as a query answers it, -9.9E37, in any spelling of that
// value (-99E36, -9.90e+37), so that a reply can be sent back as it came.
bool isNegativeInfinity(std::string_view text);

// A value-label text as a query answers it: "-Inf" becomes the SCPI negative infinity.
std::string labelReply(std::string label);

}  // namespace selvar::remote
