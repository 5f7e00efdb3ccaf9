// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/panel_instrument.h"

#include <QCheckBox>
#include <QEventLoop>
#include <QString>
#include <filesystem>
#include <stdexcept>

#include "entry/frm_entry.h"
#include "entry/job_driver.h"
#include "entry/mod_glbl_data.h"
#include "entry/panels_link.h"
#include "entry/program_measurements.h"
#include "measure/report/session_report.h"
#include "panel/ui/frm_main.h"
#include "platform/adapters/backend_options.h"
#include "platform/toolkit/toolkit.h"
#include "setup/setup_file.h"

namespace selvar::entry {

namespace {

using Panel = panel::frmMain;
using chiplink::PortChoice;
using control::Port;
using control::RampField;
using control::RampTarget;
using control::Slider;

// Each mapping names every enumerator on both sides: a control added to one side and not the
// other fails to build (-Wswitch), and none maps by position.
[[noreturn]] void unknown() {
    throw std::invalid_argument("no such control");
}

Panel::GainSlider gainSlider(Slider slider) {
    switch (slider) {
        case Slider::Left:
            return Panel::GainSlider::Left;
        case Slider::Right:
            return Panel::GainSlider::Right;
        case Slider::Gang:
            return Panel::GainSlider::Gang;
        case Slider::Pan:
            return Panel::GainSlider::Pan;
    }
    unknown();
}

Panel::RampField rampFieldOf(RampField field) {
    switch (field) {
        case RampField::Top:
            return Panel::RampField::Top;
        case RampField::Bottom:
            return Panel::RampField::Bottom;
        case RampField::Step:
            return Panel::RampField::Step;
        case RampField::Delay:
            return Panel::RampField::Delay;
    }
    unknown();
}

Panel::RampTarget panelTarget(RampTarget target) {
    switch (target) {
        case RampTarget::None:
            return Panel::RampTarget::None;
        case RampTarget::Left:
            return Panel::RampTarget::Left;
        case RampTarget::Right:
            return Panel::RampTarget::Right;
        case RampTarget::Gang:
            return Panel::RampTarget::Gang;
    }
    unknown();
}

RampTarget controlTarget(Panel::RampTarget target) {
    switch (target) {
        case Panel::RampTarget::None:
            return RampTarget::None;
        case Panel::RampTarget::Left:
            return RampTarget::Left;
        case Panel::RampTarget::Right:
            return RampTarget::Right;
        case Panel::RampTarget::Gang:
            return RampTarget::Gang;
    }
    unknown();
}

PortChoice portChoice(Port port) {
    switch (port) {
        case Port::Lpt1:
            return PortChoice::Lpt1;
        case Port::Lpt2:
            return PortChoice::Lpt2;
        case Port::Lpt3:
            return PortChoice::Lpt3;
    }
    unknown();
}

Port controlPort(PortChoice choice) {
    switch (choice) {
        case PortChoice::Lpt1:
            return Port::Lpt1;
        case PortChoice::Lpt2:
            return Port::Lpt2;
        case PortChoice::Lpt3:
            return Port::Lpt3;
    }
    unknown();
}

// A code label shows "C0h", or "XXh" where no chip could be told.
int codeOf(const QString& label) {
    bool ok = false;
    const int code = label.chopped(1).toInt(&ok, 16);
    return label.endsWith(QLatin1Char('h')) && ok ? code : -1;
}

}  // namespace

PanelInstrument::PanelInstrument(frmEntry& entry, const modGlblData& glbl, PanelsLink& link,
                                 JobDriver& jobs)
    : entry_(entry), glbl_(glbl), link_(link), jobs_(jobs) {}

Panel& PanelInstrument::panel(int dut) const {
    return dut == 2 ? glbl_.frmDUT2() : glbl_.frmDUT1();
}

void PanelInstrument::resetAll() {
    entry_.pressResetAll();
}

void PanelInstrument::selectPort(control::Port port) {
    entry_.selectPort(portChoice(port));
}

control::Port PanelInstrument::port() const {
    return controlPort(entry_.selectedPort());
}

void PanelInstrument::selectTopology(control::Topology topology) {
    entry_.selectTopology(topology == control::Topology::Dual);
}

control::Topology PanelInstrument::topology() const {
    return entry_.dualTopology() ? control::Topology::Dual : control::Topology::Single;
}

void PanelInstrument::moveSlider(int dut, control::Slider slider, int value) {
    panel(dut).setByCommand(gainSlider(slider), value);
}

int PanelInstrument::sliderValue(int dut, control::Slider slider) const {
    return panel(dut).sliderValue(gainSlider(slider));
}

void PanelInstrument::setMaxAtten(int dut) {
    panel(dut).pressMaxAtten();
}

void PanelInstrument::set0dB(int dut) {
    panel(dut).press0dB();
}

control::ReadBackCodes PanelInstrument::interrogate(int dut) {
    Panel& p = panel(dut);
    p.pressQuery();
    const auto [left, right] = p.readBackCodeTexts();
    return {codeOf(left), codeOf(right)};
}

int PanelInstrument::chainLength() const {
    return link_.lastReadBack().chainLength;
}

// The lines are common to both boards; the operator works them from the DUT1 panel.
void PanelInstrument::setPin(control::PinLine line, bool checked) {
    Panel& p = glbl_.frmDUT1();
    platform::setCheckValue(line == control::PinLine::Mute ? p.chkMute() : p.chkZCD(),
                            checked ? 1 : 0);
}

bool PanelInstrument::pin(control::PinLine line) const {
    Panel& p = glbl_.frmDUT1();
    return platform::checkValue(line == control::PinLine::Mute ? p.chkMute() : p.chkZCD()) == 1;
}

void PanelInstrument::enterRampField(int dut, control::RampField field, std::string_view text) {
    panel(dut).enterRampField(rampFieldOf(field),
                              QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

std::string PanelInstrument::rampField(int dut, control::RampField field) const {
    return panel(dut).rampFieldText(rampFieldOf(field)).toStdString();
}

void PanelInstrument::selectRampTarget(int dut, control::RampTarget target) {
    panel(dut).selectRampTarget(panelTarget(target));
}

control::RampTarget PanelInstrument::rampTarget(int dut) const {
    return controlTarget(panel(dut).selectedRampTarget());
}

void PanelInstrument::ramp(int dut, control::RampDirection direction) {
    panel(dut).pressRamp(direction == control::RampDirection::Up);
}

// Showing is the entry window's panel button; hiding is the panel's close box.
void PanelInstrument::showPanel(int dut, bool shown) {
    if (shown) {
        entry_.pressPanelButton(dut);
    } else {
        panel(dut).close();
    }
}

bool PanelInstrument::panelShown(int dut) const {
    return panel(dut).isVisible();
}

control::SetupFileResult PanelInstrument::saveSetup(const std::string& path) {
    return setup::store(*this, path);
}

control::SetupFileResult PanelInstrument::loadSetup(const std::string& path) {
    return setup::load(*this, path);
}

control::SetupFileResult PanelInstrument::saveResults(const std::string& path) {
    return storeMeasurement(path, false);
}

control::SetupFileResult PanelInstrument::saveReport(const std::string& path) {
    return storeMeasurement(path, true);
}

void PanelInstrument::attachMeasurement(std::function<const measure::MeasurementSession&()> session,
                                        std::function<measure::ReportSetup()> setup) {
    session_ = std::move(session);
    reportSetup_ = std::move(setup);
}

bool PanelInstrument::saveReportFile(const measure::MeasurementSession& session,
                                     const measure::ReportSetup& setup, const std::string& path,
                                     std::string& error) const {
    error = "no measurement module in this program";
    measure::MeasureModule* module = module_ ? module_(error) : nullptr;
    return module != nullptr && module->saveReport(session, setup, path, error);
}

control::SetupFileResult PanelInstrument::storeMeasurement(const std::string& path,
                                                           bool report) const {
    using Status = control::SetupFileResult::Status;
    if (!session_) {
        return {Status::NotWritten, "no measurement in this program"};
    }
    const measure::ReportSetup setup = reportSetup_ ? reportSetup_() : measure::ReportSetup{};
    std::string error;
    if (report ? saveReportFile(session_(), setup, path, error)
               : measure::saveSessionResults(session_(), setup, path, error)) {
        return {};
    }
    // A folder that is not there is a name not found; every other failure a name in error.
    std::error_code ignored;
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    const bool folderThere = folder.empty() || std::filesystem::is_directory(folder, ignored);
    return {folderThere ? Status::NotWritten : Status::NotFound, error};
}

std::string PanelInstrument::version() const {
    return SELVAR_VERSION;
}

std::vector<std::string> PanelInstrument::options() const {
    std::vector<std::string> options = platform::usableBackends(platform::realSystemCalls());
    if (measurements_ != nullptr && measurements_->usable()) {
        options.emplace_back("AUDIO");
    }
    return options;
}

std::optional<control::AudioChoice> PanelInstrument::audioChoice() const {
    if (measurements_ == nullptr) {
        return std::nullopt;
    }
    return measurements_->audioChoice();
}

bool PanelInstrument::chooseAudio(const control::AudioChoice& choice, std::string& reason) {
    return measurements_ != nullptr ? measurements_->chooseAudio(choice, reason)
                                    : Instrument::chooseAudio(choice, reason);
}

}  // namespace selvar::entry

namespace selvar::entry {

bool PanelInstrument::jobRunning() const {
    return jobs_.running();
}

void PanelInstrument::abortJob() {
    jobs_.stop();
}

void PanelInstrument::afterJob(std::function<void()> then) {
    if (!jobs_.running()) {
        then();
        return;
    }
    QObject::connect(&jobs_, &JobDriver::finished, &jobs_, std::move(then),
                     Qt::SingleShotConnection);
}

// The loop runs on meanwhile: painting, the other clients, the stop gestures.
void PanelInstrument::awaitJob() {
    if (!jobs_.running()) {
        return;
    }
    QEventLoop loop;
    QObject::connect(&jobs_, &JobDriver::finished, &loop, &QEventLoop::quit);
    loop.exec();
}

// The limit is the panels' link's: every gain the panels send passes there.
int PanelInstrument::highestCode() const {
    return link_.highestCode();
}

std::optional<int> PanelInstrument::gainLimit() const {
    return link_.gainLimit();
}

std::string PanelInstrument::setGainLimit(std::optional<int> code) {
    return link_.setGainLimit(code);
}

}  // namespace selvar::entry
