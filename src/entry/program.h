// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <vector>

#include "chiplink/mod_selvar_hw.h"
#include "control/instrument.h"
#include "entry/audio_setup.h"
#include "entry/job_driver.h"
#include "entry/mod_glbl_data.h"
#include "entry/panels_link.h"
#include "entry/program_measurements.h"
#include "monitor/bus_capture.h"
#include "platform/selected_port.h"

namespace selvar::monitor {
class frmBus;
}
namespace selvar::measure {
class MeasureModule;
class MeasureModuleLoader;
struct ReportSetup;
}  // namespace selvar::measure

namespace selvar::entry {

class frmEntry;

// The whole program wired together, the one place that does it: the port backend, the selected
// port with its observers, the chip link, the two gain panels and their link to the chips, and
// the bus monitor watching the port from the start, the measurement's sound card (made on first
// use) and the entry window. main, the window tests
// and the benchmarks all build it this way. Building it touches no port; start() builds the entry
// window, whose start-up selects LPT1 and resets. Needs a QApplication (the panels are windows),
// shown or not.
class Program {
  public:
    // reportFailure hears, once per failed port selection, why the port could not be opened.
    Program(std::unique_ptr<platform::PortProvider> provider,
            platform::SelectedPort::FailureReporter reportFailure, AudioOptions audio = {});
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Attach before start() to see the start-up's traffic too.
    platform::AccessObservers& observers() { return port_.observers(); }
    // Keeps an observer (a trace file) attached until the program ends; it goes last, so it
    // has seen every access when it is destroyed.
    void keepObserver(std::unique_ptr<platform::AccessObserver> observer);

    // Runs the start-up; once only.
    frmEntry& start();
    frmEntry& entry() const;  // after start()
    // The program as remote commands drive it, through the windows' gestures; after start().
    control::Instrument& instrument() const;

    platform::SelectedPort& port() { return port_; }
    chiplink::modSelvarHw& hw() { return hw_; }
    modGlblData& glbl() { return glbl_; }
    PanelsLink& panelsLink() { return link_; }
    // The long operations (ramps) running on the event loop.
    JobDriver& jobs() { return jobs_; }
    panel::frmMain& frmDUT1() { return glbl_.frmDUT1(); }
    panel::frmMain& frmDUT2() { return glbl_.frmDUT2(); }
    monitor::BusCapture& capture() { return capture_; }
    // The sound card measurements run over; on a simulated port, the board's analog path.
    AudioSetup& audio() { return audio_; }
    // The measurements, their results and the sound card's choice; after start(). The session
    // within is made on first use.
    ProgramMeasurements& measurements() const;
    // The bus monitor window, built when first asked for (most runs never open it), hidden
    // until shown.
    monitor::frmBus& frmBus();
    // The measurement window (frmMeasure), built when first asked for ("Measure", --measure):
    // a start that measures nothing makes no chart. Null, with why, when the measurement module
    // cannot be loaded. After start().
    QWidget* measureWindow(std::string& error);
    // The measurement module: Qt Multimedia and Qt Charts, loaded on the first call from beside
    // the program or where the package installs it; null with why when it cannot be.
    measure::MeasureModule* measureModule(std::string& error);
    // Uses module instead of loading one (tests link the libraries directly); before start().
    void useMeasureModule(measure::MeasureModule& module) { injected_ = &module; }

  private:
    // What the results' files say about the set-up besides the results.
    measure::ReportSetup reportSetup();

    // Declared in the order they are built; destroyed the other way round, so the windows go
    // first and the kept observers last.
    std::unique_ptr<measure::MeasureModuleLoader> module_;  // its code outlives all but this
    measure::MeasureModule* injected_ = nullptr;
    std::vector<std::unique_ptr<platform::AccessObserver>> kept_;
    std::vector<platform::ObserverAttachment> keptAttachments_;
    std::unique_ptr<platform::PortProvider> provider_;
    platform::SelectedPort port_;
    modGlblData glbl_;
    chiplink::modSelvarHw hw_;
    JobDriver jobs_;
    PanelsLink link_;
    monitor::BusCapture capture_;
    platform::ObserverAttachment captureAttachment_;
    std::unique_ptr<monitor::frmBus> bus_;
    AudioSetup audio_;
    std::unique_ptr<frmEntry> entry_;
    std::unique_ptr<control::Instrument> instrument_;
    std::unique_ptr<ProgramMeasurements> measurements_;
    std::unique_ptr<QWidget> measure_;  // observes the session: goes before it
};

}  // namespace selvar::entry
