#include "entry/mod_glbl_data.h"

#include "ramp/wait_steps.h"

namespace selvar::entry {

modGlblData::modGlblData(std::unique_ptr<platform::PortProvider> provider,
                         platform::SelectedPort::FailureReporter reportFailure,
                         std::unique_ptr<platform::AccessObserver> trace)
    : provider_(std::move(provider)),
      trace_(std::move(trace)),
      port_(*provider_, std::move(reportFailure), trace_.get()),
      hw_(port_, globals_) {}

modGlblData::~modGlblData() = default;

panel::frmMain& modGlblData::panel(std::unique_ptr<panel::frmMain>& slot) {
    if (!slot) {
        slot = std::make_unique<panel::frmMain>(*this);
    }
    return *slot;
}

panel::frmMain& modGlblData::frmDUT1() {
    return panel(frmDUT1_);
}

panel::frmMain& modGlblData::frmDUT2() {
    return panel(frmDUT2_);
}

// The far chip's word goes first: it has to travel through DUT1 to reach DUT2.
void modGlblData::sendGainWords() {
    hw_.sendGainWords(frmDUT2().gainCodes(), frmDUT1().gainCodes());
}

void modGlblData::readBackGainRegisters() {
    const chiplink::ReadBackResult r =
        hw_.readBackGainRegisters(frmDUT2().gainCodes(), frmDUT1().gainCodes());
    frmDUT2().showReadBackCodes(r.dut2Right, r.dut2Left);
    frmDUT1().showReadBackCodes(r.dut1Right, r.dut1Left);
}

void modGlblData::waitSteps(int delay, int step) {
    modPubShare::waitSteps(port_, static_cast<std::uint16_t>(globals_.portBase), delay, step,
                           stopRequest_);
}

bool modGlblData::stopRequested() const {
    return stopRequest_ && stopRequest_->load(std::memory_order_relaxed);
}

void modGlblData::setZcdPin() {
    hw_.setZcdPin();
}
void modGlblData::clearZcdPin() {
    hw_.clearZcdPin();
}
void modGlblData::clearMutePin() {
    hw_.clearMutePin();
}
void modGlblData::setMutePin() {
    hw_.setMutePin();
}

}  // namespace selvar::entry
