// Ramps of the panel's target slider between the stops of the Ramp frame.

#include "panel/ui/frm_main_controls.h"
#include "ramp/ramp_plan.h"

namespace selvar::panel {

namespace {

// Read afresh at every press, from the fields as validation left them.
ramp::RampParameters parametersOf(const QLineEdit& stop, const QComboBox& step,
                                  const QComboBox& delay) {
    return ramp::rampParameters(stop.text().toStdString(), step.currentText().toStdString(),
                                delay.currentText().toStdString());
}

}  // namespace

void frmMain::btnUp_Click() {
    orderStops(*c_->txtTop, *c_->txtBottom);
    if (platform::Slider* target = rampTarget()) {
        const ramp::RampParameters p = parametersOf(*c_->txtTop, *c_->cmbStep, *c_->cmbDelay);
        rampUp(*target, p.stop, p.step, p.delay);
    }
}

void frmMain::btnDown_Click() {
    orderStops(*c_->txtTop, *c_->txtBottom);
    if (platform::Slider* target = rampTarget()) {
        const ramp::RampParameters p = parametersOf(*c_->txtBottom, *c_->cmbStep, *c_->cmbDelay);
        rampDown(*target, p.stop, p.step, p.delay);
    }
}

// The exchange is of the texts as they stand, and stays visible after the ramp.
void frmMain::orderStops(QLineEdit& top, QLineEdit& bottom) {
    if (ramp::stopsOutOfOrder(top.text().toStdString(), bottom.text().toStdString())) {
        const QString upper = bottom.text();
        bottom.setText(top.text());
        top.setText(upper);
    }
}

// Exactly one selected option names the target; none selected gives no target.
platform::Slider* frmMain::rampTarget() const {
    const int t = (c_->optLt0->isChecked() ? 1 : 0) + (c_->optRt0->isChecked() ? 2 : 0) +
                  (c_->optLvl0->isChecked() ? 4 : 0);
    switch (t) {
        case 1:
            return c_->sldLt0;
        case 2:
            return c_->sldRt0;
        case 4:
            return c_->sldLvl0;
        default:
            return nullptr;
    }
}

void frmMain::rampUp(platform::Slider& slider, int stop, int step, int delay) {
    runRamp(slider, stop, step, delay, true);
}

void frmMain::rampDown(platform::Slider& slider, int stop, int step, int delay) {
    runRamp(slider, stop, step, delay, false);
}

// Every move goes the way an operator's drag does: the slider's Change handling sends, the
// projection keeps the coupled sliders in step. The whole ramp runs inside the click, so no
// input is taken meanwhile; the gain frame is repainted between moves so the operator sees
// the ramp progress (processing events here would let clicks and closes run mid-ramp).
void frmMain::runRamp(platform::Slider& slider, int stop, int step, int delay, bool up) {
    const ramp::RampScale scale = ramp::scaleOfMaximum(slider.maximum());
    if (scale == ramp::RampScale::None) {
        return;
    }
    const bool gang = scale == ramp::RampScale::Gang;
    int c = ramp::rampPositionOf(scale, slider.value());
    // A termination request ends the ramp between moves: the chips keep the last gain sent.
    while (!link_.stopRequested()) {
        const std::optional<int> next = ramp::nextRampPosition(c, stop, step, up);
        if (!next) {
            break;
        }
        c = *next;
        slider.setValue(ramp::sliderValueAt(scale, c));
        if (gang) {
            projectOntoLeftRight(1);
        } else {
            projectOntoGangPan();
        }
        c_->frmGainCtrl->repaint();
        link_.waitSteps(delay, step);
    }
}

}  // namespace selvar::panel
