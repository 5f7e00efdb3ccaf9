// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace selvar::ramp {

// Reads operator text as a finite single-precision number, C locale; the decimal separator is
// a point or a comma, the minus sign '-' or U+2212, whatever the locale.
// Surrounding blanks are allowed, a leading '+' too; anything else around the number, an
// empty text, an overflow and inf/nan give nullopt.
std::optional<float> readNumber(std::string_view text);

// The normal form each ramp field's validation gives its text (never an error).
std::string validateStepText(std::string_view text);   // one of "0.5" .. "3.0"
std::string validateDelayText(std::string_view text);  // one of "0" .. "50"
std::string validateStopText(std::string_view text);   // -96.0..31.5 on the 0.5 grid, else "0.0"

// List index the step / delay validation selects (the combo boxes' lists, in order).
int stepIndexFor(std::string_view text);
int delayIndexFor(std::string_view text);

// The texts the global reset loads into a panel's ramp fields, before their validation.
inline constexpr const char* kTopDefault = "0";
inline constexpr const char* kBottomDefault = "-30";
inline constexpr const char* kStepDefault = "0.5";
inline constexpr const char* kDelayDefault = "5";
// The stops' bounds, as the validation shows them.
inline constexpr const char* kLowestStopText = "-96.0";
inline constexpr const char* kHighestStopText = "31.5";

inline constexpr const char* kStepList[] = {"0.5", "1.0", "1.5", "2.0", "2.5", "3.0"};
inline constexpr const char* kDelayList[] = {"0", "1", "2", "5", "10", "20", "50"};

}  // namespace selvar::ramp
