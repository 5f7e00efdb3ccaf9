#include <QTimer>
#include <cstdio>
#include <memory>
#include <string>

#include "entry/command_line.h"
#include "entry/frm_entry.h"
#include "entry/guarded_application.h"
#include "entry/program.h"
#include "entry/termination_signals.h"
#include "monitor/frm_bus.h"
#include "platform/bus_trace.h"
#include "platform/port_options.h"

namespace {

using selvar::entry::CommandLine;

}  // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    // Parsed before the window system is touched: help, version and usage errors need no display.
    const CommandLine commandLine = selvar::entry::parseCommandLine(arguments);
    switch (commandLine.action) {
        case CommandLine::Action::Help:
            std::fputs(commandLine.message.c_str(), stdout);
            return 0;
        case CommandLine::Action::Version:
            std::printf("%s\n", commandLine.message.c_str());
            return 0;
        case CommandLine::Action::Error:
            std::fprintf(stderr, "selvar: %s\n\n%s", commandLine.message.c_str(),
                         commandLine.usage.c_str());
            return selvar::entry::kUsageExitStatus;
        case CommandLine::Action::Run:
            break;
    }
    const selvar::entry::RunOptions& options = commandLine.options;

    std::unique_ptr<selvar::platform::AccessObserver> trace;
    if (!options.tracePath.empty()) {
        const bool simulated = options.port.backend == selvar::platform::PortBackend::Sim;
        std::string error;
        trace = selvar::platform::openBusTrace(
            options.tracePath,
            simulated ? options.port.sim.accessNs : selvar::platform::kHardwareAccessNs, error);
        if (!trace) {
            std::fprintf(stderr, "selvar: --trace %s: %s\n", options.tracePath.c_str(),
                         error.c_str());
            return 1;
        }
    }

    selvar::entry::GuardedApplication app(argc, argv, selvar::entry::reportProblem);
    QApplication::setApplicationName("selvar");
    QApplication::setApplicationVersion(SELVAR_VERSION);

    // A port that cannot be opened is said once and the program carries on with it absent.
    selvar::entry::Program program(selvar::platform::makePortProvider(options.port),
                                   selvar::entry::reportProblem);
    if (trace) {
        program.keepObserver(std::move(trace));
    }
    selvar::entry::frmEntry& entry = program.start();
    // Ctrl+C or a logout closes the entry window as the operator would.
    selvar::entry::TerminationSignals termination([&entry] { entry.close(); });
    entry.show();
    if (options.openMonitor) {
        program.frmBus().show();
    }
    if (options.quitAfterStart) {
        QTimer::singleShot(0, &entry, [&entry] { entry.close(); });
    }
    return QApplication::exec();
}
