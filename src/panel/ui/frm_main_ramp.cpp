// SPDX-License-Identifier: GPL-3.0-or-later
// Ramps of the panel's target slider between the stops of the Ramp frame.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "gain/mod_pub_share.h"
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

// A ramp as a job: each slice makes moves and waits until its deadline. Every move goes the way
// an operator's drag does: the slider's Change handling sends, the projection keeps the coupled
// sliders in step. A move is never cut; a stop (or a termination request) cuts the wait after
// it, so the ramp ends at the end of the move in progress.
class frmMain::RampJob final : public control::Job {
  public:
    struct Plan {
        ramp::RampScale scale;
        int stop, step, delay;
        bool up;
    };

    RampJob(frmMain& panel, platform::Slider& slider, const Plan& plan, std::string description)
        : panel_(panel),
          slider_(slider),
          plan_(plan),
          position_(ramp::rampPositionOf(plan.scale, slider.value())),
          description_(std::move(description)) {}

    std::string description() const override { return description_; }

    bool runSlice(Clock::time_point deadline) override {
        do {
            if (stopRequested() || panel_.link_.stopRequested()) {
                return false;
            }
            if (wait_ && !wait_->runUntil(deadline)) {
                return true;
            }
            wait_.reset();
            if (panel_.link_.stopRequested()) {
                return false;
            }
            const std::optional<int> next =
                ramp::nextRampPosition(position_, plan_.stop, plan_.step, plan_.up);
            if (!next) {
                return false;
            }
            // The ramp ends before the move that would cross the gain limit.
            const int value = ramp::sliderValueAt(plan_.scale, *next);
            if (panel_.refused(panel_.codesAfter(panel_.gainSliderOf(slider_), value),
                               "Ramp stopped before")) {
                return false;
            }
            position_ = *next;
            panel_.moveRamp(slider_, value);
            wait_ = panel_.link_.startWait(plan_.delay, plan_.step);
        } while (Clock::now() < deadline);
        return true;
    }

  private:
    frmMain& panel_;
    platform::Slider& slider_;
    const Plan plan_;
    int position_;
    std::unique_ptr<PendingWait> wait_;
    const std::string description_;
};

namespace {

const char* targetName(const platform::Slider& slider, ramp::RampScale scale) {
    if (scale == ramp::RampScale::Gang) {
        return "Gang";
    }
    return slider.objectName() == QLatin1String("sldRt0") ? "Right" : "Left";
}

std::string dbText(int code) {
    return QString::number(
               static_cast<double>(modPubShare::codeToDb(static_cast<std::int16_t>(code))), 'f', 1)
        .toStdString();
}

}  // namespace

// The ramp runs as a job of the program: the click returns at once and the moves follow on
// the event loop, with the operator's input held until the ramp ends.
void frmMain::runRamp(platform::Slider& slider, int stop, int step, int delay, bool up) {
    const ramp::RampScale scale = ramp::scaleOfMaximum(slider.maximum());
    if (scale == ramp::RampScale::None) {
        return;
    }
    const int from = ramp::rampPositionOf(scale, slider.value());
    const std::string description = "Ramp DUT" + std::to_string(link_.dutOf(*this)) + " " +
                                    targetName(slider, scale) + " " + dbText(from) + " dB -> " +
                                    dbText(stop) + " dB";
    link_.startJob(std::make_unique<RampJob>(
        *this, slider, RampJob::Plan{scale, stop, step, delay, up}, description));
}

void frmMain::moveRamp(platform::Slider& slider, int value) {
    slider.setValue(value);
    if (ramp::scaleOfMaximum(slider.maximum()) == ramp::RampScale::Gang) {
        projectOntoLeftRight(1);
    } else {
        projectOntoGangPan();
    }
}

}  // namespace selvar::panel
