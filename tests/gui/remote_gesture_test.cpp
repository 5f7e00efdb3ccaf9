// SPDX-License-Identifier: GPL-3.0-or-later
// A remote command is the operator's gesture: the same control, by keyboard or mouse in one
// program and by the remote instrument in another, leaves the panels the same; its port traffic
// is the gesture's, except that a slider set does not repeat the drag's frame.

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

// A remote slider set sends each frame once: Left or Right its one frame, Gang or Pan what the
// projection sends; the operator's drag sends the moved channel's frame twice (its Scroll runs
// Change again). Both leave all four sliders in the same place. Frames are "send DUT2 DUT1",
// each word the right code over the left; start-up leaves every code at 0.
TEST(RemoteGestures, ASliderSetSendsEachFrameOnceAndEndsWhereTheDragEnds) {
    struct Case {
        const char* what;
        const char* slider;
        int key;
        control::Slider which;
        int value;
        std::vector<std::string> byCommand;
        std::vector<std::string> byHand;
    };
    const Case cases[] = {
        {"Left, one step",
         "sldLt0",
         Qt::Key_Right,
         control::Slider::Left,
         1,
         {"send 0000 0001"},
         {"send 0000 0001", "send 0000 0001"}},
        {"Right to the end",
         "sldRt0",
         Qt::Key_End,
         control::Slider::Right,
         255,
         {"send 0000 ff00"},
         {"send 0000 ff00", "send 0000 ff00"}},
        {"Gang, one page",
         "sldLvl0",
         Qt::Key_PageUp,
         control::Slider::Gang,
         4,
         {"send 0000 0002", "send 0000 0202"},
         {"send 0000 0002", "send 0000 0202"}},
        {"Pan to the right end",
         "sldSkw0",
         Qt::Key_End,
         control::Slider::Pan,
         255,
         {"send 0000 ff00"},
         {"send 0000 ff00"}},
        {"Gang to where it is", "sldLvl0", Qt::Key_Home, control::Slider::Gang, 0, {}, {}},
    };
    for (const Case& c : cases) {
        TestProgram byHand;
        TestProgram byCommand;
        byHand.log().accesses.clear();
        byCommand.log().accesses.clear();
        QTest::keyClick(&byHand.control<platform::Slider>(byHand.dut1(), c.slider),
                        static_cast<Qt::Key>(c.key));
        byCommand.program().instrument().moveSlider(1, c.which, c.value);
        EXPECT_EQ(busEvents(byCommand.log().accesses, 0x378), c.byCommand) << c.what;
        EXPECT_EQ(busEvents(byHand.log().accesses, 0x378), c.byHand) << c.what;
        EXPECT_EQ(sliders(byCommand.dut1()), sliders(byHand.dut1())) << c.what;
    }
}

TEST(RemoteGestures, EachButtonOrOptionCommandGivesTheTrafficOfTheOperatorsGesture) {
    struct Case {
        const char* what;
        std::function<void(TestProgram&)> byHand;
        std::function<void(Instrument&)> byCommand;
    };
    const Case cases[] = {
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
