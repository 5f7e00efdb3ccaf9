// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "measure/audio/audio_devices.h"
#include "measure/audio/audio_port.h"
#include "measure/procedures/measurement_session.h"
#include "measure/report/results_csv.h"

class QWidget;

namespace selvar::measure {

// What the window needs of the program, each optional: how a job is run (through the job
// driver, so that the status line, its Stop button and Esc stop it), the sound server's
// devices and the choice of them, and what the files' headers say about the set-up.
struct MeasureHooks {
    std::function<void(std::unique_ptr<MeasurementJob>)> startJob = {};
    std::function<std::vector<std::string>(bool outputs)> devices = {};
    std::function<std::string(bool output)> device = {};  // the one in use
    std::function<void(const std::string& output, const std::string& input, int rate)> choose = {};
    std::function<ReportSetup()> setup = {};
    // Asks where to save or what to open; an empty answer does nothing.
    std::function<QString(QWidget& parent, const QString& title, const QString& filter, bool save)>
        choosePath = {};
};

// What of the measurement needs Qt Multimedia or Qt Charts: the sound server's devices and a
// port on them, the measurement window and the PDF report. The program reaches it through this
// interface only, from a module it loads on first use (MeasureModuleLoader), so that a start
// which measures nothing maps neither library. Nothing here names a type of either.
class MeasureModule {
  public:
    virtual ~MeasureModule() = default;

    // What the sound server offers now. Needs a QCoreApplication; no display.
    virtual audio::AudioDeviceList listAudioDevices() = 0;
    // A port on the sound server's devices (empty ids: its defaults), not yet open.
    virtual std::unique_ptr<audio::AudioPort> makeAudioPort(const std::string& output,
                                                            const std::string& input) = 0;
    // The measurement window over the session, hidden; the session must outlive it.
    virtual std::unique_ptr<QWidget> makeWindow(MeasurementSession& session,
                                                MeasureHooks hooks) = 0;
    // While a job runs, the window's Start and Calibrate wait for it. window: makeWindow's.
    virtual void setJobRunning(QWidget& window, bool running) = 0;
    // The session's PDF report, written whole or not at all; false with the reason.
    virtual bool saveReport(const MeasurementSession& session, const ReportSetup& setup,
                            const std::string& path, std::string& error) = 0;
};

// The module's one exported function: a new MeasureModule that the caller owns, or null when
// the module was built for another version of this interface (the number below, raised at
// every change of it).
inline constexpr int kMeasureModuleInterface = 1;
inline constexpr char kMeasureModuleEntry[] = "selvar_measure_module";
using MeasureModuleEntry = MeasureModule* (*)(int interfaceVersion);

// How the program's parts reach the module: it, loaded on the first call, or null with why not.
using MeasureModuleAccess = std::function<MeasureModule*(std::string& error)>;

}  // namespace selvar::measure
