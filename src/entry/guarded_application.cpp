// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/guarded_application.h"

#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <exception>

#include "entry/program_icon.h"

namespace selvar::entry {

GuardedApplication::GuardedApplication(int& argc, char** argv, Reporter report)
    : QApplication(argc, argv), report_(std::move(report)) {
    // Every window of the program, message boxes and file dialogs included, carries its icon.
    setWindowIcon(programIcon());
    setDesktopFileName(QStringLiteral("selvar"));
}

GuardedApplication::Reporter GuardedApplication::setReporter(Reporter report) {
    std::swap(report, report_);
    return report;
}

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        report_(std::string("the last action was stopped: ") + e.what());
    } catch (...) {
        report_("the last action was stopped by an unknown error");
    }
    // The event counts as handled: nothing else should act on it half-way.
    return true;
}

void reportProblem(const std::string& message) {
    std::fprintf(stderr, "selvar: %s\n", message.c_str());
    const QString text = QString::fromStdString(message);
    QTimer::singleShot(
        0, qApp, [text] { QMessageBox::warning(nullptr, QStringLiteral("Selvar Control"), text); });
}

}  // namespace selvar::entry
