#include "remote/params.h"

#include "remote/scpi_errors.h"

namespace selvar::remote {

Checked numberParam(const Param& param, int stepsPerUnit, int lo, int hi) {
    switch (param.kind) {
        case ParamKind::String:
            return {0, error::kDataType};
        case ParamKind::Word:
            if (matchesKeyword(param.text, "MINimum")) {
                return {lo, error::kNone};
            }
            if (matchesKeyword(param.text, "MAXimum")) {
                return {hi, error::kNone};
            }
            return {0, error::kIllegalValue};
        case ParamKind::Number:
            break;
    }
    return onGridWithin(*parseDecimal(param.text), stepsPerUnit, lo, hi);
}

Checked keywordParam(const Param& param, std::span<const std::string_view> keywords) {
    if (param.kind != ParamKind::Word) {
        return {0, error::kDataType};
    }
    int index = 0;
    for (const std::string_view keyword : keywords) {
        if (matchesKeyword(param.text, keyword)) {
            return {index, error::kNone};
        }
        ++index;
    }
    return {0, error::kIllegalValue};
}

Checked booleanParam(const Param& param) {
    if (param.kind == ParamKind::Number) {
        const Checked value = numberParam(param, 1, 0, 1);
        return value.error == error::kNone ? value : Checked{0, error::kIllegalValue};
    }
    static constexpr std::string_view kStates[] = {"OFF", "ON"};
    return keywordParam(param, kStates);
}

}  // namespace selvar::remote
