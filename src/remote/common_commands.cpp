// SPDX-License-Identifier: GPL-3.0-or-later
#include "remote/command_table.h"
#include "remote/params.h"

// The IEEE 488.2 common commands and the SYSTem subtree: the parts every bench instrument
// answers alike, acting on the connection's own status and error queue.

namespace selvar::remote {
namespace {

constexpr std::string_view kMaker = "Orvane";
constexpr std::string_view kModel = "Selvar Control";
constexpr std::string_view kScpiVersion = "1999.0";

Outcome reply(std::string text) {
    return {error::kNone, std::move(text)};
}
Outcome number(int value) {
    return reply(std::to_string(value));
}

Outcome identify(const Call& call) {
    return reply(std::string(kMaker) + ',' + std::string(kModel) + ",0," +
                 call.instrument.version());
}

Outcome reset(const Call& call) {
    call.instrument.resetAll();
    return {};
}

Outcome clearStatus(const Call& call) {
    call.status.clear();
    return {};
}

// A register mask: an integer 0..255.
template <void (StatusModel::*setter)(std::uint8_t)>
Outcome setMask(const Call& call) {
    Checked mask = numberParam(*call.param, {.lo = 0, .hi = 255});
    if (mask.error == error::kNone) {
        (call.status.*setter)(static_cast<std::uint8_t>(mask.value));
    }
    return {.error = mask.error, .detail = std::move(mask.detail)};
}

Outcome eventEnable(const Call& call) {
    return number(call.status.eventEnable());
}
Outcome serviceEnable(const Call& call) {
    return number(call.status.serviceEnable());
}
Outcome eventStatus(const Call& call) {
    return number(call.status.takeEventStatus());
}
Outcome statusByte(const Call& call) {
    return number(call.status.statusByte());
}

// Every command has finished by the time the next one is read: operations complete at once.
Outcome operationComplete(const Call& call) {
    call.status.operationComplete();
    return {};
}

Outcome completeQuery(const Call&) {
    return reply("1");
}
Outcome selfTest(const Call&) {
    return reply("0");
}
Outcome wait(const Call&) {
    return {};
}

Outcome nextError(const Call& call) {
    const QueuedError next = call.status.popError();
    return reply(errorReply(next.code, next.detail));
}
// Every queued error, oldest first, and the queue empty afterwards; "No error" when none.
Outcome allErrors(const Call& call) {
    std::string text = errorReply(error::kNone);
    for (bool first = true; call.status.errorCount() > 0; first = false) {
        const QueuedError next = call.status.popError();
        text = (first ? "" : text + ',') + errorReply(next.code, next.detail);
    }
    return reply(std::move(text));
}

// What this instance has, comma-separated.
Outcome options(const Call& call) {
    std::string text;
    for (const std::string& option : call.instrument.options()) {
        text += (text.empty() ? "" : ",") + option;
    }
    return reply(std::move(text));
}

Outcome errorCount(const Call& call) {
    return number(static_cast<int>(call.status.errorCount()));
}
Outcome version(const Call&) {
    return reply(std::string(kScpiVersion));
}
Outcome exitProgram(const Call&) {
    return {error::kNone, std::nullopt, true};
}

Node common(std::string_view name, Handler set, Handler query, bool setTakesParam = false) {
    return {.name = name, .set = set, .query = query, .setTakesParam = setTakesParam};
}

}  // namespace

const std::vector<Node>& commonCommands() {
    static const std::vector<Node> commands = {
        common("IDN", nullptr, identify),
        common("OPT", nullptr, options),
        common("RST", reset, nullptr),
        common("CLS", clearStatus, nullptr),
        common("ESE", setMask<&StatusModel::setEventEnable>, eventEnable, true),
        common("ESR", nullptr, eventStatus),
        common("SRE", setMask<&StatusModel::setServiceEnable>, serviceEnable, true),
        common("STB", nullptr, statusByte),
        common("OPC", operationComplete, completeQuery),
        common("TST", nullptr, selfTest),
        common("WAI", wait, nullptr),
    };
    return commands;
}

std::vector<Node> systemCommands() {
    return {
        {.name = "ERRor",
         .children = {{.name = "NEXT", .query = nextError},
                      {.name = "ALL", .query = allErrors},
                      {.name = "COUNt", .query = errorCount}},
         .query = nextError},
        {.name = "VERSion", .query = version},
        {.name = "EXIT", .set = exitProgram},
    };
}

}  // namespace selvar::remote
