// SPDX-License-Identifier: GPL-3.0-or-later
// Two gain panels driving the simulated chain through the real chip link: what the chips
// latch must be what the panels show.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <functional>
#include <string>

#include "chiplink/mod_selvar_hw.h"
#include "entry/program.h"
#include "entry_test_program.h"
#include "panel/ui/frm_main.h"
#include "platform/sim_board.h"
#include "platform/toolkit/toolkit.h"

namespace selvar::panel {
namespace {

class DataReadCounter : public platform::AccessObserver {
  public:
    std::uint16_t base = 0;
    long dataReads = 0;
    void onPortSelected(std::uint16_t selected) override { base = selected; }
    void onRead(std::uint16_t address, std::uint8_t) override { dataReads += address == base; }
    void onWrite(std::uint16_t, std::uint8_t) override {}
};

// The program as main assembles it, without its entry window: the port chosen and both panels
// at maximum attenuation, every data-register read counted.
struct Bench {
    std::unique_ptr<platform::SimPortProvider> sim = std::make_unique<platform::SimPortProvider>(
        platform::SimBoardConfig{.chips = 2, .accessNs = 0});
    platform::SimBoard& simBoard = sim->board();
    entry::Program program{std::move(sim), [](const std::string&) {}};
    DataReadCounter counter;
    platform::ObserverAttachment attachment{program.observers(), counter};
    frmMain& dut1 = program.frmDUT1();
    frmMain& dut2 = program.frmDUT2();

    Bench() {
        program.glbl().buildBitMasks();
        program.hw().choosePort(chiplink::PortChoice::Lpt1);
        dut1.setMaxAtten();
        dut2.setMaxAtten();
    }
    static platform::Slider& slider(frmMain& panel, const char* name) {
        return *panel.findChild<platform::Slider*>(QString::fromLatin1(name));
    }
    // A click, and the ramp it may start run to its end.
    void click(frmMain& panel, const char* button) {
        panel.findChild<QPushButton*>(QString::fromLatin1(button))->click();
        ASSERT_TRUE(entry::testing::finishJob(program));
    }
    static std::string label(frmMain& panel, const char* name) {
        return panel.findChild<QLabel*>(QString::fromLatin1(name))->text().toStdString();
    }
    platform::SimBoard& board() { return simBoard; }
    void expectChipsHoldThePanels(const char* what) {
        EXPECT_EQ(board().gainRegister(0), chiplink::gainWord(dut1.gainCodes())) << what;
        EXPECT_EQ(board().gainRegister(1), chiplink::gainWord(dut2.gainCodes())) << what;
    }
};

TEST(FrmMainOnChips, EveryActionOnEitherPanelLeavesTheChipsHoldingBothPanels) {
    struct Step {
        const char* what;
        std::function<void(Bench&)> act;
    };
    const Step steps[] = {
        {"unity on DUT1", [](Bench& b) { b.click(b.dut1, "btn0dB"); }},
        {"left page up on DUT1",
         [](Bench& b) { QTest::keyClick(&Bench::slider(b.dut1, "sldLt0"), Qt::Key_PageUp); }},
        {"gang up on DUT2",
         [](Bench& b) { QTest::keyClick(&Bench::slider(b.dut2, "sldLvl0"), Qt::Key_End); }},
        {"pan left on DUT2",
         [](Bench& b) { QTest::keyClick(&Bench::slider(b.dut2, "sldSkw0"), Qt::Key_Home); }},
        {"right down on DUT1",
         [](Bench& b) { QTest::keyClick(&Bench::slider(b.dut1, "sldRt0"), Qt::Key_Left); }},
        {"ramp down the gang of DUT1", [](Bench& b) { b.click(b.dut1, "btnDown"); }},
        {"max attenuation on DUT2", [](Bench& b) { b.click(b.dut2, "btnMaxAtten"); }},
    };
    Bench b;
    b.dut1.cmbDelay().setCurrentIndex(0);
    b.expectChipsHoldThePanels("after the reset's max attenuation");
    for (const auto& s : steps) {
        s.act(b);
        b.expectChipsHoldThePanels(s.what);
    }
    EXPECT_EQ(Bench::slider(b.dut1, "sldLvl0").value(), 264) << "the ramp reached -30.0 dB";
}

TEST(FrmMainOnChips, InterrogateShowsWhatTheChipsHoldOnBothPanels) {
    Bench b;
    Bench::slider(b.dut1, "sldLt0").setValue(255);
    Bench::slider(b.dut1, "sldRt0").setValue(10);
    Bench::slider(b.dut2, "sldRt0").setValue(192);
    b.click(b.dut2, "btnQuery");
    EXPECT_EQ(Bench::label(b.dut2, "lblRtCode"), "C0h");
    EXPECT_EQ(Bench::label(b.dut2, "lblLtCode"), "0h");
    EXPECT_EQ(Bench::label(b.dut1, "lblRtCode"), "Ah");
    EXPECT_EQ(Bench::label(b.dut1, "lblLtCode"), "FFh");
    b.expectChipsHoldThePanels("after the read-back");
}

TEST(FrmMainOnChips, CheckBoxesDriveTheCommonPins) {
    Bench b;
    QTest::keyClick(&b.dut1.chkMute(), Qt::Key_Space);
    QTest::keyClick(&b.dut1.chkZCD(), Qt::Key_Space);
    EXPECT_TRUE(b.board().muted());
    EXPECT_TRUE(b.board().zcdHigh());
    b.dut2.chkMute().setEnabled(false);
    platform::setCheckValue(b.dut2.chkMute(), 2);  // already muted: still muted
    platform::setCheckValue(b.dut2.chkMute(), 0);
    EXPECT_FALSE(b.board().muted());
    EXPECT_TRUE(b.board().zcdHigh());
}

TEST(FrmMainOnChips, ARampWaitsItsDelayInDataRegisterReadsAfterEveryMove) {
    struct Case {
        const char *bottom, *step, *delay;
        int moves;
        long waitReadsPerMove;
    };
    const Case cases[] = {{"-30.0", "0.5", "5", 60, 5 * 1 * 2000},
                          {"-31.0", "2.5", "5", 13, 5 * 5 * 2000},
                          {"-31.0", "2.5", "0", 13, 0}};
    for (const auto& c : cases) {
        Bench b;
        b.click(b.dut1, "btn0dB");
        b.dut1.findChild<QRadioButton*>("optLt0")->setChecked(true);
        b.dut1.txtBottom().setText(QString::fromLatin1(c.bottom));
        b.dut1.cmbStep().setEditText(QString::fromLatin1(c.step));
        b.dut1.cmbDelay().setEditText(QString::fromLatin1(c.delay));
        const long before = b.counter.dataReads;
        b.click(b.dut1, "btnDown");
        const long framesReads = 2L * c.moves;  // each move is one frame: two data reads
        EXPECT_EQ(b.counter.dataReads - before, c.moves * c.waitReadsPerMove + framesReads)
            << c.step << " every " << c.delay;
        b.expectChipsHoldThePanels(c.bottom);
    }
}

}  // namespace
}  // namespace selvar::panel
