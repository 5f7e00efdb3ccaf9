// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTextStream>
#include <set>

#include "entry_test_program.h"
#include "platform/bus_trace.h"
#include "platform/toolkit/toolkit.h"

namespace selvar::entry {
namespace {

using testing::TestProgram;

std::vector<std::string> concat(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

const std::vector<std::string> kTwoReadBacks = {"readback 0000 0000", "readback 0000 0000"};

// What every reset leaves on a panel, whatever it held before.
void expectPanelReset(TestProgram& p, panel::frmMain& panel, const char* which) {
    SCOPED_TRACE(which);
    EXPECT_EQ(p.control<QLineEdit>(panel, "txtTop").text(), "0.0");
    EXPECT_EQ(p.control<QLineEdit>(panel, "txtBottom").text(), "-30.0");
    EXPECT_EQ(p.control<QComboBox>(panel, "cmbStep").currentText(), "0.5");
    EXPECT_EQ(p.control<QComboBox>(panel, "cmbDelay").currentText(), "5");
    for (const char* slider : {"sldLt0", "sldRt0", "sldLvl0", "sldSkw0"}) {
        EXPECT_EQ(p.control<QSlider>(panel, slider).value(), 0) << slider;
    }
    for (const char* label : {"lblLt0", "lblRt0", "lblLvl0"}) {
        EXPECT_EQ(p.control<QLabel>(panel, label).text(), "-Inf") << label;
    }
    EXPECT_EQ(p.control<QLabel>(panel, "lblSkw0").text(), "0.0");
    EXPECT_TRUE(p.control<QRadioButton>(panel, "optLvl0").isChecked()) << "Gang is the target";
    EXPECT_EQ(platform::checkValue(panel.chkMute()), 0);
    EXPECT_EQ(platform::checkValue(panel.chkZCD()), 0);
    EXPECT_EQ(p.control<QLabel>(panel, "lblLtCode").text(), "0h");
    EXPECT_EQ(p.control<QLabel>(panel, "lblRtCode").text(), "0h");
}

// Dual topology, both panels shown, mute and ZCD worked from the DUT1 panel, odd codes and
// odd ramp fields, Left as the ramp target.
void makeDirty(TestProgram& p) {
    frmEntry& e = p.entry();
    p.control<QRadioButton>(e, "opt2DUT").click();
    p.control<QPushButton>(e, "btnDUT1").click();
    p.control<QPushButton>(e, "btnDUT2").click();
    p.dut1().chkMute().click();
    p.dut1().chkZCD().click();
    struct Codes {
        panel::frmMain* panel;
        int left, right, gang, pan;
    };
    for (const Codes& c :
         {Codes{&p.dut2(), 37, 101, 139, 64}, Codes{&p.dut1(), 77, 140, 217, 63}}) {
        p.control<QSlider>(*c.panel, "sldLt0").setValue(c.left);
        p.control<QSlider>(*c.panel, "sldRt0").setValue(c.right);
        p.control<QSlider>(*c.panel, "sldLvl0").setValue(c.gang);
        p.control<QSlider>(*c.panel, "sldSkw0").setValue(c.pan);
        p.control<QRadioButton>(*c.panel, "optLt0").click();
        c.panel->txtTop().setText("12.3");
        c.panel->txtBottom().setText("abc");
        c.panel->cmbStep().setEditText("2.7");
        c.panel->cmbDelay().setEditText("7");
    }
}

// The reset of makeDirty's state: each panel's steps, DUT2's first, and only then the release
// of mute, on both panels. DUT1's mute box was already checked, so its reset engages nothing;
// its ZCD box too, so only the unchecking drives the line.
const std::vector<std::string> kDirtyReset = concat({
    {"pin zcd=1 mute=0", "pin zcd=1 mute=0", "pin zcd=0 mute=0", "send 6500 8c4d",
     "send 0000 8c4d"},
    {"pin zcd=0 mute=0", "send 0000 8c00", "send 0000 0000"},
    {"pin zcd=0 mute=1", "pin zcd=0 mute=1"},
    kTwoReadBacks,
});

// Mute is released only once both chips are at maximum attenuation, whether the operator had
// muted before or not: a reset never plays either chip at its old gain.
TEST(EntryReset, NoGainFrameGoesOutWithMuteReleased) {
    for (const bool mutedBefore : {true, false}) {
        TestProgram p;
        makeDirty(p);
        if (!mutedBefore) {
            p.dut1().chkMute().click();
        }
        ASSERT_EQ(p.board().muted(), mutedBefore);
        p.log().accesses.clear();
        p.control<QPushButton>(p.entry(), "btnResetAll").click();

        int frames = 0;
        for (const chiplink::BusEvent& e : selvar::testing::decodeBus(p.log().accesses, 0x378)) {
            if (e.kind == chiplink::BusEvent::Kind::Gain) {
                ++frames;
                EXPECT_FALSE(e.muteHigh) << "muted before: " << mutedBefore;
            }
        }
        EXPECT_EQ(frames, 4) << "muted before: " << mutedBefore;
        EXPECT_FALSE(p.board().muted());
    }
}

TEST(EntryReset, ResetAllBringsADirtyProgramBackToTheInitialState) {
    TestProgram p;
    makeDirty(p);
    ASSERT_TRUE(p.board().muted());
    ASSERT_TRUE(p.board().zcdHigh());
    ASSERT_EQ(p.dut2().gainCodes().left, 37);
    p.log().accesses.clear();

    p.control<QPushButton>(p.entry(), "btnResetAll").click();

    EXPECT_EQ(testing::busEvents(p.log().accesses, 0x378), kDirtyReset);

    frmEntry& e = p.entry();
    EXPECT_TRUE(p.control<QRadioButton>(e, "opt1DUT").isChecked());
    EXPECT_TRUE(p.control<QRadioButton>(e, "opt378h").isChecked()) << "the port stays";
    EXPECT_FALSE(p.control<QPushButton>(e, "btnDUT2").isEnabled());
    EXPECT_FALSE(p.dut2().isVisible());
    EXPECT_TRUE(p.dut1().isVisible()) << "a shown DUT1 panel stays shown";
    EXPECT_FALSE(p.dut2().chkZCD().isEnabled());
    EXPECT_FALSE(p.dut2().chkMute().isEnabled());
    expectPanelReset(p, p.dut2(), "DUT2");
    expectPanelReset(p, p.dut1(), "DUT1");
    EXPECT_EQ(p.board().gainRegister(0), 0);
    EXPECT_EQ(p.board().gainRegister(1), 0);
    EXPECT_FALSE(p.board().muted());
    EXPECT_FALSE(p.board().zcdHigh());
}

TEST(EntryReset, ChoosingAPortRunsTheWholeResetThere) {
    struct Case {
        const char* option;
        std::uint16_t base;
    };
    for (const Case& c : {Case{"opt278h", 0x278}, Case{"opt3BCh", 0x3BC}}) {
        SCOPED_TRACE(c.option);
        TestProgram p;
        makeDirty(p);
        p.log().accesses.clear();

        p.control<QRadioButton>(p.entry(), c.option).click();

        const std::vector<std::string> lines = p.log().lines();
        ASSERT_GE(lines.size(), 2u);
        char first[2][16];
        std::snprintf(first[0], sizeof first[0], "W %03x 00", c.base + 1);
        std::snprintf(first[1], sizeof first[1], "W %03x 00", c.base + 2);
        EXPECT_EQ(lines[0], first[0]);
        EXPECT_EQ(lines[1], first[1]);
        for (const testing::Access& a : p.log().accesses) {
            ASSERT_TRUE(a.address >= c.base && a.address <= c.base + 2) << std::hex << a.address;
        }
        EXPECT_EQ(testing::busEvents(p.log().accesses, c.base), kDirtyReset);
        EXPECT_FALSE(p.control<QRadioButton>(p.entry(), "opt378h").isChecked());
        EXPECT_FALSE(p.dut2().isVisible());
        expectPanelReset(p, p.dut2(), "DUT2");
        expectPanelReset(p, p.dut1(), "DUT1");
        EXPECT_EQ(p.board().gainRegister(0), 0);
        EXPECT_FALSE(p.board().muted());

        // Choosing the port that is already selected runs nothing.
        p.log().accesses.clear();
        p.control<QRadioButton>(p.entry(), c.option).click();
        EXPECT_TRUE(p.log().accesses.empty());
    }
}

TEST(EntryReset, ReadBackFindsTheChainOnTheBoard) {
    struct Case {
        int chips;
        const char* dut2Code;
        const char* dut1Code;
    };
    for (const Case& c : {Case{0, "XXh", "XXh"}, Case{1, "XXh", "0h"}, Case{2, "0h", "0h"}}) {
        TestProgram p(testing::unpacedBoard(c.chips));
        EXPECT_EQ(p.control<QLabel>(p.dut2(), "lblLtCode").text(), c.dut2Code) << c.chips;
        EXPECT_EQ(p.control<QLabel>(p.dut2(), "lblRtCode").text(), c.dut2Code) << c.chips;
        EXPECT_EQ(p.control<QLabel>(p.dut1(), "lblLtCode").text(), c.dut1Code) << c.chips;
        EXPECT_EQ(p.control<QLabel>(p.dut1(), "lblRtCode").text(), c.dut1Code) << c.chips;
    }
}

// Refuses the LPTs it is told to, as a machine without that port or without the right to it.
class RefusingProvider : public platform::PortProvider {
  public:
    explicit RefusingProvider(std::set<int> refused)
        : sim_(testing::unpacedBoard()), refused_(std::move(refused)) {}
    Opened open(int lpt, std::uint16_t base) override {
        if (refused_.count(lpt)) {
            return {nullptr, "/dev/parport" + std::to_string(lpt - 1) +
                                 ": Permission denied (join group lp)"};
        }
        return sim_.open(lpt, base);
    }

  private:
    platform::SimPortProvider sim_;
    std::set<int> refused_;
};

TEST(EntryPortFailure, IsReportedOnceAndTheProgramCarriesOnWithThePortAbsent) {
    TestProgram p(std::make_unique<RefusingProvider>(std::set<int>{1}));
    ASSERT_EQ(p.failures().size(), 1u);
    EXPECT_EQ(p.failures()[0], "/dev/parport0: Permission denied (join group lp)");
    EXPECT_FALSE(p.program().port().present());
    // The reset still ran; an empty port reads 0xFF, so the read-back finds no chip.
    EXPECT_EQ(TestProgram::visibleWindows(), std::vector<QWidget*>{&p.entry()});
    EXPECT_EQ(p.control<QLabel>(p.dut1(), "lblLtCode").text(), "XXh");
    EXPECT_EQ(p.dut1().txtTop().text(), "0.0");
    QLabel& status = p.control<QLabel>(p.entry(), "lblStatus");
    EXPECT_EQ(status.text(), "LPT1 not open: /dev/parport0: Permission denied (join group lp)");

    p.control<QPushButton>(p.entry(), "btnResetAll").click();
    EXPECT_EQ(p.failures().size(), 1u) << "an absent port is not reported on every access";

    p.control<QRadioButton>(p.entry(), "opt278h").click();
    EXPECT_EQ(p.failures().size(), 1u);
    EXPECT_TRUE(p.program().port().present());
    EXPECT_EQ(p.control<QLabel>(p.dut1(), "lblLtCode").text(), "0h");
    EXPECT_EQ(status.text(), "Simulated board, 2 chips; 2 chips answer");
}

TEST(EntryTrace, HoldsEveryAccessOnceTheProgramHasGone) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("bus.log").toStdString();
    std::vector<std::string> expected;
    {
        std::string error;
        auto file = platform::openBusTrace(path, 0, error);
        ASSERT_TRUE(file) << error;
        // The trace file and the test's own record observe the same accesses side by side.
        TestProgram p(std::make_unique<platform::SimPortProvider>(testing::unpacedBoard()),
                      std::move(file));
        p.control<QRadioButton>(p.entry(), "opt278h").click();
        expected = p.log().lines();
    }
    QFile trace(QString::fromStdString(path));
    ASSERT_TRUE(trace.open(QIODevice::ReadOnly | QIODevice::Text));
    std::vector<std::string> lines;
    QTextStream in(&trace);
    while (!in.atEnd()) {
        lines.push_back(in.readLine().toStdString());
    }
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "W 379 00");
    EXPECT_EQ(lines[1], "W 37a 00");
    EXPECT_EQ(lines, expected);
}

}  // namespace
}  // namespace selvar::entry
