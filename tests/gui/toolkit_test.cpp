// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/toolkit/toolkit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QVBoxLayout>
#include <string>
#include <vector>

namespace selvar::platform {
namespace {

using Events = std::vector<std::string>;

// A Left-style slider whose Scroll and Change handlers note the value they see.
struct RecordedSlider {
    Slider slider;
    Events events;
    RecordedSlider() {
        slider.setRange(0, 255);
        slider.setSingleStep(1);
        slider.setPageStep(2);
        slider.setValue(192);
        QObject::connect(&slider, &Slider::scroll,
                         [this] { events.push_back("Scroll " + std::to_string(slider.value())); });
        QObject::connect(&slider, &Slider::change,
                         [this] { events.push_back("Change " + std::to_string(slider.value())); });
    }
};

TEST(ToolkitSlider, CodeAssignmentRaisesChangeOnlyWhenTheValueChanges) {
    RecordedSlider s;
    s.slider.setValue(100);
    s.slider.setValue(100);
    s.slider.setValue(300);  // clamped to the maximum
    s.slider.setValue(255);
    EXPECT_EQ(s.events, (Events{"Change 100", "Change 255"}));
}

TEST(ToolkitSlider, OperatorKeysRaiseScrollWithTheNewValueThenChange) {
    struct Case {
        int start;
        Qt::Key key;
        Events expected;
    };
    const Case cases[] = {
        {192, Qt::Key_Right, {"Scroll 193", "Change 193"}},
        {192, Qt::Key_Left, {"Scroll 191", "Change 191"}},
        {192, Qt::Key_Up, {"Scroll 193", "Change 193"}},
        {192, Qt::Key_PageUp, {"Scroll 194", "Change 194"}},
        {192, Qt::Key_PageDown, {"Scroll 190", "Change 190"}},
        {192, Qt::Key_Home, {"Scroll 0", "Change 0"}},
        {254, Qt::Key_PageUp, {"Scroll 255", "Change 255"}},
        {255, Qt::Key_Right, {}},  // at the maximum nothing changes, nothing runs
        {0, Qt::Key_PageDown, {}},
        {255, Qt::Key_End, {}},
    };
    for (const auto& c : cases) {
        RecordedSlider s;
        s.slider.setValue(c.start);
        s.events.clear();
        QTest::keyClick(&s.slider, c.key);
        EXPECT_EQ(s.events, c.expected) << "start " << c.start << " key " << c.key;
    }
}

TEST(ToolkitSlider, AnOperatorMoveThatChangesNothingLeavesNoScrollPendingForCode) {
    RecordedSlider s;
    s.slider.setValue(255);
    QTest::keyClick(&s.slider, Qt::Key_Right);
    s.events.clear();
    s.slider.setValue(10);
    EXPECT_EQ(s.events, (Events{"Change 10"}));
}

TEST(ToolkitSlider, AnAssignmentInsideScrollRaisesOnlyChangeAndHandlersSeeTheLatestValue) {
    RecordedSlider s;
    bool reassigned = false;
    QObject::connect(&s.slider, &Slider::scroll, [&] {
        if (!reassigned) {
            reassigned = true;
            s.slider.setValue(200);
        }
    });
    QTest::keyClick(&s.slider, Qt::Key_Right);
    EXPECT_EQ(s.events, (Events{"Scroll 193", "Change 200", "Change 200"}));
    EXPECT_EQ(s.slider.value(), 200);
}

TEST(ToolkitSlider, AClickOnTheTrackIsAnOperatorMove) {
    RecordedSlider s;
    s.slider.resize(300, 30);
    s.slider.setValue(0);
    s.events.clear();
    QTest::mouseClick(&s.slider, Qt::LeftButton, {}, QPoint(290, 15));
    ASSERT_FALSE(s.events.empty());
    EXPECT_EQ(s.events.front(), "Scroll 2");
    EXPECT_EQ(s.events.back(), "Change " + std::to_string(s.slider.value()));
}

TEST(ToolkitSlider, PaintsTheSelectionRangeAsTheOnlyHighlightOnTheGroove) {
    Slider slider;
    slider.setRange(0, 255);
    slider.resize(300, 30);
    slider.setSelectionRange(192, 255);
    const QColor highlight = slider.palette().color(QPalette::Active, QPalette::Highlight);
    // Sample the groove's middle row: inside the band (between the positions of 192 and 255)
    // and well left of it.
    auto colourAt = [&](int value, double fraction) {
        slider.setValue(value);
        const QImage image = slider.grab().toImage();
        return image.pixelColor(static_cast<int>(image.width() * fraction), image.height() / 2);
    };
    EXPECT_EQ(colourAt(0, 0.87), highlight);
    EXPECT_NE(colourAt(0, 0.45), highlight);
    // Wherever the handle stands, the groove away from it and from the band looks the same.
    EXPECT_EQ(colourAt(255, 0.45), colourAt(0, 0.45));

    slider.setSelectionRange(1, 0);  // no range
    EXPECT_NE(colourAt(0, 0.87), highlight);
}

TEST(ToolkitCheckBox, ValuesRaiseClickByCodeAlsoWhenDisabledAndOnlyOnChange) {
    CheckBox box;
    box.setEnabled(false);
    std::vector<int> clicks;
    onClick(box, [&] { clicks.push_back(checkValue(box)); });

    const int assigned[] = {1, 1, 2, 2, 0, 0, 2, 1};
    for (int value : assigned) {
        setCheckValue(box, value);
        EXPECT_EQ(checkValue(box), value);
    }
    EXPECT_EQ(clicks, (std::vector<int>{1, 2, 0, 2, 1}));
}

TEST(ToolkitCheckBox, TheOperatorOnlyTogglesEvenFromGrey) {
    CheckBox box;
    std::vector<int> clicks;
    onClick(box, [&] { clicks.push_back(checkValue(box)); });
    setCheckValue(box, 2);
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(&box, Qt::Key_Space);
    }
    EXPECT_EQ(clicks, (std::vector<int>{2, 0, 1, 0}));
}

TEST(ToolkitOption, SelectionByCodeRaisesClickOfTheNewlySelectedOnly) {
    QWidget group;
    auto* first = new QRadioButton(&group);
    auto* second = new QRadioButton(&group);
    Events events;
    onClick(*first, [&] { events.push_back("first"); });
    onClick(*second, [&] { events.push_back("second"); });
    EXPECT_FALSE(first->isChecked() || second->isChecked());

    first->setChecked(true);
    second->setChecked(true);
    second->setChecked(true);
    EXPECT_EQ(events, (Events{"first", "second"}));
    EXPECT_FALSE(first->isChecked());
}

// A small window with a text field, an editable combo box and a command button.
struct FocusWindow {
    QWidget window;
    QLineEdit* field = new QLineEdit(&window);
    QComboBox* combo = new QComboBox(&window);
    QPushButton* button = new QPushButton("Go", &window);
    Events events;

    FocusWindow() {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(field);
        layout->addWidget(combo);
        layout->addWidget(button);
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->addItems({"0.5", "1.0"});
        onValidate(*field, [this] { events.push_back("validate field " + text(*field)); });
        onValidate(*combo, [this] { events.push_back("validate combo " + text(*combo)); });
        onClick(*button, [this] { events.push_back("click"); });
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    static std::string text(const QLineEdit& e) { return e.text().toStdString(); }
    static std::string text(const QComboBox& c) { return c.currentText().toStdString(); }
};

TEST(ToolkitValidate, AFieldIsValidatedBeforeTheButtonClickedOutOfItRuns) {
    FocusWindow w;
    w.field->setFocus();
    QTest::keyClicks(w.field, "abc");
    QTest::mouseClick(w.button, Qt::LeftButton);
    EXPECT_EQ(w.events, (Events{"validate field abc", "click"}));

    w.events.clear();
    w.combo->setFocus();
    w.combo->setEditText("");
    QTest::keyClicks(w.combo, "7");
    QTest::mouseClick(w.button, Qt::LeftButton);
    EXPECT_EQ(w.events, (Events{"validate combo 7", "click"}));
}

TEST(ToolkitValidate, TabValidatesAndTheComboBoxKeepsTheFocusWhileTyping) {
    FocusWindow w;
    w.field->setFocus();
    QTest::keyClicks(w.field, "12");
    QTest::keyClick(w.field, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), w.combo);
    QTest::keyClicks(w.combo, "5");  // the Tab selected the text: typing replaces it
    QTest::keyClick(w.combo, Qt::Key_Return);
    EXPECT_EQ(w.combo->count(), 2);  // no insertion of typed text
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(w.events, (Events{"validate field 12", "validate combo 5"}));
}

TEST(ToolkitValidate, LeavingForAnotherWindowOrTheListPopupValidatesNothing) {
    FocusWindow w;
    w.combo->setFocus();
    w.events.clear();
    w.combo->showPopup();
    w.combo->hidePopup();

    QLineEdit other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_EQ(w.events, Events{});

    w.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.window));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(w.events, (Events{"validate combo 0.5"}));
}

TEST(ToolkitGeometry, TwipsBecomePixelsAtTheScreensLogicalDpi) {
    struct Case {
        int twips;
        double dpi;
        int pixels;
    };
    const Case cases[] = {{7530, 96, 502}, {3690, 96, 246},  {1440, 120, 120},
                          {15, 96, 1},     {7530, 144, 753}, {0, 96, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(twipsToPixels(c.twips, c.dpi), c.pixels) << c.twips << " at " << c.dpi;
        EXPECT_EQ(pixelsToTwips(c.pixels, c.dpi), c.twips) << c.pixels << " at " << c.dpi;
    }
}

}  // namespace
}  // namespace selvar::platform
