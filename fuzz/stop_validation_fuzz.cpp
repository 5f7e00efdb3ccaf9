// SPDX-License-Identifier: GPL-3.0-or-later
// Stop validation: a multiple of 0.5 within -96.0..31.5 written with exactly one decimal, the
// nearest grid point (ties to even) of any number that snaps into range, "0.0" otherwise, and
// idempotent.

#include <cmath>

#include "fuzz_checks.h"

namespace {

using selvar::fuzz::require;

bool hasOneDecimalPattern(const std::string& text) {
    std::size_t i = text.starts_with('-') ? 1 : 0;
    const std::size_t digits = text.find_first_not_of("0123456789", i);
    if (digits == std::string::npos || digits == i || text[digits] != '.') {
        return false;
    }
    const bool leadingZero = text[i] == '0' && digits - i > 1;
    const char decimal = digits + 2 == text.size() ? text[digits + 1] : 'x';
    return !leadingZero && decimal >= '0' && decimal <= '9' && text != "-0.0";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using selvar::ramp::readNumber;
    using selvar::ramp::validateStopText;

    const std::string_view input = selvar::fuzz::textOf(data, size);
    const std::string normal = validateStopText(input);
    require(hasOneDecimalPattern(normal), "one integer part, one decimal, no -0.0", input);
    require(validateStopText(normal) == normal, "validation is idempotent", input);

    const double stop = *readNumber(normal);
    require(stop * 2 == std::floor(stop * 2), "on the 0.5 grid", input);
    require(stop >= -96.0 && stop <= 31.5, "within -96.0..31.5", input);

    const std::optional<float> number = readNumber(input);
    if (number && *number >= -96.25f && *number < 31.75f) {
        const double distance = std::fabs(stop - *number);
        require(distance <= 0.25, "snapped to the nearest grid point", input);
        require(distance < 0.25 || std::fmod(stop * 2, 2.0) == 0.0, "a tie goes to even", input);
    } else {
        require(normal == "0.0", "out of range or unreadable gives 0.0", input);
    }
    return 0;
}
