// SPDX-License-Identifier: GPL-3.0-or-later
#include "setup/setup_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>

#include "gain/mod_pub_share.h"
#include "platform/atomic_save.h"
#include "ramp/field_validation.h"

namespace selvar::setup {

namespace {

using control::Instrument;
using control::PinLine;
using control::RampField;
using control::SetupFileResult;
using control::Slider;
using Status = SetupFileResult::Status;

// A setup is a few hundred bytes; anything much larger is no setup, and is not read whole.
constexpr long kMaxFileBytes = 64 * 1024;

double fieldValue(const Instrument& instrument, int dut, RampField field,
                  std::string (*validate)(std::string_view)) {
    return ramp::readNumber(validate(instrument.rampField(dut, field))).value_or(0.0F);
}

PanelSetup capturePanel(const Instrument& instrument, int dut) {
    PanelSetup p;
    p.left = instrument.sliderValue(dut, Slider::Left);
    p.right = instrument.sliderValue(dut, Slider::Right);
    p.ramp.top = fieldValue(instrument, dut, RampField::Top, ramp::validateStopText);
    p.ramp.bottom = fieldValue(instrument, dut, RampField::Bottom, ramp::validateStopText);
    p.ramp.step = fieldValue(instrument, dut, RampField::Step, ramp::validateStepText);
    p.ramp.delay = fieldValue(instrument, dut, RampField::Delay, ramp::validateDelayText);
    p.ramp.target = instrument.rampTarget(dut);
    return p;
}

// The value as the operator would type it: "-30", "0.5".
std::string fieldText(double value) {
    char text[32];
    const auto end = std::to_chars(std::begin(text), std::end(text), value).ptr;
    return {std::begin(text), end};
}

void applyPanel(Instrument& instrument, int dut, const PanelSetup& p) {
    instrument.enterRampField(dut, RampField::Top, fieldText(p.ramp.top));
    instrument.enterRampField(dut, RampField::Bottom, fieldText(p.ramp.bottom));
    instrument.enterRampField(dut, RampField::Step, fieldText(p.ramp.step));
    instrument.enterRampField(dut, RampField::Delay, fieldText(p.ramp.delay));
    // No option unselects: a target of none leaves the panel's as it is.
    if (p.ramp.target != control::RampTarget::None) {
        instrument.selectRampTarget(dut, p.ramp.target);
    }
    instrument.moveSlider(dut, Slider::Left, p.left);
    instrument.moveSlider(dut, Slider::Right, p.right);
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// The file's whole text, or why it cannot be had.
// A channel of a panel the setup would apply above the instrument's gain limit; empty when
// none is. Checked before anything is applied, so a refused file changes nothing.
std::string aboveLimit(const Setup& setup, int highest) {
    const int panels = setup.topology == control::Topology::Dual ? 2 : 1;
    for (int dut = 1; dut <= panels; ++dut) {
        const PanelSetup& p = setup.panels[static_cast<std::size_t>(dut - 1)];
        const bool left = p.left > highest;
        if (left || p.right > highest) {
            return "DUT" + std::to_string(dut) + (left ? " Left " : " Right ") +
                   modPubShare::signedChannelDb(left ? p.left : p.right) +
                   " dB is above the gain limit " + modPubShare::signedChannelDb(highest) + " dB";
        }
    }
    return {};
}

SetupFileResult readWhole(const std::string& path, std::string& text) {
    if (path.empty()) {
        return {Status::Refused, "no file name"};
    }
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        return {errno == ENOENT ? Status::NotFound : Status::Refused, std::strerror(errno)};
    }
    struct stat info {};
    if (::fstat(::fileno(file.get()), &info) != 0 || !S_ISREG(info.st_mode)) {
        return {Status::Refused, "not a regular file"};
    }
    text.resize(kMaxFileBytes + 1);
    text.resize(std::fread(text.data(), 1, text.size(), file.get()));
    if (std::ferror(file.get())) {
        return {Status::Refused, std::strerror(errno)};
    }
    if (text.size() > static_cast<std::size_t>(kMaxFileBytes)) {
        return {Status::Refused, "not a setup (larger than 64 KiB)"};
    }
    return {};
}

}  // namespace

Setup capture(const Instrument& instrument) {
    Setup s;
    s.port = instrument.port();
    s.topology = instrument.topology();
    s.panels = {capturePanel(instrument, 1), capturePanel(instrument, 2)};
    s.mute = instrument.pin(PinLine::Mute);
    s.zcd = instrument.pin(PinLine::Zcd);
    if (const std::optional<control::AudioChoice> audio = instrument.audioChoice()) {
        s.audio = AudioSetup{audio->output, audio->input, audio->calibration};
    }
    return s;
}

// The port first, as choosing one resets the panels; mute goes on before the gains change
// and is released only after they have, so no gain is heard on its way.
void apply(Instrument& instrument, const Setup& setup) {
    instrument.selectPort(setup.port);
    instrument.selectTopology(setup.topology);
    if (setup.mute) {
        instrument.setPin(PinLine::Mute, true);
    }
    instrument.setPin(PinLine::Zcd, setup.zcd);
    applyPanel(instrument, 1, setup.panels[0]);
    if (setup.topology == control::Topology::Dual) {
        applyPanel(instrument, 2, setup.panels[1]);
    }
    instrument.setPin(PinLine::Mute, setup.mute);
}

SetupFileResult store(const Instrument& instrument, const std::string& path) {
    if (path.empty()) {
        return {Status::NotWritten, "no file name"};
    }
    const std::string text = toJson(capture(instrument));
    std::string error;
    const bool saved = platform::saveAtomically(
        path,
        [&](std::FILE* file) {
            return std::fwrite(text.data(), 1, text.size(), file) == text.size();
        },
        error);
    return saved ? SetupFileResult{} : SetupFileResult{Status::NotWritten, error};
}

SetupFileResult load(Instrument& instrument, const std::string& path) {
    std::string text;
    if (SetupFileResult read = readWhole(path, text); read.status != Status::Done) {
        return read;
    }
    const Parsed parsed = fromJson(text);
    if (!parsed.setup) {
        return {Status::Refused, parsed.reason};
    }
    // The sound card goes first: it is the part that can still be refused (a device not
    // offered, a calibration file that is not one), and it changes nothing when it is.
    if (const std::optional<AudioSetup>& audio = parsed.setup->audio) {
        std::string reason;
        if (!instrument.chooseAudio({audio->output, audio->input, audio->calibration}, reason)) {
            return {Status::Refused, "audio: " + reason};
        }
    }
    if (std::string above = aboveLimit(*parsed.setup, instrument.highestCode()); !above.empty()) {
        return {Status::Refused, std::move(above)};
    }
    apply(instrument, *parsed.setup);
    return {};
}

}  // namespace selvar::setup
