#pragma once

#include <atomic>
#include <memory>

#include "chiplink/mod_selvar_hw.h"
#include "chiplink/port_globals.h"
#include "panel/ui/frm_main.h"
#include "panel/ui/panel_link.h"
#include "platform/selected_port.h"

namespace selvar::entry {

// What the running program holds for its whole life: the port backend, the selected port with
// its addresses and bit masks, the bus trace, the chip link and the two gain panels. main owns
// one; tests build as many as they like. It is also the panels' way to the chips: every panel
// action that reaches the port goes through here, so both panels' words travel together.
class modGlblData : public panel::PanelLink {
  public:
    // reportFailure hears, once per failed port selection, why the port could not be opened.
    // trace (may be null) sees every port access performed and is flushed when this object
    // goes away.
    modGlblData(std::unique_ptr<platform::PortProvider> provider,
                platform::SelectedPort::FailureReporter reportFailure,
                std::unique_ptr<platform::AccessObserver> trace = nullptr);
    ~modGlblData() override;

    modGlblData(const modGlblData&) = delete;
    modGlblData& operator=(const modGlblData&) = delete;

    chiplink::PortGlobals& portGlobals() { return globals_; }
    platform::SelectedPort& port() { return port_; }
    chiplink::modSelvarHw& hw() { return hw_; }

    // The DUT1 (PC-side) and DUT2 (far-side) panels, each created hidden on first use and kept
    // until this object goes away.
    panel::frmMain& frmDUT1();
    panel::frmMain& frmDUT2();

    void sendGainWords() override;
    void readBackGainRegisters() override;
    void waitSteps(int delay, int step) override;
    bool stopRequested() const override;
    // The flag a termination request sets (from a signal handler); ramps stop on it.
    void stopRampsOn(const std::atomic<bool>& request) { stopRequest_ = &request; }
    void setZcdPin() override;
    void clearZcdPin() override;
    void clearMutePin() override;
    void setMutePin() override;

  private:
    panel::frmMain& panel(std::unique_ptr<panel::frmMain>& slot);

    // Declared in the order they must be built; destroyed the other way round, so the panels
    // go first and the trace is flushed last.
    std::unique_ptr<platform::PortProvider> provider_;
    std::unique_ptr<platform::AccessObserver> trace_;
    chiplink::PortGlobals globals_;
    platform::SelectedPort port_;
    chiplink::modSelvarHw hw_;
    std::unique_ptr<panel::frmMain> frmDUT1_;
    std::unique_ptr<panel::frmMain> frmDUT2_;
    const std::atomic<bool>* stopRequest_ = nullptr;
};

}  // namespace selvar::entry
