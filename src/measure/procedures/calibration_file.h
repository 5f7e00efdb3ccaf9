// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "measure/procedures/results.h"

namespace selvar::measure {

// A calibration as a small text file an engineer can read and compare: a format line, then one
// "key value..." line per quantity, Left before Right.
inline constexpr int kCalibrationFormat = 1;

std::string formatCalibration(const Calibration& calibration);

// Nothing, with error saying why, for text that is not a calibration, lacks a quantity, holds
// a value that is not a finite number, or comes from a newer format.
std::optional<Calibration> parseCalibration(std::string_view text, std::string& error);

}  // namespace selvar::measure
