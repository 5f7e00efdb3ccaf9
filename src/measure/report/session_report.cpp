// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/report/session_report.h"

#include <QDateTime>

#include "measure/report/results_csv.h"

namespace selvar::measure {

ReportContent reportContentOf(const MeasurementSession& session, ReportSetup setup) {
    ReportContent content;
    if (setup.date.empty()) {
        setup.date = nowIso8601();
    }
    setup.calibration = session.calibration();
    if (session.sweep() && setup.board.empty()) {
        setup.board = "DUT" + std::to_string(session.sweep()->dut);
    }
    content.setup = std::move(setup);
    content.limits = session.limits();
    content.sweep = session.sweep() ? &*session.sweep() : nullptr;
    content.mute = session.mute();
    content.zcdClick = session.zcdClick();
    return content;
}

bool saveSessionResults(const MeasurementSession& session, const ReportSetup& setup,
                        const std::string& path, std::string& error) {
    const ReportContent c = reportContentOf(session, setup);
    const std::vector<SweepRow> rows =
        c.sweep ? sweepRows(*c.sweep, c.limits) : std::vector<SweepRow>{};
    return saveResultsCsv(path, c.setup, c.limits, rows, error);
}

std::string nowIso8601() {
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString();
}

}  // namespace selvar::measure
