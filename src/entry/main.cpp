// SPDX-License-Identifier: GPL-3.0-or-later
#include <QCoreApplication>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>

#include "entry/audio_listing.h"
#include "entry/command_line.h"
#include "entry/display_check.h"
#include "entry/frm_entry.h"
#include "entry/guarded_application.h"
#include "entry/privilege.h"
#include "entry/program.h"
#include "entry/raw_arguments.h"
#include "entry/remote_run.h"
#include "entry/standard_streams.h"
#include "entry/termination_signals.h"
#include "monitor/frm_bus.h"
#include "platform/adapters/adapter_config.h"
#include "platform/adapters/adapter_provider.h"
#include "platform/bus_trace.h"
#include "platform/port_options.h"

namespace {

using selvar::entry::CommandLine;

// The trace the options ask for, or null without one; false when it cannot be created, said
// on standard error. lost is set if records are lost later (a full disk, a reader gone).
bool openTrace(const selvar::entry::RunOptions& options, bool& lost,
               std::unique_ptr<selvar::platform::AccessObserver>& trace) {
    if (options.tracePath.empty()) {
        return true;
    }
    const bool simulated = options.port.backend == selvar::platform::PortBackend::Sim;
    std::string error;
    trace = selvar::platform::openBusTrace(
        options.tracePath,
        simulated ? options.port.sim.accessNs : selvar::platform::kHardwareAccessNs, error, &lost);
    if (!trace) {
        std::fprintf(stderr, "selvar: --trace %s: %s\n",
                     selvar::platform::echoed(options.tracePath).c_str(), error.c_str());
    }
    return trace != nullptr;
}

// The windows and the program's state, which goes last: the trace is complete (or known to be
// lost) when this returns.
int runWindows(char* programName, const selvar::entry::RunOptions& options, bool& traceLost) {
    // Our parser alone reads the arguments: Qt would take its own options (-platform, ...)
    // even where they are another option's value. Windowless, the windows still exist, on a
    // platform that needs no display and shows nothing.
    char fallbackName[] = "selvar";
    char platformOption[] = "-platform";
    char offscreen[] = "offscreen";
    char* qtArgv[] = {programName ? programName : fallbackName, platformOption, offscreen, nullptr};
    int qtArgc = options.remote.noGui ? 3 : 1;
    qtArgv[qtArgc] = nullptr;
    selvar::entry::GuardedApplication app(qtArgc, qtArgv, selvar::entry::reportProblem);
    QApplication::setApplicationName("selvar");
    QApplication::setApplicationVersion(SELVAR_VERSION);

    // Opened only once the window system has answered: a display that cannot be reached ends
    // the program inside Qt, and an earlier trace of the same name must not be lost to that.
    std::unique_ptr<selvar::platform::AccessObserver> trace;
    if (!openTrace(options, traceLost, trace)) {
        return 1;
    }
    // A port that cannot be opened is said once and the program carries on with it absent.
    selvar::entry::Program program(selvar::platform::makePortProvider(options.port),
                                   selvar::entry::reportProblem, options.audio);
    if (trace) {
        program.keepObserver(std::move(trace));
    }
    // Before the start-up, so that no frame the program ever sends exceeds it.
    if (const std::string conflict = program.panelsLink().setInitialGainLimit(options.gainLimit);
        !conflict.empty()) {
        std::fprintf(stderr, "selvar: --gain-limit: %s\n", conflict.c_str());
        return 1;
    }
    selvar::entry::frmEntry& entry = program.start();
    // A calibration named on the command line that cannot be used is a usage error, found
    // before any window shows.
    if (std::string reason; !program.measurements().loadCalibrationFile(reason)) {
        std::fputs(
            selvar::entry::usageErrorText(
                "--calibration " +
                selvar::platform::echoed(program.audio().options().calibrationPath) + ": " + reason)
                .c_str(),
            stderr);
        return selvar::entry::kUsageExitStatus;
    }
    // Ctrl+C or a logout closes the entry window as the operator would; a running ramp stops
    // first, after its move in progress.
    selvar::entry::TerminationSignals termination([&entry] { entry.close(); });
    program.panelsLink().stopRampsOn(termination.request());
    selvar::entry::RemoteRun remote(options.remote, program.instrument(),
                                    [&entry] { entry.close(); });
    remote.setMeasurements(&program.measurements());
    if (std::string error; !remote.start(error)) {
        std::fprintf(stderr, "selvar: %s\n", error.c_str());
        return 1;
    }
    if (!options.remote.noGui) {
        entry.show();
        if (options.openMonitor) {
            program.frmBus().show();
        }
        if (options.openMeasure) {
            entry.pressMeasureButton();
        }
    }
    if (options.quitAfterStart) {
        QTimer::singleShot(0, &entry, [&entry] { entry.close(); });
    }
    const int status = QApplication::exec();
    return status != 0 ? status : remote.status();
}

// --list-audio: Qt Multimedia needs an application object, not a display.
int listAudio(char* programName) {
    char fallbackName[] = "selvar";
    char* qtArgv[] = {programName ? programName : fallbackName, nullptr};
    int qtArgc = 1;
    const QCoreApplication app(qtArgc, qtArgv);
    std::string text;
    std::string error;
    const bool listed = selvar::entry::describeAudioDevices(text, error);
    std::fputs(text.c_str(), stdout);
    if (!listed) {
        std::fprintf(stderr, "selvar: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

// The files the audio options name, read before any window opens; a malformed error table is a
// bad --sim-analog value. The exit status, or 0 to go on.
int readAudioFiles(selvar::entry::AudioOptions& audio) {
    bool usage = false;
    const std::string reason = selvar::entry::readAudioFiles(audio, usage);
    if (reason.empty()) {
        return 0;
    }
    if (usage) {
        std::fputs(selvar::entry::usageErrorText(reason).c_str(), stderr);
        return selvar::entry::kUsageExitStatus;
    }
    std::fprintf(stderr, "selvar: %s\n", reason.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    // Before anything opens a descriptor that could take the number of a closed one.
    const selvar::entry::ClosedStandardStreams closed =
        selvar::entry::reopenClosedStandardStreams();
    // A trace or output whose reader went away is a failed write, said once, not a silent end.
    std::signal(SIGPIPE, SIG_IGN);
    // Before anything reads the environment: elevated, it is the caller's, not ours to trust.
    if (const std::string reason = selvar::entry::elevatedPrivilegeReason(); !reason.empty()) {
        std::fprintf(stderr, "selvar: %s\n", reason.c_str());
        return 1;
    }
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << selvar::entry::argumentFromBytes(argv[i]);
    }
    // Parsed before the window system is touched: help, version and usage errors need no display.
    const CommandLine commandLine = selvar::entry::parseCommandLine(arguments);
    switch (commandLine.action) {
        case CommandLine::Action::Help:
            std::fputs(commandLine.message.c_str(), stdout);
            return 0;
        case CommandLine::Action::ListAdapters:
            std::fputs(selvar::platform::describeAdapters().c_str(), stdout);
            return 0;
        case CommandLine::Action::ListAudio:
            return listAudio(argc > 0 ? argv[0] : nullptr);
        case CommandLine::Action::Version:
            std::printf("%s\n", commandLine.message.c_str());
            return 0;
        case CommandLine::Action::Error:
            std::fputs(selvar::entry::usageErrorText(commandLine.message).c_str(), stderr);
            return selvar::entry::kUsageExitStatus;
        case CommandLine::Action::Run:
            break;
    }
    selvar::entry::RunOptions options = commandLine.options;
    if (closed.input && options.remote.scriptPath == "-") {
        std::fprintf(stderr, "selvar: --script -: standard input is closed\n");
        return 1;
    }
    if (const int status = readAudioFiles(options.audio); status != 0) {
        return status;
    }
    // Found out before any file is created: Qt would abort after the trace was truncated.
    if (const std::string reason = selvar::entry::missingDisplayReason();
        !options.remote.noGui && !reason.empty()) {
        std::fprintf(stderr, "selvar: %s\n", reason.c_str());
        return 1;
    }
    // A GPIO pin the chip does not have is a usage error, found before any window opens.
    const std::string missingPin = selvar::platform::adapterPinsMissing(
        options.port.adapter, selvar::platform::realSystemCalls());
    if (!missingPin.empty()) {
        std::fputs(selvar::entry::usageErrorText(missingPin).c_str(), stderr);
        return selvar::entry::kUsageExitStatus;
    }

    bool traceLost = false;  // outlives the trace, which sets it as late as its closing
    const int status = runWindows(argc > 0 ? argv[0] : nullptr, options, traceLost);
    // A trace that lost records fails the run, so that scripts can tell.
    return traceLost ? 1 : status;
}
