// SPDX-License-Identifier: GPL-3.0-or-later
// The operator's gestures on a gain panel, for callers that act in the operator's place.

#include "control/instrument.h"
#include "gain/mod_pub_share.h"
#include "panel/ui/frm_main.h"
#include "panel/ui/frm_main_controls.h"

namespace selvar::panel {

platform::Slider& frmMain::sliderOf(GainSlider slider) const {
    switch (slider) {
        case GainSlider::Left:
            return *c_->sldLt0;
        case GainSlider::Right:
            return *c_->sldRt0;
        case GainSlider::Gang:
            return *c_->sldLvl0;
        case GainSlider::Pan:
            break;
    }
    return *c_->sldSkw0;
}

void frmMain::setByCommand(GainSlider slider, int value) {
    platform::Slider& target = sliderOf(slider);
    if (target.value() == value) {
        return;
    }
    if (refused(codesAfter(slider, value), "Move refused")) {
        throw control::GainLimitExceeded(limitRefusal(slider, value));
    }
    target.setValue(value);  // no action announced: Change runs, Scroll does not
    switch (slider) {
        case GainSlider::Left:
        case GainSlider::Right:
            projectOntoGangPan();
            break;
        case GainSlider::Gang:
            projectOntoLeftRight(1);
            break;
        case GainSlider::Pan:
            projectOntoLeftRight(0);
            break;
    }
}

int frmMain::sliderValue(GainSlider slider) const {
    return sliderOf(slider).value();
}

void frmMain::pressMaxAtten() {
    btnMaxAtten_Click();
}

void frmMain::press0dB() {
    if (!set0dB()) {
        using modPubShare::kUnityCode;
        throw control::GainLimitExceeded(refusalOf({kUnityCode, kUnityCode}));
    }
}

void frmMain::pressQuery() {
    btnQuery_Click();
}

void frmMain::pressRamp(bool up) {
    if (up) {
        btnUp_Click();
    } else {
        btnDown_Click();
    }
}

void frmMain::enterRampField(RampField field, const QString& text) {
    switch (field) {
        case RampField::Top:
            c_->txtTop->setText(text);
            txtTop_Validate();
            break;
        case RampField::Bottom:
            c_->txtBottom->setText(text);
            txtBottom_Validate();
            break;
        case RampField::Step:
            c_->cmbStep->setEditText(text);
            cmbStep_Validate();
            break;
        case RampField::Delay:
            c_->cmbDelay->setEditText(text);
            cmbDelay_Validate();
            break;
    }
}

QString frmMain::rampFieldText(RampField field) const {
    switch (field) {
        case RampField::Top:
            return c_->txtTop->text();
        case RampField::Bottom:
            return c_->txtBottom->text();
        case RampField::Step:
            return c_->cmbStep->currentText();
        case RampField::Delay:
            break;
    }
    return c_->cmbDelay->currentText();
}

void frmMain::selectRampTarget(RampTarget target) {
    QRadioButton* option = target == RampTarget::Left    ? c_->optLt0
                           : target == RampTarget::Right ? c_->optRt0
                           : target == RampTarget::Gang  ? c_->optLvl0
                                                         : nullptr;
    if (option) {
        option->setChecked(true);
    }
}

frmMain::RampTarget frmMain::selectedRampTarget() const {
    if (c_->optLt0->isChecked()) {
        return RampTarget::Left;
    }
    if (c_->optRt0->isChecked()) {
        return RampTarget::Right;
    }
    return c_->optLvl0->isChecked() ? RampTarget::Gang : RampTarget::None;
}

std::pair<QString, QString> frmMain::readBackCodeTexts() const {
    return {c_->lblLtCode->text(), c_->lblRtCode->text()};
}

}  // namespace selvar::panel
