// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/program.h"

#include <QPushButton>
#include <stdexcept>

#include "entry/frm_entry.h"
#include "entry/panel_instrument.h"
#include "entry/status_line.h"
#include "measure/gateway/module_loader.h"
#include "measure/report/session_report.h"
#include "monitor/frm_bus.h"

namespace selvar::entry {

Program::Program(std::unique_ptr<platform::PortProvider> provider,
                 platform::SelectedPort::FailureReporter reportFailure, AudioOptions audio)
    : provider_(std::move(provider)),
      port_(*provider_, std::move(reportFailure)),
      hw_(port_, glbl_.bitMasks()),
      link_(hw_, port_, glbl_, jobs_),
      capture_(provider_->timing()),
      captureAttachment_(port_.observers(), capture_),
      audio_(std::move(audio), provider_->boardRegisters(),
             [this](std::string& error) { return measureModule(error); }) {
    glbl_.adoptPanels(std::make_unique<panel::frmMain>(link_),
                      std::make_unique<panel::frmMain>(link_));
}

monitor::frmBus& Program::frmBus() {
    if (!bus_) {
        bus_ = std::make_unique<monitor::frmBus>(capture_, provider_->boardRegisters());
    }
    return *bus_;
}

Program::~Program() {
    // A job still running (the program closed mid-sweep) ends first, while the chips, the
    // windows and the measurement session it acts on are all still there: it puts back the
    // codes it found, so a board is never left where a sweep happened to be.
    if (jobs_.running()) {
        jobs_.stop();
        jobs_.finishNow();
    }
    // The observers of the port must not outlive the attachments that name them.
    measure_.reset();
    measurements_.reset();
    instrument_.reset();
    entry_.reset();
    keptAttachments_.clear();
}

void Program::keepObserver(std::unique_ptr<platform::AccessObserver> observer) {
    keptAttachments_.emplace_back(port_.observers(), *observer);
    kept_.push_back(std::move(observer));
}

frmEntry& Program::start() {
    if (entry_) {
        throw std::logic_error("the program has started already");
    }
    entry_ =
        std::make_unique<frmEntry>(glbl_, hw_, link_, [this]() -> QWidget& { return frmBus(); });
    for (QWidget* window :
         {static_cast<QWidget*>(entry_.get()), static_cast<QWidget*>(&glbl_.frmDUT1()),
          static_cast<QWidget*>(&glbl_.frmDUT2())}) {
        jobs_.holdInputTo(*window);
    }
    frmEntry& entry = *entry_;
    jobs_.letThrough(entry.stopButton());
    QObject::connect(&entry.stopButton(), &QPushButton::clicked, &jobs_, &JobDriver::stop);
    QObject::connect(&jobs_, &JobDriver::started, &entry, &frmEntry::showJob);
    QObject::connect(&jobs_, &JobDriver::finished, &entry, [&entry] { entry.showJob({}); });
    auto instrument = std::make_unique<PanelInstrument>(*entry_, glbl_, link_, jobs_);
    measurements_ = std::make_unique<ProgramMeasurements>(
        audio_, jobs_, [this]() -> control::Instrument& { return *instrument_; },
        [&entry](const QString& text) { entry.showJob(text); },
        [this](std::string& error) { return measureModule(error); });
    instrument->attachMeasurements(*measurements_);
    instrument->attachMeasurement(
        [this]() -> const measure::MeasurementSession& { return measurements_->session(); },
        [this] { return reportSetup(); });
    instrument->attachMeasureModule([this](std::string& error) { return measureModule(error); });
    instrument_ = std::move(instrument);
    entry_->attachInstrument(*instrument_);
    entry_->attachMeasureWindow([this](std::string& error) { return measureWindow(error); });
    return *entry_;
}

measure::MeasureModule* Program::measureModule(std::string& error) {
    if (injected_ != nullptr) {
        return injected_;
    }
    if (!module_) {
        module_ = measure::programMeasureModule();
    }
    return module_->module(error);
}

QWidget* Program::measureWindow(std::string& error) {
    if (measure_) {
        return measure_.get();
    }
    measure::MeasureModule* module = measureModule(error);
    if (module == nullptr) {
        return nullptr;
    }
    ProgramMeasurements& m = measurements();
    measure::MeasureHooks hooks;
    hooks.startJob = [&m](std::unique_ptr<measure::MeasurementJob> job) {
        m.start(std::move(job));
    };
    hooks.devices = [&m](bool outputs) {
        return m.audioDevices(outputs ? remote::AudioEnd::Output : remote::AudioEnd::Input);
    };
    hooks.device = [&m](bool output) {
        return m.audioDevice(output ? remote::AudioEnd::Output : remote::AudioEnd::Input);
    };
    hooks.choose = [&m](const std::string& output, const std::string& input, int) {
        std::string ignored;  // the list offered only what the server has
        m.chooseAudioDevice(remote::AudioEnd::Output, output, ignored);
        m.chooseAudioDevice(remote::AudioEnd::Input, input, ignored);
    };
    hooks.setup = [this] { return reportSetup(); };
    measure_ = module->makeWindow(m.session(), std::move(hooks));
    QWidget& window = *measure_;
    module->setJobRunning(window, jobs_.running());
    QObject::connect(&jobs_, &JobDriver::started, &window,
                     [module, &window] { module->setJobRunning(window, true); });
    QObject::connect(&jobs_, &JobDriver::finished, &window,
                     [module, &window] { module->setJobRunning(window, false); });
    return &window;
}

measure::ReportSetup Program::reportSetup() {
    measure::ReportSetup setup;
    setup.version = SELVAR_VERSION;
    setup.date = measure::nowIso8601();
    setup.port = port_.description();
    setup.chain = chainText(link_.lastReadBack().chainLength);
    setup.outputDevice = audio_.outputDevice();
    setup.inputDevice = audio_.inputDevice();
    setup.sampleRate = 48000.0;
    return setup;
}

ProgramMeasurements& Program::measurements() const {
    if (!measurements_) {
        throw std::logic_error("the program has not started");
    }
    return *measurements_;
}

control::Instrument& Program::instrument() const {
    if (!instrument_) {
        throw std::logic_error("the program has not started");
    }
    return *instrument_;
}

frmEntry& Program::entry() const {
    if (!entry_) {
        throw std::logic_error("the program has not started");
    }
    return *entry_;
}

}  // namespace selvar::entry
