// SPDX-License-Identifier: GPL-3.0-or-later
// Ramps run as jobs on the event loop: the operator's input waits for them and runs after them
// in order; Esc and the stop button end them at once.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <functional>
#include <string>
#include <vector>

#include "chiplink/mod_selvar_hw.h"
#include "entry_test_program.h"
#include "platform/toolkit/toolkit.h"

namespace selvar::entry {
namespace {

struct Rig {
    testing::TestProgram p{[] {
        platform::SimBoardConfig paced = testing::unpacedBoard();
        paced.accessNs = 1000;  // as the program runs: a delay-5 move waits 10 ms
        return paced;
    }()};
    panel::frmMain& dut1 = p.dut1();

    explicit Rig(const char* delay) {
        dut1.show();
        p.control<QPushButton>(dut1, "btn0dB").click();
        p.control<QRadioButton>(dut1, "optLt0").setChecked(true);
        dut1.txtBottom().setText("-30.0");
        dut1.cmbDelay().setEditText(QString::fromLatin1(delay));
        QCoreApplication::processEvents();
    }
    int left() { return p.control<platform::Slider>(dut1, "sldLt0").value(); }
    // A click as the operator gives it: through the window, as the window system delivers it.
    void operatorClick(QWidget& control) {
        QWidget& window = *control.window();
        QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {},
                          control.mapTo(&window, control.rect().center()));
    }
    void startRamp() {
        p.control<QPushButton>(dut1, "btnDown").click();
        ASSERT_TRUE(p.program().jobs().running());
        QTest::qWait(100);
    }
};

TEST(Jobs, InputDuringARampRunsAfterItInTheOrderGiven) {
    struct Case {
        const char* what;
        std::vector<std::string> clicks;
        int left;  // where Left ends, the ramp's stop being code 132
    };
    // "entry:" names a control of the entry window, else of the DUT1 panel.
    const Case cases[] = {
        {"unity after the ramp", {"btn0dB"}, 192},
        {"max attenuation, then unity", {"btnMaxAtten", "btn0dB"}, 192},
        {"unity, then max attenuation", {"btn0dB", "btnMaxAtten"}, 0},
        {"unity, then Reset All", {"btn0dB", "entry:btnResetAll"}, 0},
        {"Reset All, then unity", {"entry:btnResetAll", "btn0dB"}, 192},
    };
    for (const Case& c : cases) {
        Rig r("5");
        r.startRamp();
        for (const std::string& click : c.clicks) {
            const bool entry = click.starts_with("entry:");
            r.operatorClick(
                r.p.control<QPushButton>(entry ? static_cast<QWidget&>(r.p.entry()) : r.dut1,
                                         click.substr(entry ? 6 : 0).c_str()));
        }
        EXPECT_GT(r.left(), 132) << c.what << ": the ramp ended too soon to tell";
        ASSERT_TRUE(testing::finishJob(r.p.program()));
        QTest::qWait(50);
        EXPECT_EQ(r.left(), c.left) << c.what;
        EXPECT_EQ(r.p.board().gainRegister(0), chiplink::gainWord(r.dut1.gainCodes())) << c.what;
    }
}

TEST(Jobs, EscInAnyWindowAndTheStopButtonEndARampAfterTheMoveInProgress) {
    struct Case {
        const char* what;
        std::function<void(Rig&)> stop;
    };
    const Case cases[] = {
        {"Esc in the panel",
         [](Rig& r) { QTest::keyClick(r.dut1.windowHandle(), Qt::Key_Escape); }},
        {"Esc in the entry window",
         [](Rig& r) { QTest::keyClick(r.p.entry().windowHandle(), Qt::Key_Escape); }},
        {"the stop button",
         [](Rig& r) { r.operatorClick(r.p.control<QPushButton>(r.p.entry(), "btnStop")); }},
    };
    for (const Case& c : cases) {
        Rig r("50");  // 100 ms after each move: six seconds in all
        r.startRamp();
        EXPECT_TRUE(r.p.control<QPushButton>(r.p.entry(), "btnStop").isVisible()) << c.what;
        EXPECT_TRUE(r.p.control<QLabel>(r.p.entry(), "lblStatus")
                        .text()
                        .endsWith("\nRamp DUT1 Left 0.0 dB -> -30.0 dB"))
            << c.what;
        c.stop(r);
        EXPECT_TRUE(testing::finishJob(r.p.program(), 100)) << c.what << ": still running";
        EXPECT_GT(r.left(), 132) << c.what << ": the ramp ran to its stop";
        EXPECT_LT(r.left(), 192) << c.what << ": no move before the stop";
        EXPECT_EQ(r.p.board().gainRegister(0), chiplink::gainWord(r.dut1.gainCodes())) << c.what;
        EXPECT_FALSE(r.p.control<QPushButton>(r.p.entry(), "btnStop").isVisible()) << c.what;
    }
}

}  // namespace
}  // namespace selvar::entry
