// SPDX-License-Identifier: GPL-3.0-or-later
// DUT<n>:MEASure and DUT<n>:SWEep: the closed-loop measurements of one board. Every one runs
// as a job; a query's reply comes when its job ends.

#include <array>
#include <optional>

#include "remote/command_table.h"
#include "remote/measurement_jobs.h"
#include "remote/params.h"

namespace selvar::remote {
namespace {

using measure::Channel;

constexpr std::array<std::string_view, 2> kChannels = {"LEFT", "RIGHt"};
constexpr std::array<std::string_view, 2> kMuteBy = {"PIN", "CODE"};
constexpr const char* kNotANumber = "9.91E37";
constexpr const char* kNegativeInfinity = "-9.9E37";

using Kind = MeasurementRequest::Kind;

// The request a query's parameters make: the channel a first parameter names and the code a
// second one may name; or the parameter's error.
struct Parsed {
    MeasurementRequest request;
    Outcome error;
};

Parsed parse(const Call& call, Kind kind) {
    Parsed parsed{.request = {.kind = kind, .dut = call.dut}, .error = {}};
    if (call.params.empty()) {
        return parsed;
    }
    const bool mute = kind == Kind::Mute;
    const Checked first = keywordParam(call.params[0], mute ? kMuteBy : kChannels);
    parsed.error = {.error = first.error, .detail = first.detail};
    parsed.request.byPin = first.value == 0;
    parsed.request.channel = first.value == 0 ? Channel::Left : Channel::Right;
    if (first.error == error::kNone && call.params.size() > 1) {
        const Checked code = numberParam(call.params[1], {.lo = 0, .hi = 255, .def = 192});
        parsed.error = {.error = code.error, .detail = code.detail};
        parsed.request.code = code.value;
    }
    return parsed;
}

std::string first(const std::vector<double>& values) {
    return values.empty() ? kNotANumber : decimal(values.front());
}

std::string pair(const std::vector<double>& values) {
    return values.size() < 2 ? kNotANumber : decimal(values[0]) + ',' + decimal(values[1]);
}

std::string withFlag(const std::vector<double>& values) {
    return values.size() < 2 ? kNotANumber
                             : decimal(values[0]) + ',' + (values[1] != 0.0 ? "1" : "0");
}

Handler measurementHandler(Kind kind, ReplyFormat format) {
    return [kind, format = std::move(format)](const Call& call) {
        const Parsed parsed = parse(call, kind);
        return parsed.error.error != error::kNone ? parsed.error
                                                  : runMeasurement(call, parsed.request, format);
    };
}

// One entry of a fetched sweep: code 0's gain is minus infinity, as the gain queries answer
// it; a code not measured, or whose output lay below the floor, is SCPI's not-a-number.
std::string fetchedGain(const std::optional<measure::CodeResult>& result, Channel channel) {
    if (!result) {
        return kNotANumber;
    }
    if (result->code == 0) {
        return kNegativeInfinity;
    }
    const measure::ChannelMeasurement& m =
        result->channels[static_cast<std::size_t>(measure::index(channel))];
    return m.gainDb && !m.floorLimited ? decimal(*m.gainDb) : kNotANumber;
}

Outcome fetchSweep(const Call& call) {
    Outcome outcome;
    MeasurementHost* host = hostOf(call, outcome);
    const Parsed parsed = parse(call, Kind::Gain);
    if (host == nullptr || parsed.error.error != error::kNone) {
        return host ? parsed.error : outcome;
    }
    const std::optional<measure::SweepResult>& sweep = host->session().sweep();
    if (!sweep || sweep->dut != call.dut) {
        return {.error = error::kExecution,
                .detail = "DUT" + std::to_string(call.dut) + " has not been swept"};
    }
    std::string list;
    for (const std::optional<measure::CodeResult>& code : sweep->codes) {
        if (!list.empty()) {
            list += ',';
        }
        list += fetchedGain(code, parsed.request.channel);
    }
    return {.reply = std::move(list)};
}

Node measurement(std::string_view name, Kind kind, ReplyFormat format, int queryMin, int queryMax) {
    return {.name = name,
            .query = measurementHandler(kind, std::move(format)),
            .queryMin = queryMin,
            .queryMax = queryMax,
            .job = true};
}

}  // namespace

std::vector<Node> measurementCommands() {
    return {
        {.name = "MEASure",
         .children = {measurement("GAIN", Kind::Gain, first, 1, 2),
                      measurement("MUTE", Kind::Mute, withFlag, 1, 1),
                      measurement("THD", Kind::Thd, first, 1, 2),
                      measurement("THDN", Kind::Thdn, first, 1, 2),
                      measurement("XTALk", Kind::Crosstalk, first, 1, 1),
                      {.name = "ZCD",
                       .children = {measurement("CLICk", Kind::ZcdClick, pair, 0, 0),
                                    measurement("TIMeout", Kind::ZcdTimeout, first, 0, 0)}}}},
        {.name = "SWEep",
         .children =
             {{.name = "GAIN",
               .children = {{.name = "FETCh", .query = fetchSweep, .queryMin = 1, .queryMax = 1}},
               .set = measurementHandler(Kind::Sweep, {}),
               .job = true}}},
    };
}

}  // namespace selvar::remote
