// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel/ui/frm_main.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <string>
#include <vector>

#include "platform/toolkit/toolkit.h"

namespace selvar::panel {
namespace {

using Log = std::vector<std::string>;

std::string sent(int left, int right) {
    return "send " + std::to_string(left) + "/" + std::to_string(right);
}
std::string waited(int delay, int step) {
    return "wait " + std::to_string(delay) + "," + std::to_string(step);
}

// Notes what the panel asks of the chip link, with the codes the panel holds at each send.
class RecordingLink : public PanelLink {
  public:
    const frmMain* panel = nullptr;
    Log log;

    void sendGainWords() override {
        const chiplink::GainCodes codes = panel->gainCodes();
        log.push_back(sent(codes.left, codes.right));
    }
    void readBackGainRegisters() override { log.push_back("read back"); }
    void waitSteps(int delay, int step) override { log.push_back(waited(delay, step)); }
    void setZcdPin() override { log.push_back("zcd high"); }
    void clearZcdPin() override { log.push_back("zcd low"); }
    void clearMutePin() override { log.push_back("mute low"); }
    void setMutePin() override { log.push_back("mute high"); }
};

struct Panel {
    RecordingLink link;
    frmMain panel{link};

    Panel() { link.panel = &panel; }

    template <class W>
    W& get(const char* name) {
        W* widget = panel.findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return *widget;
    }
    platform::Slider& slider(const char* name) { return get<platform::Slider>(name); }
    std::string text(const char* label) { return get<QLabel>(label).text().toStdString(); }
    QPushButton& button(const char* name) { return get<QPushButton>(name); }

    int left() { return slider("sldLt0").value(); }
    int right() { return slider("sldRt0").value(); }
    int gang() { return slider("sldLvl0").value(); }
    int pan() { return slider("sldSkw0").value(); }

    // Puts the four sliders where a test starts, by code, and forgets what that sent.
    void setSliders(int l, int r, int g, int p) {
        slider("sldLt0").setValue(l);
        slider("sldRt0").setValue(r);
        slider("sldLvl0").setValue(g);
        slider("sldSkw0").setValue(p);
        link.log.clear();
    }
    void setRamp(const char* top, const char* bottom, const char* step, const char* delay) {
        panel.txtTop().setText(QString::fromLatin1(top));
        panel.txtBottom().setText(QString::fromLatin1(bottom));
        panel.cmbStep().setEditText(QString::fromLatin1(step));
        panel.cmbDelay().setEditText(QString::fromLatin1(delay));
    }
    void showActive() {
        panel.show();
        panel.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&panel));
    }
    // Puts the operator in a field with its text selected, as a click and select-all would.
    void typeInto(QWidget& field, const char* typed) {
        field.setFocus(Qt::MouseFocusReason);
        QTest::keyClick(&field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(&field, QString::fromLatin1(typed));
    }
};

TEST(FrmMain, StartsWithTheDesignerValuesAndRunsNoHandlerOnLoad) {
    Panel p;
    EXPECT_EQ(p.panel.windowTitle(), "Selvar Demonstration (Lead Device)");
    EXPECT_EQ((std::vector<int>{p.left(), p.right(), p.gang(), p.pan()}),
              (std::vector<int>{192, 192, 384, 0}));
    for (const char* label : {"lblLt0", "lblRt0", "lblLvl0", "lblSkw0", "lblLtCode", "lblRtCode"}) {
        EXPECT_EQ(p.text(label), "X") << label;
    }
    EXPECT_EQ(p.panel.txtTop().text(), "0");
    EXPECT_EQ(p.panel.txtBottom().text(), "-30");
    EXPECT_EQ(p.panel.cmbStep().currentText(), "X");
    EXPECT_EQ(p.panel.cmbDelay().currentText(), "5");
    for (const char* option : {"optLt0", "optRt0", "optLvl0"}) {
        EXPECT_FALSE(p.get<QRadioButton>(option).isChecked()) << option;
    }
    EXPECT_EQ(p.link.log, Log{});
}

TEST(FrmMain, ClientAreaIsItsTwipsAtTheScreensDpiAndEveryControlFitsItsFrame) {
    Panel p;
    p.panel.show();
    EXPECT_EQ(p.panel.width(), platform::twipsToPixels(7530, p.panel.logicalDpiX()));
    EXPECT_EQ(p.panel.height(), platform::twipsToPixels(3690, p.panel.logicalDpiY()));

    const auto frames = p.panel.findChildren<QGroupBox*>();
    ASSERT_EQ(frames.size(), 4);
    for (const QGroupBox* frame : frames) {
        EXPECT_TRUE(p.panel.rect().contains(frame->geometry())) << frame->objectName().data();
        const auto controls = frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (const QWidget* a : controls) {
            const std::string name = a->objectName().toStdString();
            EXPECT_TRUE(frame->rect().contains(a->geometry())) << name;
            // Captions are shown whole (a push button's caption, not the style's minimum
            // width); only the target options hide theirs by design.
            if (const auto* pushButton = qobject_cast<const QPushButton*>(a)) {
                EXPECT_GT(a->width(), a->fontMetrics().horizontalAdvance(pushButton->text()) + 4)
                    << name;
            } else if (qobject_cast<const QRadioButton*>(a) == nullptr) {
                EXPECT_GE(a->width(), a->minimumSizeHint().width()) << name;
            }
            for (const QWidget* b : controls) {
                EXPECT_TRUE(a == b || !a->geometry().intersects(b->geometry()))
                    << name << " overlaps " << b->objectName().toStdString();
            }
        }
    }
}

TEST(FrmMain, OperatorMovesKeepTheFourSlidersCoupledAndSendEveryChannelChange) {
    struct Case {
        const char* what;
        int l, r, g, p;  // start, set by code
        const char* slider;
        Qt::Key key;
        int el, er, eg, ep;  // after the operator's key
        Log sends;
    };
    // One case per line.
    // clang-format off
    const Case cases[] = {
        {"left: right louder outside the band", 99, 150, 0, 0, "sldLt0", Qt::Key_Right, 100, 150, 276, 50, {sent(100, 150), sent(100, 150)}},
        {"right: inside the band", 100, 110, 0, 0, "sldRt0", Qt::Key_Right, 100, 111, 211, 11, {sent(100, 111), sent(100, 111)}},
        {"left: odd pan", 100, 100, 0, 0, "sldLt0", Qt::Key_Right, 101, 100, 201, -1, {sent(101, 100), sent(101, 100)}},
        {"right to the top with left at 0", 0, 254, 0, 0, "sldRt0", Qt::Key_Right, 0, 255, 486, 255, {sent(0, 255), sent(0, 255)}},
        {"left page down", 202, 202, 0, 0, "sldLt0", Qt::Key_PageDown, 200, 202, 402, 2, {sent(200, 202), sent(200, 202)}},
        {"gang places left first, then right", 100, 150, 298, 50, "sldLvl0", Qt::Key_Right, 112, 162, 300, 50, {sent(112, 150), sent(112, 162)}},
        {"gang to 385 with the codes unchanged sends nothing", 192, 192, 383, 0, "sldLvl0", Qt::Key_Right, 192, 192, 385, 0, {}},
        {"gang pinned: right at 255 keeps the sum", 250, 250, 498, 20, "sldLvl0", Qt::Key_Right, 245, 255, 500, 10, {sent(250, 255), sent(245, 255)}},
        {"gang 510 with odd pan: both pinned at the top", 254, 255, 508, 1, "sldLvl0", Qt::Key_Right, 255, 255, 510, 0, {sent(255, 255)}},
        {"gang down with full pan: both pinned at the bottom", 0, 255, 2, 255, "sldLvl0", Qt::Key_Left, 0, 0, 0, 0, {sent(0, 0)}},
        {"pan pinned: right at 255 keeps the difference", 250, 250, 500, 19, "sldSkw0", Qt::Key_Right, 235, 255, 490, 20, {sent(250, 255), sent(235, 255)}},
        {"pan to 255 from gang 0", 0, 0, 0, 254, "sldSkw0", Qt::Key_Right, 0, 255, 486, 255, {sent(0, 255)}},
        {"pan centre", 190, 194, 384, 3, "sldSkw0", Qt::Key_Left, 191, 193, 384, 2, {sent(191, 194), sent(191, 193)}},
    };
    // clang-format on
    for (const auto& c : cases) {
        Panel p;
        p.setSliders(c.l, c.r, c.g, c.p);
        QTest::keyClick(&p.slider(c.slider), c.key);
        EXPECT_EQ((std::vector<int>{p.left(), p.right(), p.gang(), p.pan()}),
                  (std::vector<int>{c.el, c.er, c.eg, c.ep}))
            << c.what;
        EXPECT_EQ(p.link.log, c.sends) << c.what;
    }
}

TEST(FrmMain, LabelsFollowTheirSliders) {
    Panel p;
    p.setSliders(0, 1, 0, 0);
    QTest::keyClick(&p.slider("sldRt0"), Qt::Key_Left);   // L = R = 0
    QTest::keyClick(&p.slider("sldLt0"), Qt::Key_Right);  // L 1, R 0: Gang 1, Pan -1
    EXPECT_EQ(p.text("lblLt0"), "-95.5");
    EXPECT_EQ(p.text("lblRt0"), "-Inf");
    EXPECT_EQ(p.text("lblLvl0"), "-96.0");
    EXPECT_EQ(p.text("lblSkw0"), "-0.5");

    p.slider("sldSkw0").setValue(-255);
    p.slider("sldLvl0").setValue(385);
    EXPECT_EQ(p.text("lblSkw0"), "-127.5");
    EXPECT_EQ(p.text("lblLvl0"), "0.0");
    EXPECT_EQ(p.link.log, (Log{sent(0, 0), sent(0, 0), sent(1, 0), sent(1, 0)}))
        << "Gang and Pan assigned by code send nothing";
}

TEST(FrmMain, QuickSetCommandsStepTheSlidersAsTheChipsMustSeeThem) {
    struct Case {
        const char* what;
        int l, r, g, p;
        const char* button;
        Log sends;
        int el, er, eg, ep;
    };
    // One case per line.
    // clang-format off
    const Case cases[] = {
        {"max attenuation from unity", 192, 192, 384, 0, "btnMaxAtten", {sent(0, 192), sent(0, 0)}, 0, 0, 0, 0},
        {"max attenuation at zeros sends nothing", 0, 0, 0, 0, "btnMaxAtten", {}, 0, 0, 0, 0},
        {"unity from max attenuation", 0, 0, 0, 0, "btn0dB", {sent(192, 0), sent(192, 192)}, 192, 192, 384, 0},
        {"unity at unity sends nothing", 192, 192, 384, 0, "btn0dB", {}, 192, 192, 384, 0},
        {"unity after pan -40", 212, 172, 400, -40, "btn0dB", {sent(192, 172), sent(192, 192)}, 192, 192, 384, 0},
        {"unity from odd gang", 192, 192, 385, 0, "btn0dB", {}, 192, 192, 384, 0},
    };
    // clang-format on
    for (const auto& c : cases) {
        Panel p;
        p.setSliders(c.l, c.r, c.g, c.p);
        p.button(c.button).click();
        EXPECT_EQ(p.link.log, c.sends) << c.what;
        EXPECT_EQ((std::vector<int>{p.left(), p.right(), p.gang(), p.pan()}),
                  (std::vector<int>{c.el, c.er, c.eg, c.ep}))
            << c.what;
    }
}

TEST(FrmMain, MaxAttenuationRendersAllLabelsValidatesTheRampFieldsAndTargetsGang) {
    Panel p;
    p.get<QRadioButton>("optLt0").setChecked(true);
    p.setRamp("31.8", "-96.2", "2.50", "05");
    p.panel.setMaxAtten();
    EXPECT_EQ(p.text("lblLt0"), "-Inf");
    EXPECT_EQ(p.text("lblRt0"), "-Inf");
    EXPECT_EQ(p.text("lblLvl0"), "-Inf");
    EXPECT_EQ(p.text("lblSkw0"), "0.0");
    EXPECT_EQ(p.panel.txtTop().text(), "0.0");
    EXPECT_EQ(p.panel.txtBottom().text(), "-96.0");
    EXPECT_EQ(p.panel.cmbStep().currentText(), "2.5");
    EXPECT_EQ(p.panel.cmbDelay().currentText(), "5");
    EXPECT_TRUE(p.get<QRadioButton>("optLvl0").isChecked());
    EXPECT_FALSE(p.get<QRadioButton>("optLt0").isChecked());

    p.setRamp("0", "-30", "X", "5");  // the reset's texts, the step still the designer's
    p.panel.set0dB();
    EXPECT_EQ(p.panel.txtTop().text(), "0") << "unity leaves the ramp fields alone";
    EXPECT_TRUE(p.get<QRadioButton>("optLvl0").isChecked());
    p.panel.setMaxAtten();
    EXPECT_EQ(p.panel.cmbStep().currentText(), "0.5");
    EXPECT_EQ(p.panel.txtBottom().text(), "-30.0");
}

TEST(FrmMain, UnityRerendersTheGangLabelEvenWhenGangStaysPut) {
    Panel p;  // designer values: unity already, every label "X"
    p.panel.set0dB();
    EXPECT_EQ(p.text("lblLvl0"), "0.0");
    EXPECT_EQ(p.text("lblSkw0"), "X");
    EXPECT_EQ(p.text("lblLt0"), "X");
    EXPECT_EQ(p.link.log, Log{});
}

TEST(FrmMain, CheckBoxesDrivePinsWhateverSetsThemAndGreyActsAsChecked) {
    Panel p;
    QCheckBox& zcd = p.panel.chkZCD();
    QCheckBox& mute = p.panel.chkMute();
    QTest::keyClick(&zcd, Qt::Key_Space);
    QTest::keyClick(&mute, Qt::Key_Space);
    QTest::keyClick(&mute, Qt::Key_Space);
    zcd.setEnabled(false);
    mute.setEnabled(false);
    platform::setCheckValue(zcd, 0);
    platform::setCheckValue(zcd, 0);
    platform::setCheckValue(mute, 2);
    platform::setCheckValue(zcd, 2);
    EXPECT_EQ(p.link.log,
              (Log{"zcd high", "mute low", "mute high", "zcd low", "mute low", "zcd high"}));
}

TEST(FrmMain, InterrogateReadsBackAndTheCodesLandInTheirLabels) {
    Panel p;
    p.button("btnQuery").click();
    EXPECT_EQ(p.link.log, Log{"read back"});
    p.panel.showReadBackCodes("C0h", "5h");
    EXPECT_EQ(p.text("lblRtCode"), "C0h");
    EXPECT_EQ(p.text("lblLtCode"), "5h");
}

TEST(FrmMain, ClosingThePanelOnlyHidesIt) {
    Panel p;
    p.setSliders(10, 20, 30, 10);
    p.panel.show();
    EXPECT_FALSE(p.panel.close());
    EXPECT_FALSE(p.panel.isVisible());
    p.panel.show();
    EXPECT_EQ((std::vector<int>{p.left(), p.right(), p.gang(), p.pan()}),
              (std::vector<int>{10, 20, 30, 10}));
}

TEST(FrmMain, FieldsAreValidatedWhenTheFocusLeavesThemBeforeAButtonActs) {
    Panel p;
    p.showActive();
    p.setSliders(132, 132, 264, 0);
    p.get<QRadioButton>("optLt0").setChecked(true);
    p.setRamp("0.0", "-30.0", "0.5", "0");

    // Unvalidated, 40 dB would be code 272, beyond the slider; validated it is 0.0.
    p.typeInto(p.panel.txtTop(), "40");
    QTest::mouseClick(&p.button("btnUp"), Qt::LeftButton);
    EXPECT_EQ(p.panel.txtTop().text(), "0.0");
    EXPECT_EQ(p.left(), 192);

    // A typed step over the entry already selected is replaced by the entry's text.
    p.panel.cmbStep().setCurrentIndex(0);
    p.typeInto(p.panel.cmbStep(), "abc");
    QTest::mouseClick(&p.button("btnQuery"), Qt::LeftButton);
    EXPECT_EQ(p.panel.cmbStep().currentText(), "0.5");
    EXPECT_EQ(p.link.log.back(), "read back");
}

TEST(FrmMain, TabValidatesEachRampFieldInFocusOrder) {
    Panel p;
    p.showActive();
    const struct {
        QWidget* field;
        const char* typed;
        const char* next;
    } steps[] = {{&p.panel.txtTop(), "5.25", "txtBottom"},
                 {&p.panel.txtBottom(), "-96.3", "cmbStep"},
                 {&p.panel.cmbStep(), "3", "cmbDelay"},
                 {&p.panel.cmbDelay(), "5.0", "btnUp"}};
    for (const auto& s : steps) {
        p.typeInto(*s.field, s.typed);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget()->objectName().toStdString(), s.next) << s.typed;
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), "btnDown");
    EXPECT_EQ(p.panel.txtTop().text(), "5.0");
    EXPECT_EQ(p.panel.txtBottom().text(), "0.0");
    EXPECT_EQ(p.panel.cmbStep().currentText(), "3.0");
    EXPECT_EQ(p.panel.cmbDelay().currentText(), "5");
    EXPECT_EQ(p.panel.cmbStep().count(), 6) << "typed text is never added to a list";
}

// The Left codes a ramp steps through, each move sent and then waited for.
Log leftRamp(std::vector<int> lefts, int right, int delay, int step) {
    Log log;
    for (int left : lefts) {
        log.push_back(sent(left, right));
        log.push_back(waited(delay, step));
    }
    return log;
}

std::vector<int> countdown(int from, int to, int by) {
    std::vector<int> values;
    for (int v = from; v >= to; v -= by) {
        values.push_back(v);
    }
    return values;
}

TEST(FrmMain, RampsStepTheTargetToTheStopSendingAndWaitingAfterEveryMove) {
    struct Case {
        const char* what;
        const char* option;
        int l, r, g, p;
        const char *top, *bottom, *step, *delay;
        const char* button;
        Log expected;
        int el, er, eg, ep;
    };
    std::vector<int> thirteen = countdown(187, 132, 5);
    thirteen.push_back(130);
    // One case per line.
    // clang-format off
    const Case cases[] = {
        {"left down 0.5 dB steps", "optLt0", 192, 192, 384, 0, "0.0", "-30.0", "0.5", "5", "btnDown", leftRamp(countdown(191, 132, 1), 192, 5, 1), 132, 192, 360, 60},
        {"left down 2.5 dB steps, last move shorter", "optLt0", 192, 192, 384, 0, "0.0", "-31.0", "2.5", "5", "btnDown", leftRamp(thirteen, 192, 5, 5), 130, 192, 360, 62},
        {"no delay, last move shorter", "optLt0", 130, 192, 0, 0, "-26.0", "-90.0", "2.0", "0", "btnUp", leftRamp({134, 138, 140}, 192, 0, 4), 140, 192, 360, 52},
        {"already at the stop", "optLt0", 132, 132, 264, 0, "-30.0", "-30.0", "0.5", "5", "btnUp", {}, 132, 132, 264, 0},
        {"above the upper stop: ramp up does nothing", "optRt0", 200, 200, 400, 0, "0.0", "-30.0", "0.5", "5", "btnUp", {}, 200, 200, 400, 0},
        {"down to -96.0 ends at code 0", "optRt0", 0, 3, 3, 3, "0.0", "-96.0", "1.0", "1", "btnDown", {sent(0, 1), waited(1, 2), sent(0, 0), waited(1, 2)}, 0, 0, 0, 0},
        {"up to 31.5 ends at code 255 with a short last move", "optLt0", 250, 250, 500, 0, "31.5", "-30.0", "3.0", "0", "btnUp", {sent(255, 250), waited(0, 6)}, 255, 250, 505, -5},
        {"gang from 385 moves to even values", "optLvl0", 192, 192, 385, 0, "0.0", "-1.0", "0.5", "2", "btnDown", {sent(191, 192), sent(191, 191), waited(2, 1), sent(190, 191), sent(190, 190), waited(2, 1)}, 190, 190, 380, 0},
        {"gang at its stop code stays odd", "optLvl0", 192, 192, 385, 0, "0.0", "-30.0", "0.5", "5", "btnUp", {}, 192, 192, 385, 0},
        {"no target: nothing moves", nullptr, 100, 100, 200, 0, "0.0", "-96.0", "0.5", "5", "btnDown", {}, 100, 100, 200, 0},
    };
    // clang-format on
    for (const auto& c : cases) {
        Panel p;
        p.setSliders(c.l, c.r, c.g, c.p);
        if (c.option != nullptr) {
            p.get<QRadioButton>(c.option).setChecked(true);
        }
        p.setRamp(c.top, c.bottom, c.step, c.delay);
        p.button(c.button).click();
        EXPECT_EQ(p.link.log, c.expected) << c.what;
        EXPECT_EQ((std::vector<int>{p.left(), p.right(), p.gang(), p.pan()}),
                  (std::vector<int>{c.el, c.er, c.eg, c.ep}))
            << c.what;
    }
}

TEST(FrmMain, EitherRampButtonPutsUpsideDownStopsInOrderFirst) {
    for (const char* button : {"btnUp", "btnDown"}) {
        for (const char* option : {"optLt0", static_cast<const char*>(nullptr)}) {
            Panel p;
            p.setSliders(120, 120, 240, 0);
            if (option != nullptr) {
                p.get<QRadioButton>(option).setChecked(true);
            }
            p.setRamp("-40.0", "-30.0", "3.0", "0");
            p.button(button).click();
            EXPECT_EQ(p.panel.txtTop().text(), "-30.0") << button;
            EXPECT_EQ(p.panel.txtBottom().text(), "-40.0") << button;
            const int expected = option == nullptr                ? 120
                                 : std::string(button) == "btnUp" ? 132
                                                                  : 112;
            EXPECT_EQ(p.left(), expected) << button << (option ? " with target" : " no target");
        }
    }
}

}  // namespace
}  // namespace selvar::panel
