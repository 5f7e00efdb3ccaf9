// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "measure/procedures/measurement_session.h"
#include "measure/report/report_content.h"

namespace selvar::measure {

// What the session holds, as a report prints it; setup says what the session cannot know (the
// program, the port, the chips found, the operator's note). The session must outlive it.
ReportContent reportContentOf(const MeasurementSession& session, ReportSetup setup);

// The session's results as CSV, written whole or not at all; false with the system's reason.
// (The PDF report draws charts: measure/charts has it.)
bool saveSessionResults(const MeasurementSession& session, const ReportSetup& setup,
                        const std::string& path, std::string& error);

// Now, as the files' headers give it (ISO 8601, UTC).
std::string nowIso8601();

}  // namespace selvar::measure
