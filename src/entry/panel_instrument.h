// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include "control/instrument.h"
#include "measure/gateway/measure_module.h"
#include "measure/report/results_csv.h"

namespace selvar::measure {
class MeasurementSession;
}

namespace selvar::panel {
class frmMain;
}

namespace selvar::entry {

class frmEntry;
class JobDriver;
class modGlblData;
class PanelsLink;
class ProgramMeasurements;

// The program as remote commands drive it: every command is the operator's gesture on the
// entry window or a gain panel, so the chips see the same traffic and the windows (shown or
// not) end in the same state.
class PanelInstrument final : public control::Instrument {
  public:
    PanelInstrument(frmEntry& entry, const modGlblData& glbl, PanelsLink& link, JobDriver& jobs);

    void resetAll() override;
    void selectPort(control::Port port) override;
    control::Port port() const override;
    void selectTopology(control::Topology topology) override;
    control::Topology topology() const override;

    void moveSlider(int dut, control::Slider slider, int value) override;
    int sliderValue(int dut, control::Slider slider) const override;

    void setMaxAtten(int dut) override;
    void set0dB(int dut) override;
    control::ReadBackCodes interrogate(int dut) override;
    int chainLength() const override;

    void setPin(control::PinLine line, bool checked) override;
    bool pin(control::PinLine line) const override;

    void enterRampField(int dut, control::RampField field, std::string_view text) override;
    std::string rampField(int dut, control::RampField field) const override;
    void selectRampTarget(int dut, control::RampTarget target) override;
    control::RampTarget rampTarget(int dut) const override;
    void ramp(int dut, control::RampDirection direction) override;

    void showPanel(int dut, bool shown) override;
    bool panelShown(int dut) const override;

    control::SetupFileResult saveSetup(const std::string& path) override;
    control::SetupFileResult loadSetup(const std::string& path) override;
    control::SetupFileResult saveResults(const std::string& path) override;
    control::SetupFileResult saveReport(const std::string& path) override;
    // The results MMEMory:STORe writes, and what their headers say about the set-up; until
    // attached the program measures nothing.
    void attachMeasurement(std::function<const measure::MeasurementSession&()> session,
                           std::function<measure::ReportSetup()> setup);
    // What writes the PDF report (it draws charts); without it, a report is not written.
    void attachMeasureModule(measure::MeasureModuleAccess module) { module_ = std::move(module); }

    std::string version() const override;
    std::vector<std::string> options() const override;
    // The measurement side: *OPT? names AUDIO while it has a sound card, and saved setups
    // hold its devices and calibration file.
    void attachMeasurements(ProgramMeasurements& measurements) { measurements_ = &measurements; }
    std::optional<control::AudioChoice> audioChoice() const override;
    bool chooseAudio(const control::AudioChoice& choice, std::string& reason) override;

    bool jobRunning() const override;
    void abortJob() override;
    void afterJob(std::function<void()> then) override;
    void awaitJob() override;

    int highestCode() const override;
    std::optional<int> gainLimit() const override;
    std::string setGainLimit(std::optional<int> code) override;

  private:
    panel::frmMain& panel(int dut) const;
    control::SetupFileResult storeMeasurement(const std::string& path, bool report) const;
    bool saveReportFile(const measure::MeasurementSession& session,
                        const measure::ReportSetup& setup, const std::string& path,
                        std::string& error) const;

    frmEntry& entry_;
    const modGlblData& glbl_;
    PanelsLink& link_;
    JobDriver& jobs_;
    ProgramMeasurements* measurements_ = nullptr;
    std::function<const measure::MeasurementSession&()> session_;
    std::function<measure::ReportSetup()> reportSetup_;
    measure::MeasureModuleAccess module_;
};

}  // namespace selvar::entry
