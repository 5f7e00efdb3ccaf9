// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <span>
#include <string_view>

#include "remote/scpi_lexer.h"
#include "remote/scpi_number.h"

namespace selvar::remote {

// What a numeric parameter may be, in 1/stepsPerUnit units: the grid, the bounds MINimum and
// MAXimum give, the value DEFault gives (the one the reset leaves) and the one unit suffix it
// takes, case-insensitive ("dB"; none when empty).
struct Domain {
    int stepsPerUnit = 1;
    int lo = 0;
    int hi = 0;
    int def = 0;
    std::string_view unit = {};
};

// A numeric parameter within its domain. A string is -104, another word -224, another suffix
// -131; each error carries a detail that names the value and what was wanted.
Checked numberParam(const Param& param, const Domain& domain);

// Which of MINimum, MAXimum and DEFault the word is, as its index; -1 for none.
int boundKeyword(std::string_view word);

// Index of the keyword the word parameter matches; -224 for another word, -104 for a number
// or a string (as `error`).
Checked keywordParam(const Param& param, std::span<const std::string_view> keywords);

// ON|OFF|1|0 as 1 or 0.
Checked booleanParam(const Param& param);

// Whether a unit suffix as written is `unit`, in any case ("DB", "db" for "dB").
bool sameUnit(std::string_view suffix, std::string_view unit);

}  // namespace selvar::remote
