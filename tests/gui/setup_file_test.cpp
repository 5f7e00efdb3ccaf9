// SPDX-License-Identifier: GPL-3.0-or-later
// Saved setups on the whole program: a load puts back what a store saw, chips included, and a
// file that is missing or no sound setup changes nothing at all, not even a port access.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>
#include <map>
#include <string>

#include "control/instrument.h"
#include "entry_test_program.h"

namespace selvar::entry::testing {
namespace {

using control::Instrument;
using control::PinLine;
using control::RampField;
using control::RampTarget;
using control::Slider;
using Status = control::SetupFileResult::Status;

using State = std::map<std::string, std::string>;

// Everything a setup covers, as the instrument and the simulated board show it.
State stateOf(TestProgram& t) {
    Instrument& i = t.program().instrument();
    State s{{"port", std::to_string(static_cast<int>(i.port()))},
            {"topology", std::to_string(static_cast<int>(i.topology()))},
            {"mute", std::to_string(i.pin(PinLine::Mute))},
            {"zcd", std::to_string(i.pin(PinLine::Zcd))},
            {"MUTE line", std::to_string(t.board().muted())},
            {"ZCD line", std::to_string(t.board().zcdHigh())}};
    for (int dut : {1, 2}) {
        const std::string d = "DUT" + std::to_string(dut) + ' ';
        for (auto [name, slider] : {std::pair{"Left", Slider::Left},
                                    {"Right", Slider::Right},
                                    {"Gang", Slider::Gang},
                                    {"Pan", Slider::Pan}}) {
            s[d + name] = std::to_string(i.sliderValue(dut, slider));
        }
        for (auto [name, field] : {std::pair{"top", RampField::Top},
                                   {"bottom", RampField::Bottom},
                                   {"step", RampField::Step},
                                   {"delay", RampField::Delay}}) {
            s[d + name] = i.rampField(dut, field);
        }
        s[d + "target"] = std::to_string(static_cast<int>(i.rampTarget(dut)));
        s[d + "chip"] = std::to_string(t.board().gainRegister(dut - 1));
    }
    return s;
}

// A setup unlike the start-up's in every part.
void setAll(Instrument& i) {
    i.selectTopology(control::Topology::Dual);
    i.setPin(PinLine::Zcd, true);
    i.setPin(PinLine::Mute, true);
    const char* fields[2][4] = {{"6", "-12.5", "2.0", "20"}, {"-3", "-90", "1.5", "0"}};
    const int codes[2][2] = {{200, 17}, {3, 255}};
    const RampTarget targets[2] = {RampTarget::Left, RampTarget::Right};
    for (int dut : {1, 2}) {
        const auto k = static_cast<std::size_t>(dut - 1);
        for (auto field : {RampField::Top, RampField::Bottom, RampField::Step, RampField::Delay}) {
            i.enterRampField(dut, field, fields[k][static_cast<int>(field)]);
        }
        i.selectRampTarget(dut, targets[k]);
        i.moveSlider(dut, Slider::Left, codes[k][0]);
        i.moveSlider(dut, Slider::Right, codes[k][1]);
    }
}

TEST(SavedSetups, ALoadPutsBackEverythingTheStoreSawChipsIncluded) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("bench.json").toStdString();
    TestProgram t;
    Instrument& i = t.program().instrument();
    setAll(i);
    const State saved = stateOf(t);
    ASSERT_EQ(i.saveSetup(path).status, Status::Done);

    i.resetAll();
    i.selectRampTarget(1, RampTarget::Gang);
    i.selectRampTarget(2, RampTarget::Gang);
    i.selectPort(control::Port::Lpt2);
    const State changed = stateOf(t);
    for (const auto& [what, value] : saved) {
        EXPECT_NE(changed.at(what), value) << what << " did not change: the test proves nothing";
    }
    const control::SetupFileResult loaded = i.loadSetup(path);
    EXPECT_EQ(loaded.status, Status::Done) << loaded.reason;
    EXPECT_EQ(stateOf(t), saved);
}

// A version-1 file as a person would write it, and changed in one place for each refusal.
const std::string kGood = R"({
    "format": "selvar-control-setup", "version": 1,
    "port": "LPT1", "topology": "dual", "mute": false, "zcd": true,
    "dut1": {"left": 192, "right": 180,
             "ramp": {"top": 6, "bottom": -20, "step": 1, "delay": 10, "target": "right"}},
    "dut2": {"left": 0, "right": 255,
             "ramp": {"top": 0, "bottom": -30, "step": 0.5, "delay": 5, "target": "gang"}}
})";

std::string changedGood(const std::string& from, const std::string& to) {
    std::string text = kGood;
    return text.replace(text.find(from), from.size(), to);
}

TEST(SavedSetups, AHandWrittenFileSetsPanelsAndChips) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("hand.json").toStdString();
    std::ofstream(path) << kGood;
    TestProgram t;
    Instrument& i = t.program().instrument();
    ASSERT_EQ(i.loadSetup(path).status, Status::Done);
    const State s = stateOf(t);
    EXPECT_EQ(s.at("topology"), "1");
    EXPECT_EQ(s.at("ZCD line"), "1");
    EXPECT_EQ(s.at("MUTE line"), "0");
    EXPECT_EQ(s.at("DUT1 chip"), std::to_string(180 << 8 | 192));  // right code over left
    EXPECT_EQ(s.at("DUT2 chip"), std::to_string(255 << 8 | 0));
    EXPECT_EQ(s.at("DUT1 top"), "6.0");
    EXPECT_EQ(s.at("DUT1 step"), "1.0");
    EXPECT_EQ(s.at("DUT1 delay"), "10");
    EXPECT_EQ(s.at("DUT1 target"), std::to_string(static_cast<int>(RampTarget::Right)));
}

TEST(SavedSetups, ARefusedFileChangesNothingAndSaysWhy) {
    struct Case {
        const char* what;
        std::optional<std::string> text;  // none: no file
        Status status;
        std::string reason;  // part of it
    };
    const Case cases[] = {
        {"missing", std::nullopt, Status::NotFound, "No such file"},
        {"not JSON", "port = LPT2\n", Status::Refused, "not JSON"},
        {"cut short", kGood.substr(0, kGood.size() / 2), Status::Refused, "not JSON"},
        {"a JSON list", "[1, 2]", Status::Refused, "not a setup"},
        {"another kind", changedGood("selvar-control-setup", "monitor-capture"), Status::Refused,
         "not a setup"},
        {"newer version", changedGood("\"version\": 1", "\"version\": 2"), Status::Refused,
         "newer"},
        {"code out of range", changedGood("\"right\": 255", "\"right\": 256"), Status::Refused,
         "dut2.right"},
        {"stop off the grid", changedGood("\"top\": 6", "\"top\": 6.2"), Status::Refused,
         "dut1.ramp.top"},
        {"no such target", changedGood("\"right\"}", "\"pan\"}"), Status::Refused,
         "dut1.ramp.target"},
        {"key missing", changedGood("\"zcd\": true,", ""), Status::Refused, "zcd: missing"},
        {"audio device not offered",
         changedGood("\"version\": 1,", R"("version": 1, "audio": {"output": "Line Out",
                                          "input": "Line In", "calibration": ""},)"),
         Status::Refused, "audio: no output \"Line Out\""},
        {"calibration file missing",
         changedGood("\"version\": 1,", R"("version": 1, "audio": {"output": "sim",
                                          "input": "sim", "calibration": "/no/cal"},)"),
         Status::Refused, "audio: /no/cal: "},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        const std::string path = dir.filePath("setup.json").toStdString();
        if (c.text) {
            std::ofstream(path) << *c.text;
        }
        TestProgram t;
        const State before = stateOf(t);
        t.log().accesses.clear();
        const control::SetupFileResult result = t.program().instrument().loadSetup(path);
        EXPECT_EQ(result.status, c.status) << c.what;
        EXPECT_NE(result.reason.find(c.reason), std::string::npos)
            << c.what << ": " << result.reason;
        EXPECT_EQ(stateOf(t), before) << c.what;
        EXPECT_TRUE(t.log().accesses.empty()) << c.what;
    }
}

// The sound card's devices and the calibration file in use are saved with the rest and put back.
TEST(SavedSetups, HoldTheSoundCardAndItsCalibrationFile) {
    QTemporaryDir dir;
    const std::string calibration = dir.filePath("card.cal").toStdString();
    const std::string setup = dir.filePath("setup.json").toStdString();
    TestProgram t;
    ProgramMeasurements& m = t.program().measurements();
    m.run({.kind = remote::MeasurementRequest::Kind::Calibrate}, {});
    ASSERT_TRUE(finishJob(t.program()));
    std::string error;
    ASSERT_TRUE(m.saveCalibration(calibration, error)) << error;
    ASSERT_EQ(t.program().instrument().saveSetup(setup).status, Status::Done);

    ASSERT_TRUE(m.chooseAudioDevice(remote::AudioEnd::Output, "", error)) << error;
    m.session().setCalibration(std::nullopt);
    ASSERT_EQ(m.audioDevice(remote::AudioEnd::Input), "");

    ASSERT_EQ(t.program().instrument().loadSetup(setup).status, Status::Done);
    EXPECT_EQ(m.audioDevice(remote::AudioEnd::Output), "sim");
    EXPECT_EQ(m.audioDevice(remote::AudioEnd::Input), "sim");
    EXPECT_TRUE(m.session().calibration().has_value());
    EXPECT_EQ(m.audioChoice().calibration, calibration);
}

}  // namespace
}  // namespace selvar::entry::testing
