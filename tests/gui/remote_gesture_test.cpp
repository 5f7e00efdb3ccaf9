// A remote command is the operator's gesture: the same control, by keyboard or mouse in one
// program and by the remote instrument in another, gives the same port traffic and leaves
// the panels the same.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <functional>

#include "control/instrument.h"
#include "entry_test_program.h"
#include "platform/toolkit/toolkit.h"

namespace selvar::entry::testing {
namespace {

using control::Instrument;
using Slider = panel::frmMain::GainSlider;

std::vector<int> sliders(panel::frmMain& p) {
    return {p.sliderValue(Slider::Left), p.sliderValue(Slider::Right), p.sliderValue(Slider::Gang),
            p.sliderValue(Slider::Pan)};
}

TEST(RemoteGestures, EachCommandGivesTheTrafficOfTheOperatorsGesture) {
    struct Case {
        const char* what;
        std::function<void(TestProgram&)> byHand;
        std::function<void(Instrument&)> byCommand;
    };
    const Case cases[] = {
        {"Left slider, one key step",
         [](TestProgram& t) {
             QTest::keyClick(&t.control<platform::Slider>(t.dut1(), "sldLt0"), Qt::Key_Right);
         },
         [](Instrument& i) { i.moveSlider(1, control::Slider::Left, 1); }},
        {"Right slider to the end",
         [](TestProgram& t) {
             QTest::keyClick(&t.control<platform::Slider>(t.dut1(), "sldRt0"), Qt::Key_End);
         },
         [](Instrument& i) { i.moveSlider(1, control::Slider::Right, 255); }},
        {"Gang slider, one page up",
         [](TestProgram& t) {
             QTest::keyClick(&t.control<platform::Slider>(t.dut1(), "sldLvl0"), Qt::Key_PageUp);
         },
         [](Instrument& i) { i.moveSlider(1, control::Slider::Gang, 4); }},
        {"Pan slider to the right end",
         [](TestProgram& t) {
             QTest::keyClick(&t.control<platform::Slider>(t.dut1(), "sldSkw0"), Qt::Key_End);
         },
         [](Instrument& i) { i.moveSlider(1, control::Slider::Pan, 255); }},
        {"Pan slider already at its start: nothing",
         [](TestProgram& t) {
             QTest::keyClick(&t.control<platform::Slider>(t.dut1(), "sldSkw0"), Qt::Key_Home);
             QTest::keyClick(&t.control<platform::Slider>(t.dut1(), "sldSkw0"), Qt::Key_Home);
         },
         [](Instrument& i) {
             i.moveSlider(1, control::Slider::Pan, -255);
             i.moveSlider(1, control::Slider::Pan, -255);
         }},
        {"0.0 (dB) button",
         [](TestProgram& t) { t.control<QPushButton>(t.dut1(), "btn0dB").click(); },
         [](Instrument& i) { i.set0dB(1); }},
        {"Interrogate button",
         [](TestProgram& t) { t.control<QPushButton>(t.dut1(), "btnQuery").click(); },
         [](Instrument& i) { i.interrogate(1); }},
        {"Mute by Pin box",
         [](TestProgram& t) { QTest::keyClick(&t.dut1().chkMute(), Qt::Key_Space); },
         [](Instrument& i) { i.setPin(control::PinLine::Mute, true); }},
        {"LPT2 option",
         [](TestProgram& t) { t.control<QRadioButton>(t.entry(), "opt278h").click(); },
         [](Instrument& i) { i.selectPort(control::Port::Lpt2); }},
        {"Reset All",
         [](TestProgram& t) { t.control<QPushButton>(t.entry(), "btnResetAll").click(); },
         [](Instrument& i) { i.resetAll(); }},
    };
    for (const Case& c : cases) {
        TestProgram byHand;
        TestProgram byCommand;
        byHand.log().accesses.clear();
        byCommand.log().accesses.clear();
        c.byHand(byHand);
        c.byCommand(byCommand.program().instrument());
        EXPECT_EQ(byHand.log().lines(), byCommand.log().lines()) << c.what;
        EXPECT_EQ(sliders(byHand.dut1()), sliders(byCommand.dut1())) << c.what;
    }
}

}  // namespace
}  // namespace selvar::entry::testing
