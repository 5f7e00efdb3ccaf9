// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "measure/procedures/results.h"
#include "measure/report/sweep_rows.h"

namespace selvar::measure {

// What a results file and a report say about how the results were obtained.
struct ReportSetup {
    std::string version;  // the program's
    std::string date;     // when the file was made, ISO 8601
    std::string port;     // the port or adapter
    std::string chain;    // the chips found on it
    std::string chip = "Selvar";
    std::string board;  // DUT1 / DUT2
    std::string outputDevice;
    std::string inputDevice;
    double sampleRate = 0.0;
    std::optional<Calibration> calibration;
    std::string note;  // the operator's, for the report's title page
};

// The CSV text: '#' lines of "key,value" saying how the results were obtained and the limits,
// then one row per measured code. An empty cell was not measured; "floor" lay below the floor.
std::string resultsCsv(const ReportSetup& setup, const Limits& limits,
                       const std::vector<SweepRow>& rows);

// A results file read back: its header's keys and values, and its rows (the pass/fail marks
// as written). False, with the line that could not be read, for anything else.
struct ResultsFile {
    std::vector<std::pair<std::string, std::string>> header;
    std::vector<SweepRow> rows;
};
bool readResultsCsv(const std::string& text, ResultsFile& file, std::string& error);

// Writes the CSV whole or not at all; false with the system's reason.
bool saveResultsCsv(const std::string& path, const ReportSetup& setup, const Limits& limits,
                    const std::vector<SweepRow>& rows, std::string& error);

}  // namespace selvar::measure
