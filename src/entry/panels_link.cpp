// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/panels_link.h"

#include <stdexcept>

#include "entry/job_driver.h"
#include "entry/mod_glbl_data.h"
#include "gain/mod_pub_share.h"
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

// The panels refuse every move above the limit before they make it; a frame that would carry
// a code above it all the same is a fault of the program, and it does not reach the chips.
void PanelsLink::sendGainWords() {
    const chiplink::GainCodes dut2 = glbl_.frmDUT2().gainCodes();
    const chiplink::GainCodes dut1 = glbl_.frmDUT1().gainCodes();
    const int highest = highestCode();
    for (const chiplink::GainCodes& codes : {dut2, dut1}) {
        if (codes.left > highest || codes.right > highest) {
            throw std::logic_error("a gain above the gain limit was about to be sent");
        }
    }
    hw_.sendGainWords(dut2, dut1);
}

int PanelsLink::highestCode() const {
    return limit_.value_or(modPubShare::kMaxCode);
}

void PanelsLink::reportLimit(const std::string& what) {
    limitNews_ = what;
    if (limitListener_) {
        limitListener_();
    }
}

std::string PanelsLink::setInitialGainLimit(std::optional<int> code) {
    if (code) {
        glbl_.frmDUT1().lowerInitialGains(*code);
        glbl_.frmDUT2().lowerInitialGains(*code);
    }
    return setGainLimit(code);
}

std::string PanelsLink::setGainLimit(std::optional<int> code) {
    const int highest = code.value_or(modPubShare::kMaxCode);
    const std::pair<int, const panel::frmMain*> panels[] = {{1, &glbl_.frmDUT1()},
                                                            {2, &glbl_.frmDUT2()}};
    for (const auto& [dut, panel] : panels) {
        const chiplink::GainCodes codes = panel->gainCodes();
        const bool left = codes.left > highest;
        if (left || codes.right > highest) {
            return "DUT" + std::to_string(dut) + (left ? " Left" : " Right") + " is at " +
                   modPubShare::signedChannelDb(left ? codes.left : codes.right) + " dB";
        }
    }
    limit_ = code;
    reportLimit({});
    return {};
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
