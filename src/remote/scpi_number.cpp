// SPDX-License-Identifier: GPL-3.0-or-later
#include "remote/scpi_number.h"

#include <algorithm>
#include <charconv>
#include <string>

#include "remote/scpi_errors.h"

namespace selvar::remote {
namespace {

constexpr int kMaxWholeDigits = 6;        // beyond every command's range
constexpr std::size_t kMaxFraction = 24;  // enough to tell any grid value from its neighbours
constexpr long long kExponentCap = 100000;
constexpr double kNegativeInfinity = -9.9E37;
constexpr const char* kNegativeInfinityReply = "-9.9E37";

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view takeDigits(std::string_view text, std::size_t& pos) {
    const std::size_t start = pos;
    while (pos < text.size() && isDigit(text[pos])) {
        ++pos;
    }
    return text.substr(start, pos - start);
}

// Reads the exponent part after 'E'; false when it is malformed. Capped so that absurd
// exponents cannot overflow: they still land far outside every range.
bool readExponent(std::string_view text, std::size_t& pos, long long& exponent) {
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos++] == '-';
    }
    const std::string_view digits = takeDigits(text, pos);
    if (digits.empty()) {
        return false;
    }
    for (const char c : digits) {
        exponent = std::min(exponent * 10 + (c - '0'), kExponentCap);
    }
    exponent = negative ? -exponent : exponent;
    return true;
}

// Splits the significant digits at the decimal point that `exponent` places.
DecimalNumber place(bool negative, std::string digits, long long exponent) {
    DecimalNumber number;
    number.negative = negative;
    const std::size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) {
        return number;  // zero, whatever its sign
    }
    digits.erase(0, first);
    const long long wholeDigits = static_cast<long long>(digits.size()) + exponent;
    if (wholeDigits > kMaxWholeDigits) {
        number.huge = true;
        return number;
    }
    if (wholeDigits > 0) {
        for (long long i = 0; i < wholeDigits; ++i) {
            const auto index = static_cast<std::size_t>(i);
            number.whole = number.whole * 10 + (index < digits.size() ? digits[index] - '0' : 0);
        }
        digits.erase(0, std::min(digits.size(), static_cast<std::size_t>(wholeDigits)));
    } else if (-wholeDigits >= static_cast<long long>(kMaxFraction)) {
        number.fraction = std::string(kMaxFraction - 1, '0') + '1';  // tiny, but not zero
        return number;
    } else {
        digits.insert(0, static_cast<std::size_t>(-wholeDigits), '0');
    }
    const std::size_t last = digits.find_last_not_of('0');
    digits.erase(last == std::string::npos ? 0 : last + 1);
    digits.resize(std::min(digits.size(), kMaxFraction));  // still off every grid
    number.fraction = std::move(digits);
    return number;
}

}  // namespace

std::optional<DecimalNumber> parseDecimal(std::string_view text) {
    std::size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos++] == '-';
    }
    const std::string_view whole = takeDigits(text, pos);
    std::string_view fraction;
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        fraction = takeDigits(text, pos);
    }
    if (whole.empty() && fraction.empty()) {
        return std::nullopt;
    }
    long long exponent = 0;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        ++pos;
        if (!readExponent(text, pos, exponent)) {
            return std::nullopt;
        }
    }
    if (pos != text.size()) {
        return std::nullopt;
    }
    exponent -= static_cast<long long>(fraction.size());
    return place(negative, std::string(whole) + std::string(fraction), exponent);
}

Checked onGridWithin(const DecimalNumber& number, int stepsPerUnit, int lo, int hi) {
    if (number.huge) {
        return {0, error::kOutOfRange};
    }
    const long long sign = number.negative ? -1 : 1;
    const long long whole = sign * number.whole * stepsPerUnit;
    if (number.fraction.empty() || (stepsPerUnit == 2 && number.fraction == "5")) {
        const long long value = number.fraction.empty() ? whole : whole + sign;
        if (value < lo || value > hi) {
            return {0, error::kOutOfRange};
        }
        return {static_cast<int>(value), error::kNone};
    }
    // Off the grid: strictly between two grid points, so out of range when the nearer one
    // towards zero already lies at or beyond the bound.
    const bool beyond = number.negative ? whole <= lo : whole >= hi;
    return {0, beyond ? error::kOutOfRange : error::kIllegalValue};
}

bool isNegativeInfinity(std::string_view text) {
    // from_chars, unlike strtod, reads a decimal point whatever the locale.
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value == kNegativeInfinity;
}

std::string labelReply(std::string label) {
    return label == "-Inf" ? kNegativeInfinityReply : label;
}

}  // namespace selvar::remote
