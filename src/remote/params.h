#pragma once

#include <span>
#include <string_view>

#include "remote/scpi_lexer.h"
#include "remote/scpi_number.h"

namespace selvar::remote {

// A numeric parameter in 1/stepsPerUnit units within lo..hi; MINimum and MAXimum give the
// bounds. A string is -104, another word -224.
Checked numberParam(const Param& param, int stepsPerUnit, int lo, int hi);

// Index of the keyword the word parameter matches; -224 for another word, -104 for a number
// or a string (as `error`).
Checked keywordParam(const Param& param, std::span<const std::string_view> keywords);

// ON|OFF|1|0 as 1 or 0.
Checked booleanParam(const Param& param);

}  // namespace selvar::remote
