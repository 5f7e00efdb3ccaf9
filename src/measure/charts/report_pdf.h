// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <optional>
#include <string>

#include "measure/procedures/measurement_session.h"
#include "measure/report/report_content.h"

namespace selvar::measure {

// The evaluation report as PDF: title page (chip, board, date, the operator's note), set-up,
// calibration, limits, verdict, every plot, then the results table. Needs a QGuiApplication.
QByteArray reportPdf(const ReportContent& content);

// Writes the report whole or not at all; false with the system's reason.
bool saveReportPdf(const std::string& path, const ReportContent& content, std::string& error);

// The session's report, as saveReportPdf() writes it; see reportContentOf().
bool saveSessionReport(const MeasurementSession& session, const ReportSetup& setup,
                       const std::string& path, std::string& error);

}  // namespace selvar::measure
