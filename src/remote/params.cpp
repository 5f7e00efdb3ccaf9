// SPDX-License-Identifier: GPL-3.0-or-later
#include "remote/params.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "remote/scpi_errors.h"

namespace selvar::remote {
namespace {

// A value counted in 1/stepsPerUnit units, as the user writes it: "-96", "31.5", "-0.5".
std::string unitsText(int value, int stepsPerUnit) {
    const int whole = value / stepsPerUnit;
    const int rest = value % stepsPerUnit;
    const std::string sign = value < 0 && whole == 0 ? "-" : "";
    return sign + std::to_string(whole) + (rest == 0 ? "" : ".5");
}

std::string withUnit(std::string text, std::string_view unit) {
    return unit.empty() ? text : text + ' ' + std::string(unit);
}

std::string rangeText(const Domain& domain) {
    return withUnit(unitsText(domain.lo, domain.stepsPerUnit) + ".." +
                        unitsText(domain.hi, domain.stepsPerUnit),
                    domain.unit);
}

std::string gridText(const Domain& domain) {
    return withUnit(domain.stepsPerUnit == 2 ? "0.5" : "1", domain.unit);
}

Checked fromWord(const Param& param, const Domain& domain) {
    switch (boundKeyword(param.text)) {
        case 0:
            return {domain.lo, error::kNone};
        case 1:
            return {domain.hi, error::kNone};
        case 2:
            return {domain.def, error::kNone};
        default:
            return {0, error::kIllegalValue,
                    param.text + " is not a number, MINimum, MAXimum or DEFault"};
    }
}

}  // namespace

bool sameUnit(std::string_view suffix, std::string_view unit) {
    return suffix.size() == unit.size() &&
           std::equal(suffix.begin(), suffix.end(), unit.begin(), [](char a, char b) {
               return std::toupper(static_cast<unsigned char>(a)) ==
                      std::toupper(static_cast<unsigned char>(b));
           });
}

int boundKeyword(std::string_view word) {
    static constexpr std::string_view kBounds[] = {"MINimum", "MAXimum", "DEFault"};
    for (int i = 0; i < 3; ++i) {
        if (matchesKeyword(word, kBounds[i])) {
            return i;
        }
    }
    return -1;
}

Checked numberParam(const Param& param, const Domain& domain) {
    switch (param.kind) {
        case ParamKind::String:
            return {0, error::kDataType, "a string where a number belongs"};
        case ParamKind::Word:
            return fromWord(param, domain);
        case ParamKind::Number:
            break;
    }
    if (!param.suffix.empty() && (domain.unit.empty() || !sameUnit(param.suffix, domain.unit))) {
        return {0, error::kInvalidSuffix,
                param.suffix + (domain.unit.empty()
                                    ? std::string(" where no unit belongs")
                                    : " where the unit is " + std::string(domain.unit))};
    }
    Checked checked =
        onGridWithin(*parseDecimal(param.text), domain.stepsPerUnit, domain.lo, domain.hi);
    const std::string value = withUnit(param.text, domain.unit);
    if (checked.error == error::kOutOfRange) {
        checked.detail = value + " is outside " + rangeText(domain);
    } else if (checked.error == error::kIllegalValue) {
        checked.detail = value + " is not on the " + gridText(domain) + " grid";
    }
    return checked;
}

Checked keywordParam(const Param& param, std::span<const std::string_view> keywords) {
    std::string choices;
    for (const std::string_view keyword : keywords) {
        if (!choices.empty()) {  // appended piece by piece: GCC 12 at -O3 warns on the temporary
            choices += '|';
        }
        choices += keyword;
    }
    if (param.kind != ParamKind::Word) {
        return {0, error::kDataType, "expected " + choices};
    }
    int index = 0;
    for (const std::string_view keyword : keywords) {
        if (matchesKeyword(param.text, keyword)) {
            return {index, error::kNone};
        }
        ++index;
    }
    return {0, error::kIllegalValue, param.text + " is not " + choices};
}

Checked booleanParam(const Param& param) {
    if (param.kind == ParamKind::Number) {
        const Checked value = numberParam(param, {.lo = 0, .hi = 1});
        return value.error == error::kNone || value.error == error::kInvalidSuffix
                   ? value
                   : Checked{0, error::kIllegalValue, param.text + " is not ON|OFF|1|0"};
    }
    static constexpr std::string_view kStates[] = {"OFF", "ON"};
    return keywordParam(param, kStates);
}

}  // namespace selvar::remote
