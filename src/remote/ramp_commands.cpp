// SPDX-License-Identifier: GPL-3.0-or-later
#include <string>

#include "ramp/field_validation.h"
#include "remote/command_table.h"
#include "remote/params.h"

// The ramp fields over SCPI. Each command types its text into the field as the operator would,
// so the field's own validation decides what the field holds; a text it replaces is still
// replaced, and the queue says what was used instead.

namespace selvar::remote {
namespace {

using control::RampField;

// A field's unit and the texts MINimum, MAXimum and DEFault (the reset's value) stand for.
struct FieldSpec {
    std::string_view name;  // as a detail names the field
    std::string_view unit;
    std::string_view bounds[3];  // in the order boundKeyword counts them
};

FieldSpec specOf(RampField field) {
    switch (field) {
        case RampField::Top:
            return {
                "top", "dB", {ramp::kLowestStopText, ramp::kHighestStopText, ramp::kTopDefault}};
        case RampField::Bottom:
            return {"bottom",
                    "dB",
                    {ramp::kLowestStopText, ramp::kHighestStopText, ramp::kBottomDefault}};
        case RampField::Step:
            return {"step",
                    "dB",
                    {std::begin(ramp::kStepList)[0], std::end(ramp::kStepList)[-1],
                     ramp::kStepDefault}};
        case RampField::Delay:
            break;
    }
    return {"delay",
            "ms",
            {std::begin(ramp::kDelayList)[0], std::end(ramp::kDelayList)[-1], ramp::kDelayDefault}};
}

// The text the parameter types into the field; a suffix other than the field's unit is -131.
Checked fieldText(const Param& param, const FieldSpec& spec, std::string& text) {
    text = param.text;
    if (param.kind == ParamKind::Word && boundKeyword(param.text) >= 0) {
        text = spec.bounds[boundKeyword(param.text)];
    }
    if (!param.suffix.empty() && !sameUnit(param.suffix, spec.unit)) {
        return {0, error::kInvalidSuffix,
                param.suffix + " where the unit is " + std::string(spec.unit)};
    }
    return {};
}

// Whether the validation put another value in place of the text: "-10" kept as "-10.0" is
// the same number, "0.7" shown as "0.5" is not.
bool replaced(const std::string& typed, const std::string& shown) {
    const std::optional<float> before = ramp::readNumber(typed);
    return !before || ramp::readNumber(shown) != before;
}

}  // namespace

Node rampField(std::string_view name, RampField field) {
    return settable(
        name,
        [field](const Call& call) {
            const FieldSpec spec = specOf(field);
            std::string text;
            Checked checked = fieldText(*call.param, spec, text);
            if (checked.error != error::kNone) {
                return Outcome{.error = checked.error, .detail = std::move(checked.detail)};
            }
            call.instrument.enterRampField(call.dut, field, text);
            const std::string shown = call.instrument.rampField(call.dut, field);
            if (!replaced(text, shown)) {
                return Outcome{};
            }
            return Outcome{.error = error::kOutOfRange,
                           .detail = std::string(spec.name) + ' ' + text + " replaced by " + shown +
                                     ' ' + std::string(spec.unit)};
        },
        [field](const Call& call) {
            return Outcome{.reply = call.instrument.rampField(call.dut, field)};
        });
}

}  // namespace selvar::remote
