// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/panels_link.h"

#include "entry/job_driver.h"
#include "entry/mod_glbl_data.h"
#include "panel/read_back_labels.h"
#include "ramp/wait_steps.h"

namespace selvar::entry {

namespace {

class PortWait final : public panel::PendingWait {
  public:
    explicit PortWait(modPubShare::StepWait wait) : wait_(std::move(wait)) {}
    bool runUntil(std::chrono::steady_clock::time_point deadline) override {
        return wait_.runUntil(deadline);
    }

  private:
    modPubShare::StepWait wait_;
};

}  // namespace

PanelsLink::PanelsLink(chiplink::modSelvarHw& hw, platform::SelectedPort& port,
                       const modGlblData& glbl, JobDriver& jobs)
    : hw_(hw), port_(port), glbl_(glbl), jobs_(jobs) {}

void PanelsLink::sendGainWords() {
    hw_.sendGainWords(glbl_.frmDUT2().gainCodes(), glbl_.frmDUT1().gainCodes());
}

void PanelsLink::readBackGainRegisters() {
    lastReadBack_ =
        hw_.readBackGainRegisters(glbl_.frmDUT2().gainCodes(), glbl_.frmDUT1().gainCodes());
    const panel::ReadBackLabels labels = panel::readBackLabels(lastReadBack_);
    glbl_.frmDUT2().showReadBackCodes(labels.dut2Right, labels.dut2Left);
    glbl_.frmDUT1().showReadBackCodes(labels.dut1Right, labels.dut1Left);
    if (readBackListener_) {
        readBackListener_();
    }
}

void PanelsLink::waitSteps(int delay, int step) {
    modPubShare::waitSteps(port_, port_.base(), delay, step, stopRequest_);
}

std::unique_ptr<panel::PendingWait> PanelsLink::startWait(int delay, int step) {
    return std::make_unique<PortWait>(
        modPubShare::StepWait(port_, port_.base(), delay, step, stopRequest_));
}

void PanelsLink::startJob(std::unique_ptr<control::Job> job) {
    jobs_.start(std::move(job));
}

int PanelsLink::dutOf(const QWidget& panel) const {
    return &panel == &glbl_.frmDUT2() ? 2 : 1;
}

bool PanelsLink::stopRequested() const {
    return stopRequest_ && stopRequest_->load(std::memory_order_relaxed);
}

void PanelsLink::setZcdPin() {
    hw_.setZcdPin();
}
void PanelsLink::clearZcdPin() {
    hw_.clearZcdPin();
}
void PanelsLink::clearMutePin() {
    hw_.clearMutePin();
}
void PanelsLink::setMutePin() {
    hw_.setMutePin();
}

}  // namespace selvar::entry
