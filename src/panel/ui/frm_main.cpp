// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel/ui/frm_main.h"

#include <QCloseEvent>

#include "gain/mod_pub_share.h"
#include "panel/ui/frm_main_controls.h"
#include "ramp/field_validation.h"

namespace selvar::panel {

namespace {

void setCaption(QLabel& label, const std::string& text) {
    label.setText(QString::fromStdString(text));
}

std::string textOf(const QLineEdit& field) {
    return field.text().toStdString();
}
std::string textOf(const QComboBox& field) {
    return field.currentText().toStdString();
}

}  // namespace

frmMain::frmMain(PanelLink& link, QWidget* parent)
    : QWidget(parent), link_(link), c_(std::make_unique<Controls>(*this)) {
    setWindowTitle(QStringLiteral("Selvar Demonstration (Lead Device)"));
    connectHandlers();
}

frmMain::~frmMain() = default;

// Handlers are connected after the designer values are in place: loading the window runs
// none of them.
void frmMain::connectHandlers() {
    Controls& c = *c_;
    connect(c.sldLt0, &platform::Slider::scroll, this, &frmMain::sldLt0_Scroll);
    connect(c.sldLt0, &platform::Slider::change, this, &frmMain::sldLt0_Change);
    connect(c.sldRt0, &platform::Slider::scroll, this, &frmMain::sldRt0_Scroll);
    connect(c.sldRt0, &platform::Slider::change, this, &frmMain::sldRt0_Change);
    connect(c.sldLvl0, &platform::Slider::scroll, this, &frmMain::sldLvl0_Scroll);
    connect(c.sldLvl0, &platform::Slider::change, this, &frmMain::sldLvl0_Change);
    connect(c.sldSkw0, &platform::Slider::scroll, this, &frmMain::sldSkw0_Scroll);
    connect(c.sldSkw0, &platform::Slider::change, this, &frmMain::sldSkw0_Change);
    for (const GainSlider slider :
         {GainSlider::Left, GainSlider::Right, GainSlider::Gang, GainSlider::Pan}) {
        sliderOf(slider).limitMoves([this, slider](int to) { return reachable(slider, to); });
    }

    platform::onClick(*c.chkZCD, [this] { chkZCD_Click(); });
    platform::onClick(*c.chkMute, [this] { chkMute_Click(); });
    platform::onClick(*c.btnMaxAtten, [this] { btnMaxAtten_Click(); });
    platform::onClick(*c.btn0dB, [this] { btn0dB_Click(); });
    platform::onClick(*c.btnQuery, [this] { btnQuery_Click(); });

    platform::onValidate(*c.cmbStep, [this] { cmbStep_Validate(); });
    platform::onValidate(*c.cmbDelay, [this] { cmbDelay_Validate(); });
    platform::onValidate(*c.txtTop, [this] { txtTop_Validate(); });
    platform::onValidate(*c.txtBottom, [this] { txtBottom_Validate(); });
    platform::onClick(*c.btnUp, [this] { btnUp_Click(); });
    platform::onClick(*c.btnDown, [this] { btnDown_Click(); });
}

chiplink::GainCodes frmMain::gainCodes() const {
    return {c_->sldLt0->value(), c_->sldRt0->value()};
}

QCheckBox& frmMain::chkMute() {
    return *c_->chkMute;
}
QCheckBox& frmMain::chkZCD() {
    return *c_->chkZCD;
}
QLineEdit& frmMain::txtTop() {
    return *c_->txtTop;
}
QLineEdit& frmMain::txtBottom() {
    return *c_->txtBottom;
}
QComboBox& frmMain::cmbStep() {
    return *c_->cmbStep;
}
QComboBox& frmMain::cmbDelay() {
    return *c_->cmbDelay;
}

// A panel lives as long as the program: closing it only hides it, controls untouched.
void frmMain::closeEvent(QCloseEvent* event) {
    event->ignore();
    hide();
}

// --- Gain Control -------------------------------------------------------------------------

void frmMain::sldLt0_Scroll() {
    sldLt0_Change();
    projectOntoGangPan();
}

void frmMain::sldLt0_Change() {
    link_.sendGainWords();
    lblLt0_Change();
}

void frmMain::lblLt0_Change() {
    setCaption(*c_->lblLt0, modPubShare::channelLabel(c_->sldLt0->value()));
}

void frmMain::sldRt0_Scroll() {
    sldRt0_Change();
    projectOntoGangPan();
}

void frmMain::sldRt0_Change() {
    link_.sendGainWords();
    lblRt0_Change();
}

void frmMain::lblRt0_Change() {
    setCaption(*c_->lblRt0, modPubShare::channelLabel(c_->sldRt0->value()));
}

void frmMain::sldLvl0_Scroll() {
    sldLvl0_Change();
    projectOntoLeftRight(1);
}

void frmMain::sldLvl0_Change() {
    lblLvl0_Change();
}

void frmMain::lblLvl0_Change() {
    setCaption(*c_->lblLvl0, modPubShare::gangLabel(c_->sldLvl0->value()));
}

void frmMain::sldSkw0_Scroll() {
    sldSkw0_Change();
    projectOntoLeftRight(0);
}

void frmMain::sldSkw0_Change() {
    lblSkw0_Change();
}

void frmMain::lblSkw0_Change() {
    setCaption(*c_->lblSkw0, modPubShare::panLabel(c_->sldSkw0->value()));
}

void frmMain::projectOntoGangPan() {
    const GangPan gp = panel::projectOntoGangPan(c_->sldLt0->value(), c_->sldRt0->value());
    c_->sldLvl0->setValue(gp.gang);
    c_->sldSkw0->setValue(gp.pan);
}

void frmMain::projectOntoLeftRight(int mode) {
    const LeftRight lr = panel::projectOntoLeftRight(c_->sldLvl0->value(), c_->sldSkw0->value());
    if (mode == 1) {
        setLeftRightKeepGang(lr.left, lr.right);
    } else {
        setLeftRightKeepPan(lr.left, lr.right);
    }
}

void frmMain::setLeftRightKeepGang(int left, int right) {
    place(panel::setLeftRightKeepGang(left, right));
}

void frmMain::setLeftRightKeepPan(int left, int right) {
    place(panel::setLeftRightKeepPan(left, right));
}

// Each assignment that changes a channel runs its Change handler, which sends both chips'
// words as the sliders hold them at that moment: the order is what the chips see.
void frmMain::place(const Placement& placement) {
    for (std::size_t i = 0; i < placement.count; ++i) {
        const Placement::Assignment& a = placement.assignments[i];
        (a.channel == Channel::Left ? c_->sldLt0 : c_->sldRt0)->setValue(a.value);
    }
    if (placement.reproject) {
        projectOntoGangPan();
    }
}

// --- Mode Control and Register Loopback ----------------------------------------------------

void frmMain::chkZCD_Click() {
    if (platform::checkValue(*c_->chkZCD) != 0) {
        link_.setZcdPin();
    } else {
        link_.clearZcdPin();
    }
}

void frmMain::chkMute_Click() {
    if (platform::checkValue(*c_->chkMute) != 0) {
        link_.clearMutePin();
    } else {
        link_.setMutePin();
    }
}

void frmMain::btnMaxAtten_Click() {
    setMaxAtten();
}

void frmMain::btn0dB_Click() {
    set0dB();
}

void frmMain::btnQuery_Click() {
    link_.readBackGainRegisters();
}

void frmMain::showReadBackCodes(const std::string& rightCode, const std::string& leftCode) {
    setCaption(*c_->lblRtCode, rightCode);
    setCaption(*c_->lblLtCode, leftCode);
}

// Assigning 1 then 0 changes Gang and Pan whatever they held, so both labels re-render.
void frmMain::setMaxAtten() {
    c_->sldLvl0->setValue(1);
    c_->sldLvl0->setValue(0);
    c_->sldSkw0->setValue(1);
    c_->sldSkw0->setValue(0);
    projectOntoLeftRight(1);
    cmbStep_Validate();
    cmbDelay_Validate();
    txtTop_Validate();
    txtBottom_Validate();
    c_->optLvl0->setChecked(true);
}

// Refused as a whole when 0 dB lies above the gain limit.
bool frmMain::set0dB() {
    using modPubShare::kUnityCode;
    if (refused({kUnityCode, kUnityCode}, "\"0.0 (dB)\" refused")) {
        return false;
    }
    c_->sldLvl0->setValue(384);
    c_->sldSkw0->setValue(0);
    sldLvl0_Change();
    projectOntoLeftRight(1);
    return true;
}

// --- Ramp fields ---------------------------------------------------------------------------

// Selecting a list entry replaces the field's text with the entry's, also when that entry was
// selected already and the operator had typed over it.
void frmMain::cmbStep_Validate() {
    c_->cmbStep->setCurrentIndex(ramp::stepIndexFor(textOf(*c_->cmbStep)));
}

void frmMain::cmbDelay_Validate() {
    c_->cmbDelay->setCurrentIndex(ramp::delayIndexFor(textOf(*c_->cmbDelay)));
}

void frmMain::txtTop_Validate() {
    validateStop(*c_->txtTop);
}

void frmMain::txtBottom_Validate() {
    validateStop(*c_->txtBottom);
}

void frmMain::validateStop(QLineEdit& box) {
    box.setText(QString::fromStdString(ramp::validateStopText(textOf(box))));
}

}  // namespace selvar::panel
