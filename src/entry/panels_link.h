// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>

#include "chiplink/mod_selvar_hw.h"
#include "panel/ui/panel_link.h"
#include "platform/selected_port.h"

namespace selvar::entry {

class JobDriver;
class modGlblData;

// The gain panels' way to the chips: every panel action that reaches the port comes through
// here, so both panels' words travel together, the DUT2 panel's first (it has to pass through
// DUT1 to reach DUT2), and a read-back fills in the code labels of both panels.
class PanelsLink final : public panel::PanelLink {
  public:
    PanelsLink(chiplink::modSelvarHw& hw, platform::SelectedPort& port, const modGlblData& glbl,
               JobDriver& jobs);

    void sendGainWords() override;
    void readBackGainRegisters() override;
    void waitSteps(int delay, int step) override;
    std::unique_ptr<panel::PendingWait> startWait(int delay, int step) override;
    void startJob(std::unique_ptr<control::Job> job) override;
    int dutOf(const QWidget& panel) const override;
    bool stopRequested() const override;
    // The flag a termination request sets (from a signal handler); ramps stop on it.
    void stopRampsOn(const std::atomic<bool>& request) { stopRequest_ = &request; }
    int highestCode() const override;
    void reportLimit(const std::string& what) override;
    void setZcdPin() override;
    void clearZcdPin() override;
    void clearMutePin() override;
    void setMutePin() override;

    // What the last read-back found (chain length 0 before the first).
    const chiplink::ReadBack& lastReadBack() const { return lastReadBack_; }
    // Told after every read-back, once the panels show its codes; an empty function: nobody.
    void onReadBack(std::function<void()> listener) { readBackListener_ = std::move(listener); }
    const platform::SelectedPort& port() const { return port_; }

    // The operator's gain limit, as a code; none while off. Setting one below a code either
    // panel holds now is refused and changes nothing: the result names the channel ("DUT1 Left
    // is at +6.0 dB"); empty when it was set.
    std::string setGainLimit(std::optional<int> code);
    // The limit the program starts with, set before its start-up: the panels' initial gains
    // are lowered to it first (nothing is sent yet). The result is setGainLimit's.
    std::string setInitialGainLimit(std::optional<int> code);
    std::optional<int> gainLimit() const { return limit_; }
    // The last move the limit refused or held back; cleared when the limit changes.
    const std::string& limitNews() const { return limitNews_; }
    // Told when the limit or its news change; an empty function: nobody.
    void onLimitNews(std::function<void()> listener) { limitListener_ = std::move(listener); }

  private:
    chiplink::modSelvarHw& hw_;
    platform::SelectedPort& port_;
    const modGlblData& glbl_;
    JobDriver& jobs_;
    chiplink::ReadBack lastReadBack_;
    const std::atomic<bool>* stopRequest_ = nullptr;
    std::function<void()> readBackListener_;
    std::optional<int> limit_;
    std::string limitNews_;
    std::function<void()> limitListener_;
};

}  // namespace selvar::entry
