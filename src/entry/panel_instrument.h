#pragma once

#include "remote/instrument.h"

namespace selvar::panel {
class frmMain;
}

namespace selvar::entry {

class frmEntry;
class JobDriver;
class modGlblData;
class PanelsLink;

// The program as remote commands drive it: every command is the operator's gesture on the
// entry window or a gain panel, so the chips see the same traffic and the windows (shown or
// not) end in the same state.
class PanelInstrument final : public remote::Instrument {
  public:
    PanelInstrument(frmEntry& entry, const modGlblData& glbl, const PanelsLink& link,
                    JobDriver& jobs);

    void resetAll() override;
    void selectPort(remote::Port port) override;
    remote::Port port() const override;
    void selectTopology(remote::Topology topology) override;
    remote::Topology topology() const override;

    void moveSlider(int dut, remote::Slider slider, int value) override;
    int sliderValue(int dut, remote::Slider slider) const override;

    void setMaxAtten(int dut) override;
    void set0dB(int dut) override;
    remote::ReadBackCodes interrogate(int dut) override;
    int chainLength() const override;

    void setPin(remote::PinLine line, bool checked) override;
    bool pin(remote::PinLine line) const override;

    void enterRampField(int dut, remote::RampField field, std::string_view text) override;
    std::string rampField(int dut, remote::RampField field) const override;
    void selectRampTarget(int dut, remote::RampTarget target) override;
    remote::RampTarget rampTarget(int dut) const override;
    void ramp(int dut, remote::RampDirection direction) override;

    void showPanel(int dut, bool shown) override;
    bool panelShown(int dut) const override;

    std::string version() const override;

    bool jobRunning() const override;
    void abortJob() override;
    void afterJob(std::function<void()> then) override;
    void awaitJob() override;

  private:
    panel::frmMain& panel(int dut) const;

    frmEntry& entry_;
    const modGlblData& glbl_;
    const PanelsLink& link_;
    JobDriver& jobs_;
};

}  // namespace selvar::entry
