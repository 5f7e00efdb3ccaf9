#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <string>

#include "entry/command_line.h"
#include "entry/frm_entry.h"
#include "entry/mod_glbl_data.h"
#include "platform/bus_trace.h"
#include "platform/port_options.h"

namespace {

using selvar::entry::CommandLine;

// A port that cannot be opened is said once on standard error and once in a message box; the
// program carries on with that port absent. The box waits until the running handler (start-up
// or a port selection) has finished, so no event is handled in the middle of a reset.
void reportPortFailure(const std::string& message) {
    std::fprintf(stderr, "selvar: %s\n", message.c_str());
    const QString text = QString::fromStdString(message);
    QTimer::singleShot(
        0, qApp, [text] { QMessageBox::warning(nullptr, QStringLiteral("Selvar Control"), text); });
}

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

    QApplication app(argc, argv);
    QApplication::setApplicationName("selvar");
    QApplication::setApplicationVersion(SELVAR_VERSION);

    // The program's state outlives the entry window and goes last, so the trace is complete
    // when main returns.
    selvar::entry::modGlblData glbl(selvar::platform::makePortProvider(options.port),
                                    reportPortFailure, std::move(trace));
    selvar::entry::frmEntry entry(glbl);
    entry.show();
    if (options.quitAfterStart) {
        QTimer::singleShot(0, &entry, [&entry] { entry.close(); });
    }
    return QApplication::exec();
}
