// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace selvar::remote {

enum class ParamKind { Number, Word, String };

struct Param {
    ParamKind kind = ParamKind::Word;
    std::string text;         // a number or word as written, a string's contents unquoted
    std::string suffix = {};  // a number's unit suffix as written ("dB" of "-10 dB"), else empty
};

// One program message unit: a header and its parameters.
struct Unit {
    bool common = false;  // *IDN? and friends
    bool rooted = false;  // a leading ':' restarts at the root
    bool query = false;
    std::vector<std::string_view> mnemonics;  // "DUT2", "GAIN", "LEFT" (suffixes included)
    std::vector<Param> params;
};

struct LexedUnit {
    Unit unit;
    bool empty = false;  // nothing between two separators: no command
    int error = 0;       // a syntax error ends the line
};

// Reads the unit that starts at `pos` in `line` and moves `pos` past its ';'. The line holds no
// terminator. Units are read one at a time, so that each runs before the next is looked at.
LexedUnit readUnit(std::string_view line, std::size_t& pos);

// Whether `text` is the keyword's short form (its upper-case head) or its whole long form, in
// any case: "RIGH", "right" and "RIGHT" match "RIGHt"; "RIG" and "RIGHTS" do not.
bool matchesKeyword(std::string_view text, std::string_view keyword);
std::string_view shortForm(std::string_view keyword);

// Splits a header mnemonic into its name and numeric suffix ("DUT2" -> "DUT", "2").
std::pair<std::string_view, std::string_view> splitSuffix(std::string_view mnemonic);

}  // namespace selvar::remote
