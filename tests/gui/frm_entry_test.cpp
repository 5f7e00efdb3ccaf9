// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/frm_entry.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include "entry/placement.h"
#include "entry_test_program.h"
#include "monitor/frm_bus.h"
#include "platform/toolkit/toolkit.h"

namespace selvar::entry {
namespace {

using testing::TestProgram;

TEST(EntryStartUp, PreparesLpt1AndResetsEverythingBeforeTheWindowIsShown) {
    TestProgram p;
    const std::vector<std::string> lines = p.log().lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "W 379 00");
    EXPECT_EQ(lines[1], "W 37a 00");
    for (const testing::Access& a : p.log().accesses) {
        ASSERT_TRUE(a.address >= 0x378 && a.address <= 0x37a) << std::hex << a.address;
    }
    // From the designer codes (192 everywhere) and the data latch's power-on 0 (muted): the far
    // panel first, both panels' attenuation under mute, mute released on both, then two
    // read-backs.
    const std::vector<std::string> expected = {
        "pin zcd=0 mute=0",   "pin zcd=1 mute=0",  "pin zcd=0 mute=0", "send c000 c0c0",
        "send 0000 c0c0",     "pin zcd=0 mute=0",  "pin zcd=1 mute=0", "pin zcd=0 mute=0",
        "send 0000 c000",     "send 0000 0000",    "pin zcd=0 mute=1", "pin zcd=0 mute=1",
        "readback 0000 0000", "readback 0000 0000"};
    EXPECT_EQ(testing::busEvents(p.log().accesses, 0x378), expected);

    EXPECT_EQ(p.board().gainRegister(0), 0);
    EXPECT_EQ(p.board().gainRegister(1), 0);
    EXPECT_FALSE(p.board().muted());
    EXPECT_FALSE(p.board().zcdHigh());
    EXPECT_EQ(p.board().controlRegister(), 0);
    EXPECT_TRUE(p.failures().empty());
}

TEST(EntryStartUp, LeavesOnlyTheEntryWindowShownWithTheDefaultsSelected) {
    TestProgram p;
    frmEntry& e = p.entry();
    EXPECT_EQ(TestProgram::visibleWindows(), std::vector<QWidget*>{&e});
    EXPECT_EQ(e.objectName(), "frmEntry");
    EXPECT_EQ(e.windowTitle(), "Orvane Selvar [Main]");
    EXPECT_EQ(p.dut1().windowTitle(), "Orvane Selvar [DUT1]");
    EXPECT_EQ(p.dut2().windowTitle(), "Orvane Selvar [DUT2]");
    EXPECT_FALSE(p.dut1().parentWidget());
    EXPECT_FALSE(p.dut2().parentWidget());

    struct Option {
        const char* name;
        bool selected;
    };
    for (const Option& o :
         {Option{"opt378h", true}, Option{"opt278h", false}, Option{"opt3BCh", false},
          Option{"opt1DUT", true}, Option{"opt2DUT", false}}) {
        EXPECT_EQ(p.control<QRadioButton>(e, o.name).isChecked(), o.selected) << o.name;
    }
    EXPECT_TRUE(p.control<QPushButton>(e, "btnDUT1").isEnabled());
    EXPECT_TRUE(p.control<QPushButton>(e, "btnResetAll").isEnabled());
    EXPECT_FALSE(p.control<QPushButton>(e, "btnDUT2").isEnabled());

    EXPECT_FALSE(p.dut2().chkZCD().isEnabled());
    EXPECT_FALSE(p.dut2().chkMute().isEnabled());
    EXPECT_TRUE(p.dut1().chkZCD().isEnabled());
    EXPECT_TRUE(p.dut1().chkMute().isEnabled());
}

TEST(EntryWindow, ShowsItsControlsWithTheirCaptionsTooltipsAndFrames) {
    struct Control {
        const char* name;
        const char* frame;  // the parent's objectName
        const char* caption;
        const char* tooltip;
    };
    const Control controls[] = {
        {"fraPCItfc", "frmEntry", "PC Interface Port", ""},
        {"opt378h", "fraPCItfc", "Port 378h:  LPT1", ""},
        {"opt278h", "fraPCItfc", "Port 278h:  LPT2", ""},
        {"opt3BCh", "fraPCItfc", "Port 3BCh:  LPT3", ""},
        {"fraCBus", "frmEntry", "Selvar Control Bus", "Select daisy-chain configuration"},
        {"opt1DUT", "fraCBus", "Single DUT", "One demo board, no ribbon cable"},
        {"opt2DUT", "fraCBus", "Dual DUT (Daisy-Chain)", "Two demo boards, one ribbon cable"},
        {"btnResetAll", "frmEntry", "Reset All", "Reset: initial state"},
        {"btnDUT1", "frmEntry", "DUT1 Panel", "Show: PC-side DUT"},
        {"btnDUT2", "frmEntry", "DUT2 Panel", "Show: far-side DUT"},
        {"btnBus", "frmEntry", "Bus Monitor", "Show: bus monitor"},
        {"btnMeasure", "frmEntry", "Measure", "Show: measurement window"},
        {"btnSaveSetup", "frmEntry", "Save Setup...", "Save: port, boards, gains, lines, ramps"},
        {"btnLoadSetup", "frmEntry", "Load Setup...", "Load: a saved setup"},
    };
    TestProgram p;
    frmEntry& e = p.entry();
    for (const Control& c : controls) {
        QWidget& w = p.control<QWidget>(e, c.name);
        const auto* frame = qobject_cast<QGroupBox*>(&w);
        const auto* button = qobject_cast<QAbstractButton*>(&w);
        ASSERT_TRUE(frame || button) << c.name;
        EXPECT_EQ(frame ? frame->title() : button->text(), c.caption) << c.name;
        EXPECT_EQ(w.toolTip(), c.tooltip) << c.name;
        EXPECT_EQ(w.parentWidget()->objectName(), c.frame) << c.name;
        EXPECT_TRUE(w.isVisible()) << c.name;
        EXPECT_TRUE(w.parentWidget()->rect().contains(w.geometry())) << c.name;
        if (button) {
            EXPECT_LE(button->sizeHint().width(), button->width()) << c.name << ": caption clipped";
        }
    }
    // The window grew at the bottom only: the status line lies below every control above.
    const double dpi = e.screen()->logicalDotsPerInch();
    EXPECT_EQ(e.size(),
              QSize(platform::twipsToPixels(4155, dpi), platform::twipsToPixels(3795, dpi)));
    const QRect status = p.control<QLabel>(e, "lblStatus").geometry();
    EXPECT_GT(status.top(), p.control<QWidget>(e, "fraCBus").geometry().bottom());
    EXPECT_GT(status.top(), p.control<QWidget>(e, "btnDUT2").geometry().bottom());
}

// The status line names the board the port reaches and the chain the last read-back found, and
// warns of a chain shorter than the topology selected.
TEST(EntryStatus, SaysWhatThePortReachesAndWarnsOfAMissingChip) {
    struct Case {
        int chips;
        bool dual;
        const char* text;
    };
    const Case cases[] = {
        {2, false, "Simulated board, 2 chips; 2 chips answer"},
        {2, true, "Simulated board, 2 chips; 2 chips answer"},
        {1, false, "Simulated board, 1 chip; 1 chip answers"},
        {1, true,
         "Simulated board, 1 chip; 1 chip answers\n"
         "Warning: Dual DUT, but the chain holds 1 chip."},
        {0, false,
         "Simulated board, 0 chips; no chip answers\n"
         "Warning: check the cable and the boards' power."},
    };
    for (const Case& c : cases) {
        TestProgram p(testing::unpacedBoard(c.chips));
        if (c.dual) {
            p.control<QRadioButton>(p.entry(), "opt2DUT").click();
        }
        EXPECT_EQ(p.control<QLabel>(p.entry(), "lblStatus").text().toStdString(), c.text)
            << c.chips << (c.dual ? " dual" : " single");
    }
}

// Every window carries the program's icon: at 32 pixels, its dark blue ground at the left edge.
TEST(ProgramWindows, CarryTheProgramsIcon) {
    TestProgram p;
    for (QWidget* w :
         {static_cast<QWidget*>(&p.entry()), static_cast<QWidget*>(&p.dut1()),
          static_cast<QWidget*>(&p.dut2()), static_cast<QWidget*>(&p.program().frmBus())}) {
        const QImage image = w->windowIcon().pixmap(32, 32).toImage();
        ASSERT_FALSE(image.isNull()) << w->objectName().toStdString();
        EXPECT_EQ(image.pixelColor(4, 16), QColor(0x1f, 0x3b, 0x57))
            << w->objectName().toStdString();
    }
}

TEST(EntryWindow, TabVisitsTheSelectedOptionsAndTheEnabledButtonsInOrder) {
    TestProgram p;
    frmEntry& e = p.entry();
    e.activateWindow();
    QApplication::setActiveWindow(&e);
    const auto tabFrom = [&](const char* start, int presses) {
        p.control<QWidget>(e, start).setFocus(Qt::TabFocusReason);
        std::vector<std::string> visited;
        for (int i = 0; i < presses; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited.push_back(QApplication::focusWidget()->objectName().toStdString());
        }
        return visited;
    };
    EXPECT_EQ(tabFrom("opt1DUT", 8),
              (std::vector<std::string>{"opt378h", "btnDUT1", "btnResetAll", "btnBus", "btnMeasure",
                                        "btnSaveSetup", "btnLoadSetup", "opt1DUT"}));
    p.control<QRadioButton>(e, "opt2DUT").click();
    EXPECT_EQ(tabFrom("opt2DUT", 9),
              (std::vector<std::string>{"opt378h", "btnDUT1", "btnDUT2", "btnResetAll", "btnBus",
                                        "btnMeasure", "btnSaveSetup", "btnLoadSetup", "opt2DUT"}));
}

TEST(EntryStartUp, PlacesTheEntryFromTheScreenAndCascadesThePanelsFromIt) {
    TestProgram p;
    frmEntry& e = p.entry();
    const double dpi = e.screen()->logicalDotsPerInch();
    const QSize screen = e.screen()->size();
    const WindowPosition entry =
        placeEntry(twipsOf(screen.width(), dpi), twipsOf(screen.height(), dpi));
    const auto px = [dpi](long long twips) {
        return platform::twipsToPixels(static_cast<int>(twips), dpi);
    };
    EXPECT_EQ(e.pos(), QPoint(px(entry.left), px(entry.top)));
    // The DUT1 panel's height, not its width, sets the cascade.
    const PanelPositions panels = placePanels(entry, twipsOf(e.frameGeometry().width(), dpi),
                                              twipsOf(p.dut1().frameGeometry().height(), dpi));
    // Where the rule's place fits the available screen area, the window is there; where it would
    // reach past it (the offscreen screen is small: DUT1 does), it is moved inside, unresized.
    const QRect available = e.screen()->availableGeometry();
    const auto expectPlaced = [&available](const QWidget& w, QPoint rule, const char* name) {
        const QRect outer = w.frameGeometry();
        const QRect wanted(rule, outer.size());
        EXPECT_TRUE(available.contains(outer)) << name;
        // Moved just far enough: to the edge it would have crossed, else where the rule says.
        EXPECT_EQ(wanted.right() > available.right() ? outer.right() : outer.left(),
                  wanted.right() > available.right() ? available.right() : rule.x())
            << name;
        EXPECT_EQ(wanted.bottom() > available.bottom() ? outer.bottom() : outer.top(),
                  wanted.bottom() > available.bottom() ? available.bottom() : rule.y())
            << name;
    };
    expectPlaced(p.dut1(), QPoint(px(panels.dut1.left), px(panels.dut1.top)), "DUT1");
    expectPlaced(p.dut2(), QPoint(px(panels.dut2.left), px(panels.dut2.top)), "DUT2");
    EXPECT_GT(p.dut2().y(), p.dut1().y());
}

TEST(EntryTopology, ShowsAndHidesThePanelsWithoutTouchingThePortOrTheirControls) {
    TestProgram p;
    frmEntry& e = p.entry();
    auto& single = p.control<QRadioButton>(e, "opt1DUT");
    auto& dual = p.control<QRadioButton>(e, "opt2DUT");
    auto& btnDUT1 = p.control<QPushButton>(e, "btnDUT1");
    auto& btnDUT2 = p.control<QPushButton>(e, "btnDUT2");
    p.control<QSlider>(p.dut2(), "sldLt0").setValue(77);
    p.dut1().txtTop().setText("-12.5");
    const std::size_t accessesBefore = p.log().accesses.size();

    dual.click();
    EXPECT_TRUE(btnDUT2.isEnabled());
    EXPECT_EQ(TestProgram::visibleWindows(), std::vector<QWidget*>{&e}) << "dual opens nothing";
    btnDUT2.click();
    EXPECT_TRUE(p.dut2().isVisible());
    EXPECT_TRUE(p.dut2().isWindow());

    single.click();
    EXPECT_FALSE(btnDUT2.isEnabled());
    EXPECT_FALSE(p.dut2().isVisible());
    btnDUT2.click();  // disabled: nothing happens
    EXPECT_FALSE(p.dut2().isVisible());
    dual.click();
    btnDUT2.click();
    EXPECT_TRUE(p.dut2().isVisible());
    EXPECT_EQ(p.dut2().gainCodes().left, 77) << "shown again unchanged";

    btnDUT1.click();
    btnDUT1.click();  // already shown: stays shown
    EXPECT_TRUE(p.dut1().isVisible());
    EXPECT_FALSE(p.dut1().close()) << "a panel refuses to close";
    EXPECT_FALSE(p.dut1().isVisible());
    btnDUT1.click();
    EXPECT_TRUE(p.dut1().isVisible());
    EXPECT_EQ(p.dut1().txtTop().text(), "-12.5");

    EXPECT_EQ(p.log().accesses.size(), accessesBefore);
    EXPECT_FALSE(p.dut2().chkZCD().isEnabled());
    EXPECT_FALSE(p.dut2().chkMute().isEnabled());
}

// Counts the close requests a window receives.
class CloseCounter : public QObject {
  public:
    int closes = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        closes += event->type() == QEvent::Close;
        return false;
    }
};

TEST(EntryShutDown, ClosingTheEntryEndsTheEventLoopWithoutAskingThePanels) {
    TestProgram p;
    frmEntry& e = p.entry();
    p.control<QRadioButton>(e, "opt2DUT").click();
    p.control<QPushButton>(e, "btnDUT1").click();
    p.control<QPushButton>(e, "btnDUT2").click();
    CloseCounter panelCloses;
    p.dut1().installEventFilter(&panelCloses);
    p.dut2().installEventFilter(&panelCloses);
    const std::size_t accessesBefore = p.log().accesses.size();

    QTimer::singleShot(0, &e, [&e] { e.close(); });
    // A stray second window would keep a quit()-based shut-down waiting; exit(0) does not.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    watchdog.start(10000);
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_EQ(panelCloses.closes, 0);
    EXPECT_FALSE(e.isVisible());
    EXPECT_EQ(p.log().accesses.size(), accessesBefore) << "nothing is sent at shut-down";
}

}  // namespace
}  // namespace selvar::entry
