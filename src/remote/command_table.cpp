#include "remote/command_table.h"

#include <span>

#include "gain/mod_pub_share.h"
#include "remote/params.h"

namespace selvar::remote {
namespace {

constexpr int kLowestHalfDb = -192;  // code 0, -96.0 dB
constexpr int kHighestHalfDb = 63;   // code 255, +31.5 dB
constexpr int kUnityCode = 192;
constexpr int kPanLimit = 255;

Outcome fail(int code) {
    return {code, std::nullopt};
}
Outcome reply(std::string text) {
    return {error::kNone, std::move(text)};
}

// The slider value a dB parameter asks for: Left, Right and Gang take -96..31.5 on the 0.5 grid
// (Gang on its sum scale, twice the code); -96, NINF, -INF and -9.9E37 (what the query answers
// for it) are code 0. Pan is R - L.
Checked sliderValueForDb(const Param& param, Slider slider) {
    if (slider == Slider::Pan) {
        return numberParam(param, 2, -kPanLimit, kPanLimit);
    }
    const int scale = slider == Slider::Gang ? 2 : 1;
    const bool negativeInfinity =
        (param.kind == ParamKind::Word &&
         (matchesKeyword(param.text, "NINF") || matchesKeyword(param.text, "-INF"))) ||
        (param.kind == ParamKind::Number && isNegativeInfinity(param.text));
    if (negativeInfinity) {
        return {0, error::kNone};
    }
    Checked halfDb = numberParam(param, 2, kLowestHalfDb, kHighestHalfDb);
    halfDb.value = (halfDb.value + kUnityCode) * scale;
    return halfDb;
}

// Runs the gesture with the parameter's value once it checked out; else queues its error.
template <typename Gesture>
Outcome whenValid(Checked value, Gesture gesture) {
    if (value.error == error::kNone) {
        gesture(value.value);
    }
    return fail(value.error);
}

Outcome moveTo(const Call& call, Checked value) {
    return whenValid(value, [&](int to) {
        call.instrument.moveSlider(call.dut, static_cast<Slider>(call.arg), to);
    });
}

Outcome setGain(const Call& call) {
    return moveTo(call, sliderValueForDb(*call.param, static_cast<Slider>(call.arg)));
}

Outcome queryGain(const Call& call) {
    const auto slider = static_cast<Slider>(call.arg);
    const int value = call.instrument.sliderValue(call.dut, slider);
    switch (slider) {
        case Slider::Gang:
            return reply(labelReply(modPubShare::gangLabel(value)));
        case Slider::Pan:
            return reply(modPubShare::panLabel(value));
        default:
            return reply(labelReply(modPubShare::channelLabel(value)));
    }
}

Outcome setCode(const Call& call) {
    return moveTo(call, numberParam(*call.param, 1, 0, 255));
}

Outcome queryCode(const Call& call) {
    return reply(
        std::to_string(call.instrument.sliderValue(call.dut, static_cast<Slider>(call.arg))));
}

Outcome maxAtten(const Call& call) {
    call.instrument.setMaxAtten(call.dut);
    return {};
}

Outcome unity(const Call& call) {
    call.instrument.set0dB(call.dut);
    return {};
}

Outcome readBack(const Call& call) {
    const ReadBackCodes codes = call.instrument.interrogate(call.dut);
    return reply(std::to_string(codes.left) + ',' + std::to_string(codes.right));
}

Outcome busLength(const Call& call) {
    return reply(std::to_string(call.instrument.chainLength()));
}

Outcome setPin(const Call& call) {
    return whenValid(booleanParam(*call.param), [&](int on) {
        call.instrument.setPin(static_cast<PinLine>(call.arg), on == 1);
    });
}

Outcome queryPin(const Call& call) {
    return reply(call.instrument.pin(static_cast<PinLine>(call.arg)) ? "1" : "0");
}

Outcome setRampField(const Call& call) {
    call.instrument.enterRampField(call.dut, static_cast<RampField>(call.arg), call.param->text);
    return {};
}

Outcome queryRampField(const Call& call) {
    return reply(call.instrument.rampField(call.dut, static_cast<RampField>(call.arg)));
}

// Keyword lists in the order of their enumerations.
constexpr std::string_view kTargets[] = {"LEFT", "RIGHt", "GANG"};
constexpr std::string_view kTopologies[] = {"SINGle", "DUAL"};
constexpr std::string_view kPorts[] = {"LPT1", "LPT2", "LPT3"};
constexpr std::string_view kPanelStates[] = {"HIDE", "SHOW"};

std::string keywordReply(std::span<const std::string_view> keywords, int index) {
    return std::string(shortForm(keywords[static_cast<std::size_t>(index)]));
}

Outcome setRampTarget(const Call& call) {
    return whenValid(keywordParam(*call.param, kTargets), [&](int target) {
        call.instrument.selectRampTarget(call.dut, static_cast<RampTarget>(target + 1));
    });
}

Outcome queryRampTarget(const Call& call) {
    const RampTarget target = call.instrument.rampTarget(call.dut);
    return reply(target == RampTarget::None ? "NONE"
                                            : keywordReply(kTargets, static_cast<int>(target) - 1));
}

Outcome ramp(const Call& call) {
    call.instrument.ramp(call.dut, static_cast<RampDirection>(call.arg));
    return {};
}

Outcome setPanel(const Call& call) {
    return whenValid(keywordParam(*call.param, kPanelStates),
                     [&](int shown) { call.instrument.showPanel(call.dut, shown == 1); });
}

Outcome queryPanel(const Call& call) {
    return reply(keywordReply(kPanelStates, call.instrument.panelShown(call.dut) ? 1 : 0));
}

Outcome setTopology(const Call& call) {
    return whenValid(keywordParam(*call.param, kTopologies), [&](int topology) {
        call.instrument.selectTopology(static_cast<Topology>(topology));
    });
}

Outcome queryTopology(const Call& call) {
    return reply(keywordReply(kTopologies, static_cast<int>(call.instrument.topology())));
}

Outcome setPort(const Call& call) {
    return whenValid(keywordParam(*call.param, kPorts),
                     [&](int port) { call.instrument.selectPort(static_cast<Port>(port)); });
}

Outcome queryPort(const Call& call) {
    return reply(keywordReply(kPorts, static_cast<int>(call.instrument.port())));
}

// Stops the running job, whichever it is; the front end runs it as soon as its line is read.
Outcome abortJob(const Call& call) {
    call.instrument.abortJob();
    return {};
}

Node settable(std::string_view name, Handler set, Handler query, int arg = 0) {
    return {.name = name, .set = set, .query = query, .setTakesParam = true, .arg = arg};
}

Node action(std::string_view name, Handler set, int arg = 0) {
    return {.name = name, .set = set, .arg = arg};
}

Node queryOnly(std::string_view name, Handler query) {
    return {.name = name, .query = query};
}

Node dutNode() {
    const auto slider = [](std::string_view name, Handler set, Handler query, Slider which) {
        return settable(name, set, query, static_cast<int>(which));
    };
    const auto field = [](std::string_view name, RampField which) {
        return settable(name, setRampField, queryRampField, static_cast<int>(which));
    };
    return {
        .name = "DUT",
        .children = {{.name = "GAIN",
                      .children = {slider("LEFT", setGain, queryGain, Slider::Left),
                                   slider("RIGHt", setGain, queryGain, Slider::Right),
                                   slider("GANG", setGain, queryGain, Slider::Gang),
                                   slider("PAN", setGain, queryGain, Slider::Pan)}},
                     {.name = "CODE",
                      .children = {slider("LEFT", setCode, queryCode, Slider::Left),
                                   slider("RIGHt", setCode, queryCode, Slider::Right)}},
                     action("MAXAtten", maxAtten),
                     action("UNITy", unity),
                     queryOnly("READback", readBack),
                     {.name = "RAMP",
                      .children = {field("TOP", RampField::Top), field("BOTTom", RampField::Bottom),
                                   field("STEP", RampField::Step), field("DELay", RampField::Delay),
                                   settable("TARGet", setRampTarget, queryRampTarget),
                                   action("UP", ramp, static_cast<int>(RampDirection::Up)),
                                   action("DOWN", ramp, static_cast<int>(RampDirection::Down)),
                                   action("ABORt", abortJob)}},
                     settable("PANel", setPanel, queryPanel)},
        .numbered = true};
}

Node buildTree() {
    std::vector<Node> top = {
        dutNode(),
        settable("PORT", setPort, queryPort),
        settable("TOPology", setTopology, queryTopology),
        {.name = "BUS", .children = {queryOnly("LENGth", busLength)}},
        settable("MUTE", setPin, queryPin, static_cast<int>(PinLine::Mute)),
        settable("ZCDetect", setPin, queryPin, static_cast<int>(PinLine::Zcd)),
        action("ABORt", abortJob),
    };
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
