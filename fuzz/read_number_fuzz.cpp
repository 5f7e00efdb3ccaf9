// SPDX-License-Identifier: GPL-3.0-or-later
// readNumber against the C library's strtof in the "C" locale (given the text with its decimal
// commas as points and its minus signs U+2212 as '-'), plus invariance to blanks and a round
// trip through the shortest text of the value read.

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "fuzz_checks.h"

namespace {

using selvar::fuzz::require;
using selvar::fuzz::sameReading;
using selvar::ramp::readNumber;

struct StrtofReading {
    bool wholeText = false;  // consumed everything but trailing blanks
    bool rangeError = false;
    float value = 0.0f;
};

StrtofReading strtofReading(const std::string& text) {
    StrtofReading reading;
    char* end = nullptr;
    errno = 0;
    reading.value = std::strtof(text.c_str(), &end);
    reading.rangeError = errno == ERANGE;
    const std::size_t used = static_cast<std::size_t>(end - text.c_str());
    reading.wholeText = used > 0 && text.find_first_not_of(" \t", used) == std::string::npos;
    return reading;
}

// What strtof reads in the "C" locale for a text the operator may write with a decimal comma
// and the typographic minus.
std::string inCLocaleSpelling(std::string_view input) {
    std::string text;
    for (std::size_t i = 0; i < input.size(); ++i) {
        if (input.substr(i, 3) == "\xe2\x88\x92") {
            text += '-';
            i += 2;
            continue;
        }
        text += input[i] == ',' ? '.' : input[i];
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = selvar::fuzz::textOf(data, size);
    const std::string text = inCLocaleSpelling(input);
    const std::optional<float> number = readNumber(input);

    require(!number || std::isfinite(*number), "a reading is finite", input);
    require(sameReading(readNumber(" \t" + std::string(input) + "\t "), number),
            "blanks around do not matter", input);

    const StrtofReading reference = strtofReading(text);
    if (number) {
        require(reference.wholeText && reference.value == *number &&
                    std::signbit(reference.value) == std::signbit(*number),
                "a reading agrees with strtof", input);
        char shortest[64];
        const auto written = std::to_chars(shortest, shortest + sizeof shortest, *number);
        require(sameReading(readNumber(std::string_view(shortest, written.ptr - shortest)), number),
                "the shortest text of a reading reads back the same", input);
    } else {
        // Refusals strtof would accept: hexadecimal, leading white space other than blanks,
        // values too small for a float (strtof flags those as range errors), and nothing else.
        const bool strtofOnly = text.find_first_of("xX") != std::string::npos ||
                                text.find_first_of("\n\v\f\r") != std::string::npos;
        require(!reference.wholeText || reference.rangeError || !std::isfinite(reference.value) ||
                    strtofOnly,
                "a refusal is junk, out of range or not finite", input);
    }
    return 0;
}
