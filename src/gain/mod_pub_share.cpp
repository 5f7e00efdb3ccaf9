// SPDX-License-Identifier: GPL-3.0-or-later
#include "gain/mod_pub_share.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "gain/checked_int16.h"

namespace selvar::modPubShare {
namespace {

// Ties to even, written out rather than left to the floating-point environment's rounding
// mode, which is process-wide state that a library we load could change.
float roundHalfEven(float value) {
    const float below = std::floor(value);
    const float fraction = value - below;  // exact for every float
    if (fraction > 0.5f) {
        return below + 1.0f;
    }
    if (fraction < 0.5f) {
        return below;
    }
    return std::fmod(below, 2.0f) == 0.0f ? below : below + 1.0f;
}

}  // namespace

float codeToDb(std::int16_t code) {
    return static_cast<float>(gain::sub16(code, kUnityCode) / 2.0);
}

std::optional<float> halfDbSteps(float db) {
    const float doubled = db * 2.0f;
    if (!std::isfinite(doubled)) {
        return std::nullopt;
    }
    return roundHalfEven(doubled);
}

std::int16_t dbToCode(float db) {
    const std::optional<float> steps = halfDbSteps(db);
    // The bound keeps the float-to-integer conversion defined; checkedInt16 does the exact test.
    if (!steps || std::fabs(*steps) > 1.0e6f) {
        throw gain::Int16Overflow("dB value out of the gain-code range");
    }
    return gain::add16(static_cast<long long>(*steps), kUnityCode);
}

std::string formatDb(double db) {
    // to_chars ignores the locale: the pattern always uses a decimal point. The buffer holds
    // the longest double in fixed notation (309 integer digits).
    char buffer[330];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, db, std::chars_format::fixed, 1);
    if (error != std::errc{}) {
        throw std::invalid_argument("dB value cannot be shown");
    }
    std::string text(buffer, end);
    if (text == "-0.0") {
        text.erase(0, 1);
    }
    return text;
}

std::string channelLabel(int code) {
    if (code == 0) {
        return "-Inf";
    }
    return formatDb(codeToDb(gain::checkedInt16(code)));
}

std::string signedChannelDb(int code) {
    // Built piece by piece: GCC 12 at -O3 sees a false overlap in `"+" + std::string`.
    std::string text = channelLabel(code);
    if (code > kUnityCode) {
        text.insert(0, 1, '+');
    }
    return text;
}

std::string gangLabel(int gang) {
    if (gang == 0) {
        return "-Inf";
    }
    return formatDb(codeToDb(gain::checkedInt16(gang / 2)));
}

std::string panLabel(int pan) {
    return formatDb(pan / 2.0);
}

}  // namespace selvar::modPubShare
