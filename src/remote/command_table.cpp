// SPDX-License-Identifier: GPL-3.0-or-later
#include "remote/command_table.h"

#include <array>
#include <cstddef>
#include <stdexcept>

#include "gain/mod_pub_share.h"
#include "remote/params.h"

namespace selvar::remote {
namespace {

using control::PinLine;
using control::RampDirection;
using control::RampField;
using control::RampTarget;
using control::Slider;
using modPubShare::codeOfHalfDb;
using modPubShare::halfDbOfCode;
using modPubShare::kMaxCode;

constexpr int kPanLimit = 255;
constexpr std::string_view kDb = "dB";

Outcome fail(int code, std::string detail = {}) {
    return {.error = code, .detail = std::move(detail)};
}
Outcome reply(std::string text) {
    return {error::kNone, std::move(text)};
}

// The slider value a dB parameter asks for: Left, Right and Gang take -96..31.5 on the 0.5 grid
// (Gang on its sum scale, twice the code); -96, NINF, -INF and -9.9E37 (what the query answers
// for it) are code 0. Pan is R - L.
Checked sliderValueForDb(const Param& param, Slider slider) {
    int scale = 1;
    switch (slider) {
        case Slider::Pan:
            return numberParam(
                param,
                {.stepsPerUnit = 2, .lo = -kPanLimit, .hi = kPanLimit, .def = 0, .unit = kDb});
        case Slider::Gang:
            scale = 2;
            break;
        case Slider::Left:
        case Slider::Right:
            break;
    }
    const bool negativeInfinity =
        (param.kind == ParamKind::Word &&
         (matchesKeyword(param.text, "NINF") || matchesKeyword(param.text, "-INF"))) ||
        (param.kind == ParamKind::Number && isNegativeInfinity(param.text) &&
         (param.suffix.empty() || sameUnit(param.suffix, kDb)));
    if (negativeInfinity) {
        return {0, error::kNone};
    }
    // DEFault is the reset's maximum attenuation, code 0.
    Checked halfDb = numberParam(param, {.stepsPerUnit = 2,
                                         .lo = halfDbOfCode(0),
                                         .hi = halfDbOfCode(kMaxCode),
                                         .def = halfDbOfCode(0),
                                         .unit = kDb});
    halfDb.value = codeOfHalfDb(halfDb.value) * scale;
    return halfDb;
}

// The slider's value label, as a query answers it.
std::string valueLabel(Slider slider, int value) {
    switch (slider) {
        case Slider::Left:
        case Slider::Right:
            return labelReply(modPubShare::channelLabel(value));
        case Slider::Gang:
            return labelReply(modPubShare::gangLabel(value));
        case Slider::Pan:
            return modPubShare::panLabel(value);
    }
    throw std::invalid_argument("no such slider");
}

// Runs the gesture with the parameter's value once it checked out; else queues its error.
template <typename Gesture>
Outcome whenValid(Checked value, Gesture gesture) {
    if (value.error == error::kNone) {
        gesture(value.value);
    }
    return fail(value.error, std::move(value.detail));
}

// A gain sent to DUT2 while the last read-back found a chain of one chip reaches no chip: the
// command runs as the operator's gesture would, and the queue says why nothing may follow.
Outcome checkDut2Present(const Call& call, Outcome outcome) {
    if (outcome.error == error::kNone && call.dut == 2 &&
        call.instrument.chainLength() == control::Instrument::kBitsPerChip) {
        return {.error = error::kHardwareMissing, .detail = "chain holds 1 chip"};
    }
    return outcome;
}

Outcome moveTo(const Call& call, Slider slider, Checked value) {
    return checkDut2Present(
        call, whenValid(value, [&](int to) { call.instrument.moveSlider(call.dut, slider, to); }));
}

Handler setGain(Slider slider) {
    return [slider](const Call& call) {
        return moveTo(call, slider, sliderValueForDb(*call.param, slider));
    };
}

Handler queryGain(Slider slider) {
    return [slider](const Call& call) {
        return reply(valueLabel(slider, call.instrument.sliderValue(call.dut, slider)));
    };
}

Handler setCode(Slider slider) {
    return [slider](const Call& call) {
        return moveTo(call, slider, numberParam(*call.param, {.lo = 0, .hi = kMaxCode}));
    };
}

Handler queryCode(Slider slider) {
    return [slider](const Call& call) {
        return reply(std::to_string(call.instrument.sliderValue(call.dut, slider)));
    };
}

Outcome maxAtten(const Call& call) {
    call.instrument.setMaxAtten(call.dut);
    return checkDut2Present(call, {});
}

Outcome unity(const Call& call) {
    call.instrument.set0dB(call.dut);
    return checkDut2Present(call, {});
}

Outcome readBack(const Call& call) {
    const control::ReadBackCodes codes = call.instrument.interrogate(call.dut);
    return reply(std::to_string(codes.left) + ',' + std::to_string(codes.right));
}

Outcome busLength(const Call& call) {
    return reply(std::to_string(call.instrument.chainLength()));
}

Handler setPin(PinLine line) {
    return [line](const Call& call) {
        return whenValid(booleanParam(*call.param),
                         [&](int on) { call.instrument.setPin(line, on == 1); });
    };
}

Handler queryPin(PinLine line) {
    return [line](const Call& call) { return reply(call.instrument.pin(line) ? "1" : "0"); };
}

Handler ramp(RampDirection direction) {
    return [direction](const Call& call) {
        call.instrument.ramp(call.dut, direction);
        return Outcome{};
    };
}

// A keyword parameter's word and the value it stands for, listed side by side so that no
// position in a list stands in for a value.
template <typename Value>
struct Keyword {
    std::string_view word;
    Value value;
};

constexpr Keyword<RampTarget> kTargets[] = {
    {"LEFT", RampTarget::Left}, {"RIGHt", RampTarget::Right}, {"GANG", RampTarget::Gang}};
constexpr Keyword<control::Topology> kTopologies[] = {{"SINGle", control::Topology::Single},
                                                      {"DUAL", control::Topology::Dual}};
constexpr Keyword<control::Port> kPorts[] = {
    {"LPT1", control::Port::Lpt1}, {"LPT2", control::Port::Lpt2}, {"LPT3", control::Port::Lpt3}};
constexpr Keyword<bool> kPanelStates[] = {{"HIDE", false}, {"SHOW", true}};

// Sets what the parameter's keyword stands for, or queues the parameter's error.
template <typename Value, std::size_t N, typename Set>
Outcome setKeyword(const Param& param, const Keyword<Value> (&keywords)[N], Set set) {
    std::array<std::string_view, N> words;
    for (std::size_t i = 0; i < N; ++i) {
        words[i] = keywords[i].word;
    }
    return whenValid(keywordParam(param, words),
                     [&](int index) { set(keywords[static_cast<std::size_t>(index)].value); });
}

// The short form of the keyword that stands for `value`; `none` when none does.
template <typename Value, std::size_t N>
std::string keywordReply(const Keyword<Value> (&keywords)[N], Value value,
                         std::string_view none = {}) {
    for (const Keyword<Value>& keyword : keywords) {
        if (keyword.value == value) {
            return std::string(shortForm(keyword.word));
        }
    }
    return std::string(none);
}

Outcome setRampTarget(const Call& call) {
    return setKeyword(*call.param, kTargets, [&](RampTarget target) {
        call.instrument.selectRampTarget(call.dut, target);
    });
}

Outcome queryRampTarget(const Call& call) {
    return reply(keywordReply(kTargets, call.instrument.rampTarget(call.dut), "NONE"));
}

Outcome setPanel(const Call& call) {
    return setKeyword(*call.param, kPanelStates,
                      [&](bool shown) { call.instrument.showPanel(call.dut, shown); });
}

Outcome queryPanel(const Call& call) {
    return reply(keywordReply(kPanelStates, call.instrument.panelShown(call.dut)));
}

Outcome setTopology(const Call& call) {
    return setKeyword(*call.param, kTopologies, [&](control::Topology topology) {
        call.instrument.selectTopology(topology);
    });
}

Outcome queryTopology(const Call& call) {
    return reply(keywordReply(kTopologies, call.instrument.topology()));
}

Outcome setPort(const Call& call) {
    return setKeyword(*call.param, kPorts,
                      [&](control::Port port) { call.instrument.selectPort(port); });
}

Outcome queryPort(const Call& call) {
    return reply(keywordReply(kPorts, call.instrument.port()));
}

// Stops the running job, whichever it is; the front end runs it as soon as its line is read.
Outcome abortJob(const Call& call) {
    call.instrument.abortJob();
    return {};
}

}  // namespace

Node settable(std::string_view name, Handler set, Handler query) {
    return {.name = name, .set = std::move(set), .query = std::move(query), .setTakesParam = true};
}

namespace {

Node action(std::string_view name, Handler set) {
    return {.name = name, .set = std::move(set)};
}

Node queryOnly(std::string_view name, Handler query) {
    return {.name = name, .query = std::move(query)};
}

Node dutNode() {
    const auto gain = [](std::string_view name, Slider slider) {
        return settable(name, setGain(slider), queryGain(slider));
    };
    const auto code = [](std::string_view name, Slider slider) {
        return settable(name, setCode(slider), queryCode(slider));
    };
    Node dut = {
        .name = "DUT",
        .children = {{.name = "GAIN",
                      .children = {gain("LEFT", Slider::Left), gain("RIGHt", Slider::Right),
                                   gain("GANG", Slider::Gang), gain("PAN", Slider::Pan)}},
                     {.name = "CODE",
                      .children = {code("LEFT", Slider::Left), code("RIGHt", Slider::Right)}},
                     action("MAXAtten", maxAtten),
                     action("UNITy", unity),
                     queryOnly("READback", readBack),
                     {.name = "RAMP",
                      .children = {rampField("TOP", RampField::Top),
                                   rampField("BOTTom", RampField::Bottom),
                                   rampField("STEP", RampField::Step),
                                   rampField("DELay", RampField::Delay),
                                   settable("TARGet", setRampTarget, queryRampTarget),
                                   action("UP", ramp(RampDirection::Up)),
                                   action("DOWN", ramp(RampDirection::Down)),
                                   action("ABORt", abortJob)}},
                     settable("WINDow", setPanel, queryPanel),
                     // The window's old name, whose short form read as the Pan gain: kept
                     // for one release, and documented nowhere.
                     settable("PANel", setPanel, queryPanel)},
        .numbered = true};
    for (Node& measurement : measurementCommands()) {
        dut.children.push_back(std::move(measurement));
    }
    return dut;
}

Node buildTree() {
    std::vector<Node> top = {
        dutNode(),
        settable("PORT", setPort, queryPort),
        settable("TOPology", setTopology, queryTopology),
        {.name = "BUS", .children = {queryOnly("LENGth", busLength)}},
        settable("MUTE", setPin(PinLine::Mute), queryPin(PinLine::Mute)),
        settable("ZCDetect", setPin(PinLine::Zcd), queryPin(PinLine::Zcd)),
        action("ABORt", abortJob),
    };
    top.push_back({.name = "MMEMory", .children = massMemoryCommands()});
    top.push_back(audioCommands());
    top.push_back({.name = "LIMit", .children = limitCommands()});
    std::vector<Node> system = systemCommands();
    top.push_back({.name = "SYSTem", .children = std::move(system)});
    return {.name = "", .children = std::move(top)};
}

}  // namespace

const Node& commandTree() {
    static const Node tree = buildTree();
    return tree;
}

}  // namespace selvar::remote
