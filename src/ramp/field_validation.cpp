// SPDX-License-Identifier: GPL-3.0-or-later
#include "ramp/field_validation.h"

#include <charconv>
#include <cmath>
#include <iterator>
#include <system_error>

#include "gain/mod_pub_share.h"

namespace selvar::ramp {
namespace {

constexpr float kStepValues[] = {0.5f, 1.0f, 1.5f, 2.0f, 2.5f, 3.0f};
constexpr float kDelayValues[] = {0.0f, 1.0f, 2.0f, 5.0f, 10.0f, 20.0f, 50.0f};
static_assert(std::size(kStepValues) == std::size(kStepList));
static_assert(std::size(kDelayValues) == std::size(kDelayList));

constexpr float kLowestStop = -96.0f;
constexpr float kHighestStop = 31.5f;

constexpr std::string_view kBlanks = " \t";

// The first list value equal to the text's number; index 0 (the list's fallback) when none is
// or the text is not a number.
template <std::size_t N>
int listIndexFor(std::string_view text, const float (&values)[N]) {
    const std::optional<float> number = readNumber(text);
    if (!number) {
        return 0;
    }
    for (std::size_t i = 0; i < N; ++i) {
        if (*number == values[i]) {
            return static_cast<int>(i);
        }
    }
    return 0;
}

// Operators type the decimal separator of their habit, and text pasted from a document may
// carry the typographic minus: a comma reads as the point, U+2212 as '-'. The fields still
// show the normal forms with a point.
std::string asciiNumberText(std::string_view text) {
    constexpr std::string_view kMinusSign = "\u2212";
    std::string ascii;
    ascii.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, kMinusSign.size(), kMinusSign) == 0) {
            ascii += '-';
            i += kMinusSign.size() - 1;
        } else {
            ascii += text[i] == ',' ? '.' : text[i];
        }
    }
    return ascii;
}

}  // namespace

std::optional<float> readNumber(std::string_view given) {
    const std::string ascii = asciiNumberText(given);
    std::string_view text = ascii;
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return std::nullopt;
    }
    text = text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
    // from_chars takes a '-' but no '+'; one '+' is allowed in front of a digit or point.
    if (text.front() == '+') {
        text.remove_prefix(1);
        if (text.empty() || text.front() == '-') {
            return std::nullopt;
        }
    }
    float value = 0.0f;
    const char* const end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, std::chars_format::general);
    // An out-of-range value (overflow, or a non-zero number too small for a float) is refused.
    if (error != std::errc{} || stop != end || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

int stepIndexFor(std::string_view text) {
    return listIndexFor(text, kStepValues);
}

int delayIndexFor(std::string_view text) {
    return listIndexFor(text, kDelayValues);
}

std::string validateStepText(std::string_view text) {
    return kStepList[stepIndexFor(text)];
}

std::string validateDelayText(std::string_view text) {
    return kDelayList[delayIndexFor(text)];
}

std::string validateStopText(std::string_view text) {
    const std::optional<float> number = readNumber(text);
    const std::optional<float> steps = number ? modPubShare::halfDbSteps(*number) : std::nullopt;
    if (!steps) {
        return "0.0";
    }
    const float snapped = *steps / 2.0f;
    if (snapped < kLowestStop || snapped > kHighestStop) {
        return "0.0";
    }
    // A stop snapping to zero from below (-0.2) is a negative zero; formatDb shows it as "0.0".
    return modPubShare::formatDb(snapped);
}

}  // namespace selvar::ramp
