// SPDX-License-Identifier: GPL-3.0-or-later
// The gain panel's controls: names, captions, tooltips, ranges, designer values and layout.

#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QStyle>
#include <QVBoxLayout>

#include "panel/ui/frm_main_controls.h"
#include "ramp/field_validation.h"

namespace selvar::panel {

namespace {

constexpr int kClientWidthTwips = 7530;
constexpr int kClientHeightTwips = 3690;
constexpr int kMarginTwips = 45;   // around and between the frames
constexpr int kSpacingTwips = 30;  // between the controls of a frame
constexpr int kFontPoints = 8;

int px(const QWidget& w, int twips) {
    return platform::twipsToPixels(twips, w.logicalDpiX());
}

template <class Widget>
Widget* named(Widget* widget, const char* name, const char* toolTip = nullptr) {
    widget->setObjectName(QString::fromLatin1(name));
    if (toolTip != nullptr) {
        widget->setToolTip(QString::fromLatin1(toolTip));
    }
    return widget;
}

QLabel* label(QWidget* parent, const char* name, const char* caption,
              const char* toolTip = nullptr) {
    return named(new QLabel(QString::fromLatin1(caption), parent), name, toolTip);
}

QLabel* unitLabel(QWidget* parent, std::size_t index) {
    const QByteArray name = "lblDb" + QByteArray::number(static_cast<int>(index));
    return label(parent, name.constData(), "dB");
}

void makeBold(QWidget* widget) {
    QFont font = widget->font();
    font.setBold(true);
    widget->setFont(font);
}

// Value and code labels: bold, right-aligned, wide enough for their longest text so that
// the column stays put while the text changes.
QLabel* valueLabel(QWidget* parent, const char* name, const char* widest) {
    QLabel* l = label(parent, name, "X");
    makeBold(l);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    l->setFixedWidth(QFontMetrics(l->font()).horizontalAdvance(QString::fromLatin1(widest)));
    return l;
}

platform::Slider* slider(QWidget* parent, const char* name, int min, int max, int small, int large,
                         int value) {
    auto* s = named(new platform::Slider(parent), name);
    s->setRange(min, max);
    s->setSingleStep(small);
    s->setPageStep(large);
    s->setValue(value);
    return s;
}

QLineEdit* stopField(QWidget* parent, const char* name, const char* toolTip, const char* text) {
    auto* field = named(new QLineEdit(QString::fromLatin1(text), parent), name, toolTip);
    makeBold(field);
    return field;
}

template <std::size_t N>
QComboBox* listField(QWidget* parent, const char* name, const char* toolTip,
                     const char* const (&items)[N], const char* text) {
    auto* combo = named(new QComboBox(parent), name, toolTip);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);  // typed text is validated, never listed
    makeBold(combo);
    for (std::size_t i = 0; i < N; ++i) {
        combo->addItem(QString::fromLatin1(items[i]), static_cast<int>(i));
    }
    combo->setCurrentIndex(-1);
    combo->setEditText(QString::fromLatin1(text));
    combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    return combo;
}

// Buttons may shrink to their caption plus a little: some styles ask for a wide minimum the
// panel's fixed client area cannot always give.
QPushButton* button(QWidget* parent, const char* name, const char* caption, const char* toolTip) {
    auto* b = named(new QPushButton(QString::fromLatin1(caption), parent), name, toolTip);
    const QFontMetrics metrics(b->font());
    b->setMinimumWidth(metrics.horizontalAdvance(b->text()) + metrics.averageCharWidth() * 2);
    return b;
}

// A target option shows only its round mark; its caption stays in the control, unseen.
QRadioButton* targetOption(QWidget* parent, const char* name, const char* toolTip) {
    auto* option = named(new QRadioButton(QStringLiteral("Option1"), parent), name, toolTip);
    option->setFixedWidth(
        option->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, option));
    return option;
}

QGroupBox* frame(QWidget* parent, const char* name, const char* caption) {
    return named(new QGroupBox(QString::fromLatin1(caption), parent), name);
}

template <class Layout>
Layout* tight(Layout* layout, const QWidget& window) {
    layout->setContentsMargins(px(window, kMarginTwips), px(window, kSpacingTwips),
                               px(window, kMarginTwips), px(window, kMarginTwips));
    layout->setSpacing(px(window, kSpacingTwips));
    return layout;
}

}  // namespace

frmMain::Controls::Controls(QWidget& window) {
    // The client area is fixed in physical units, so the text is too: at the system's
    // usual 9 or 10 points the four frames would not fit their twips.
    QFont font = window.font();
    font.setPointSize(kFontPoints);
    window.setFont(font);

    buildGainControl(window);
    layOutGainControl(window);
    buildModeControl(window);
    buildLoopback(window);
    buildRamp(window);
    layOutClient(window);
}

// Gain Control: a caption, slider, target option, value and unit per slider.
void frmMain::Controls::buildGainControl(QWidget& window) {
    const char* const channelWidest = "-127.5";

    frmGainCtrl = frame(&window, "frmGainCtrl", "Gain Control");
    lblLt0St = label(frmGainCtrl, "lblLt0St", "Left", "Left Channel: projection onto Gang, Pan");
    sldLt0 = slider(frmGainCtrl, "sldLt0", 0, 255, 1, 2, 192);
    lblRt0St = label(frmGainCtrl, "lblRt0St", "Right", "Right Channel: projection onto Gang, Pan");
    sldRt0 = slider(frmGainCtrl, "sldRt0", 0, 255, 1, 2, 192);
    lblLvl0St =
        label(frmGainCtrl, "lblLvl0St", "Gang", "Gang pseudo-channel: projection onto Left, Right");
    sldLvl0 = slider(frmGainCtrl, "sldLvl0", 0, 510, 2, 4, 384);
    lblSkw0St =
        label(frmGainCtrl, "lblSkw0St", "Pan", "Pan pseudo-channel: projection onto Left, Right");
    sldSkw0 = slider(frmGainCtrl, "sldSkw0", -255, 255, 1, 2, 0);
    sldLt0->setSelectionRange(192, 255);
    sldRt0->setSelectionRange(192, 255);
    sldLvl0->setSelectionRange(384, 510);
    sldSkw0->setTickPosition(QSlider::TicksBelow);
    sldSkw0->setTickInterval(255);
    sldLt0->setTickInterval(24);
    sldRt0->setTickInterval(24);
    sldLvl0->setTickInterval(48);

    Label1 = label(frmGainCtrl, "Label1", "Ramp");
    makeBold(Label1);
    optLt0 = targetOption(frmGainCtrl, "optLt0", "Left is target slider");
    optRt0 = targetOption(frmGainCtrl, "optRt0", "Right is target slider");
    optLvl0 = targetOption(frmGainCtrl, "optLvl0", "Gang is target slider");
    lblLt0 = valueLabel(frmGainCtrl, "lblLt0", channelWidest);
    lblRt0 = valueLabel(frmGainCtrl, "lblRt0", channelWidest);
    lblLvl0 = valueLabel(frmGainCtrl, "lblLvl0", channelWidest);
    lblSkw0 = valueLabel(frmGainCtrl, "lblSkw0", channelWidest);
    for (std::size_t i = 0; i < 4; ++i) {
        lblDb[i] = unitLabel(frmGainCtrl, i);
    }
}

void frmMain::Controls::layOutGainControl(QWidget& window) {
    // Gain Control: caption, slider, target option, value, unit; the bold "Ramp" heads the
    // option column.
    auto* gain = tight(new QGridLayout(frmGainCtrl), window);
    gain->setVerticalSpacing(0);
    gain->setHorizontalSpacing(px(window, kMarginTwips));
    gain->addWidget(Label1, 0, 2, 1, 2, Qt::AlignLeft | Qt::AlignBottom);
    const struct {
        QLabel* caption;
        platform::Slider* slider;
        QRadioButton* option;
        QLabel* value;
    } rows[] = {{lblLt0St, sldLt0, optLt0, lblLt0},
                {lblRt0St, sldRt0, optRt0, lblRt0},
                {lblLvl0St, sldLvl0, optLvl0, lblLvl0},
                {lblSkw0St, sldSkw0, nullptr, lblSkw0}};
    for (int row = 0; row < 4; ++row) {
        const auto& r = rows[row];
        r.caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        gain->addWidget(r.caption, row + 1, 0);
        gain->addWidget(r.slider, row + 1, 1);
        if (r.option != nullptr) {
            gain->addWidget(r.option, row + 1, 2, Qt::AlignCenter);
        }
        gain->addWidget(r.value, row + 1, 3);
        gain->addWidget(lblDb[static_cast<std::size_t>(row)], row + 1, 4);
    }
    gain->setColumnStretch(1, 1);
}

void frmMain::Controls::buildModeControl(QWidget& window) {
    fraModalCtrl = frame(&window, "fraModalCtrl", "Mode Control");
    chkZCD = named(new platform::CheckBox(QStringLiteral("Zero-Cross Detection"), fraModalCtrl),
                   "chkZCD", "Toggle: ZCD pin (common)");
    chkMute = named(new platform::CheckBox(QStringLiteral("Mute by Pin"), fraModalCtrl), "chkMute",
                    "Toggle: Mute pin (common)");
    btnMaxAtten = button(fraModalCtrl, "btnMaxAtten", "-Inf (dB)", "Zoom: max attenuation");
    btn0dB = button(fraModalCtrl, "btn0dB", "0.0 (dB)", "Zoom: unity gain");

    auto* mode = tight(new QVBoxLayout(fraModalCtrl), window);
    mode->addWidget(chkZCD);
    mode->addWidget(chkMute);
    mode->addStretch(1);
    auto* quick = new QHBoxLayout;
    quick->setSpacing(px(window, kSpacingTwips));
    quick->addWidget(btnMaxAtten);
    quick->addWidget(btn0dB);
    mode->addLayout(quick);
}

void frmMain::Controls::buildLoopback(QWidget& window) {
    fraLoopback = frame(&window, "fraLoopback", "Register Loopback");
    lblLtCodeSt = label(fraLoopback, "lblLtCodeSt", "Left Code");
    lblLtCode = valueLabel(fraLoopback, "lblLtCode", "XXh");
    lblRtCodeSt = label(fraLoopback, "lblRtCodeSt", "Right Code");
    lblRtCode = valueLabel(fraLoopback, "lblRtCode", "XXh");
    btnQuery = button(fraLoopback, "btnQuery", "Interrogate", "Query: DUT gain register");

    auto* loop = tight(new QGridLayout(fraLoopback), window);
    loop->addWidget(lblLtCodeSt, 0, 0);
    loop->addWidget(lblLtCode, 0, 1);
    loop->addWidget(lblRtCodeSt, 1, 0);
    loop->addWidget(lblRtCode, 1, 1);
    loop->setRowStretch(2, 1);
    loop->addWidget(btnQuery, 3, 0, 1, 2);
}

void frmMain::Controls::buildRamp(QWidget& window) {
    fraRamp = frame(&window, "fraRamp", "Ramp");
    lblTop = label(fraRamp, "lblTop", "Top");
    txtTop = stopField(fraRamp, "txtTop", "Upper stop", "0");
    lblBottom = label(fraRamp, "lblBottom", "Bottom");
    txtBottom = stopField(fraRamp, "txtBottom", "Lower stop", "-30");
    lblStep = label(fraRamp, "lblStep", "Step");
    cmbStep = listField(fraRamp, "cmbStep", "Ramp unit", ramp::kStepList, "X");
    lblDelay = label(fraRamp, "lblDelay", "Delay");
    cmbDelay = listField(fraRamp, "cmbDelay", "Inter-step delay", ramp::kDelayList, "5");
    // The stop fields line up with the step list, which "-96.0" fits as well.
    txtTop->setFixedWidth(cmbStep->sizeHint().width());
    txtBottom->setFixedWidth(cmbStep->sizeHint().width());
    btnUp = button(fraRamp, "btnUp", "Ramp Up", "Ramp: target slider");
    btnDown = button(fraRamp, "btnDown", "Ramp Down", "Ramp: target slider");
    for (std::size_t i = 4; i < lblDb.size(); ++i) {
        lblDb[i] = unitLabel(fraRamp, i);
    }

    auto* rampGrid = tight(new QGridLayout(fraRamp), window);
    rampGrid->addWidget(lblTop, 0, 0);
    rampGrid->addWidget(txtTop, 0, 1);
    rampGrid->addWidget(lblDb[4], 0, 2);
    rampGrid->addWidget(btnUp, 0, 3, 1, 2);
    rampGrid->addWidget(lblBottom, 1, 0);
    rampGrid->addWidget(txtBottom, 1, 1);
    rampGrid->addWidget(lblDb[5], 1, 2);
    rampGrid->addWidget(btnDown, 1, 3, 1, 2);
    rampGrid->addWidget(lblStep, 2, 0);
    rampGrid->addWidget(cmbStep, 2, 1);
    rampGrid->addWidget(lblDb[6], 2, 2);
    rampGrid->addWidget(lblDelay, 2, 3, Qt::AlignRight);
    rampGrid->addWidget(cmbDelay, 2, 4);
    QWidget::setTabOrder(txtTop, txtBottom);
    QWidget::setTabOrder(txtBottom, cmbStep);
    QWidget::setTabOrder(cmbStep, cmbDelay);
    QWidget::setTabOrder(cmbDelay, btnUp);
    QWidget::setTabOrder(btnUp, btnDown);
}

// The four frames in the fixed client area: Gain Control across the top, the others below.
void frmMain::Controls::layOutClient(QWidget& window) {
    auto* client = new QGridLayout(&window);
    const int margin = px(window, kMarginTwips);
    client->setContentsMargins(margin, margin, margin, margin);
    client->setSpacing(margin);
    client->addWidget(frmGainCtrl, 0, 0, 1, 3);
    client->addWidget(fraModalCtrl, 1, 0);
    client->addWidget(fraLoopback, 1, 1);
    client->addWidget(fraRamp, 1, 2);
    client->setColumnStretch(2, 1);

    window.setFixedSize(px(window, kClientWidthTwips),
                        platform::twipsToPixels(kClientHeightTwips, window.logicalDpiY()));
}

}  // namespace selvar::panel
