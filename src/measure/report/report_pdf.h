// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <optional>
#include <string>

#include "measure/procedures/results.h"
#include "measure/report/results_csv.h"

namespace selvar::measure {

// Everything a report prints, all of it already in memory: nothing is measured for it.
struct ReportContent {
    ReportSetup setup;
    Limits limits;
    const SweepResult* sweep = nullptr;  // none: the report says nothing was swept
    std::optional<MuteResult> mute;
    std::optional<ZcdClickResult> zcdClick;
    int spectrumCode = 192;  // whose spectrum the report plots: 0 dB unless chosen
};

// The evaluation report as PDF: title page (chip, board, date, the operator's note), set-up,
// calibration, limits, verdict, every plot, then the results table. Needs a QGuiApplication.
QByteArray reportPdf(const ReportContent& content);

// Writes the report whole or not at all; false with the system's reason.
bool saveReportPdf(const std::string& path, const ReportContent& content, std::string& error);

}  // namespace selvar::measure
