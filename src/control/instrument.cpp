// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/instrument.h"

namespace selvar::control {

// Defined here so that the interface's virtual table has one home.
Instrument::~Instrument() = default;

// A program without the measurement has no results to write.
SetupFileResult Instrument::saveResults(const std::string&) {
    return {SetupFileResult::Status::NotWritten, "this program measures nothing"};
}

SetupFileResult Instrument::saveReport(const std::string& path) {
    return saveResults(path);
}

}  // namespace selvar::control
