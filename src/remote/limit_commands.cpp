// SPDX-License-Identifier: GPL-3.0-or-later
// LIMit: the operator's gain limit, the highest gain any channel of any chip may be sent.

#include "gain/mod_pub_share.h"
#include "remote/command_table.h"
#include "remote/params.h"

namespace selvar::remote {
namespace {

using modPubShare::codeOfHalfDb;
using modPubShare::halfDbOfCode;

// A limit is a gain the chips have: -95.5..31.5 dB on the 0.5 dB grid, as the gains take them.
// OFF and DEFault (the reset's state) lift it.
Outcome setLimit(const Call& call) {
    const Param& param = *call.param;
    std::optional<int> code;
    const bool off = param.kind == ParamKind::Word &&
                     (matchesKeyword(param.text, "OFF") || boundKeyword(param.text) == 2);
    if (!off) {
        const Checked halfDb = numberParam(param, {.stepsPerUnit = 2,
                                                   .lo = halfDbOfCode(1),
                                                   .hi = halfDbOfCode(modPubShare::kMaxCode),
                                                   .unit = "dB"});
        if (halfDb.error != error::kNone) {
            return {.error = halfDb.error, .detail = halfDb.detail};
        }
        code = codeOfHalfDb(halfDb.value);
    }
    std::string conflict = call.instrument.setGainLimit(code);
    if (!conflict.empty()) {
        return {.error = error::kSettingsConflict, .detail = std::move(conflict)};
    }
    return {};
}

Outcome queryLimit(const Call& call) {
    const std::optional<int> code = call.instrument.gainLimit();
    return {.reply = code ? modPubShare::channelLabel(*code) : std::string("OFF")};
}

}  // namespace

std::vector<Node> limitCommands() {
    return {settable("GAIN", setLimit, queryLimit)};
}

}  // namespace selvar::remote
