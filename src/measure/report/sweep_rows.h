// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "measure/procedures/results.h"

namespace selvar::measure {

// What a code's row is held against; a row passes when it fails none.
enum class Check { GainError = 1, StepError = 2, Matching = 4, Thdn = 8 };

// One measured code as the table, the CSV and the report show it. A channel that was not
// measured, or lay below the floor, has no gain and so no error.
struct SweepRow {
    int code = 0;
    double setDb = 0.0;
    std::array<std::optional<double>, kChannels> gainDb;
    std::array<bool, kChannels> floorLimited{};
    std::array<std::optional<double>, kChannels> errorDb;
    // The step from the next lower measured code, of the channel furthest from the set step.
    std::optional<double> stepDb;
    std::optional<double> stepErrorDb;  // step minus the set step
    std::optional<double> thdnDb;       // the worse channel's
    int failed = 0;                     // the Checks this row fails, or-ed

    bool fails(Check check) const { return (failed & static_cast<int>(check)) != 0; }
    bool passes() const { return failed == 0; }
};

// The measured codes in ascending order, each judged against the limits.
std::vector<SweepRow> sweepRows(const SweepResult& sweep, const Limits& limits);

// The whole evaluation against the limits: each failure in the operator's words.
struct Verdict {
    int codesJudged = 0;
    int codesFailed = 0;
    std::vector<std::string> failures;
    bool pass() const { return codesJudged > 0 && failures.empty(); }
    std::string headline() const;  // "PASS" / "FAIL" / "NOT MEASURED", with counts
};

Verdict verdictOf(const std::vector<SweepRow>& rows, const std::optional<MuteResult>& mute,
                  const Limits& limits);

}  // namespace selvar::measure
