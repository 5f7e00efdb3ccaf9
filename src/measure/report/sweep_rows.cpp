// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/report/sweep_rows.h"

#include <cmath>
#include <cstdio>

namespace selvar::measure {
namespace {

void judge(SweepRow& row, const Limits& limits) {
    auto mark = [&row](Check check) { row.failed |= static_cast<int>(check); };
    for (const auto& error : row.errorDb) {
        if (error && std::abs(*error) > limits.gainErrorDb) {
            mark(Check::GainError);
        }
    }
    if (row.stepErrorDb && std::abs(*row.stepErrorDb) > limits.stepErrorDb) {
        mark(Check::StepError);
    }
    if (row.gainDb[0] && row.gainDb[1] &&
        std::abs(*row.gainDb[0] - *row.gainDb[1]) > limits.matchingDb) {
        mark(Check::Matching);
    }
    // Code 0 is mute: what comes out is noise, held to the mute depth instead.
    if (row.code > 0 && row.thdnDb && *row.thdnDb > limits.thdnDb) {
        mark(Check::Thdn);
    }
}

// The step of each channel from the previous row; the one furthest from the set step counts.
void setStep(SweepRow& row, const SweepRow& previous) {
    const double setStep = row.setDb - previous.setDb;
    for (int ch = 0; ch < kChannels; ++ch) {
        if (!row.gainDb[ch] || !previous.gainDb[ch]) {
            continue;
        }
        const double step = *row.gainDb[ch] - *previous.gainDb[ch];
        if (!row.stepErrorDb || std::abs(step - setStep) > std::abs(*row.stepErrorDb)) {
            row.stepDb = step;
            row.stepErrorDb = step - setStep;
        }
    }
}

std::string format(const char* pattern, int code, double value, double limit) {
    char text[128];
    std::snprintf(text, sizeof text, pattern, code, value, limit);
    return text;
}

}  // namespace

std::vector<SweepRow> sweepRows(const SweepResult& sweep, const Limits& limits) {
    std::vector<SweepRow> rows;
    for (const auto& measured : sweep.codes) {
        if (!measured) {
            continue;
        }
        SweepRow row;
        row.code = measured->code;
        row.setDb = measured->setDb;
        for (int ch = 0; ch < kChannels; ++ch) {
            const ChannelMeasurement& m = measured->channels[ch];
            row.gainDb[ch] = m.gainDb;
            row.floorLimited[ch] = m.floorLimited;
            if (m.gainDb && row.code > 0) {
                row.errorDb[ch] = *m.gainDb - row.setDb;
            }
            if (m.thdnDb && (!row.thdnDb || *m.thdnDb > *row.thdnDb)) {
                row.thdnDb = m.thdnDb;
            }
        }
        // Code 0 is mute: no finite set gain, so neither it nor the step out of it is judged.
        if (!rows.empty() && rows.back().code > 0 && row.code > 0) {
            setStep(row, rows.back());
        }
        judge(row, limits);
        rows.push_back(row);
    }
    return rows;
}

std::string Verdict::headline() const {
    if (codesJudged == 0) {
        return "NOT MEASURED";
    }
    const std::string counts = " (" + std::to_string(codesJudged - codesFailed) + " of " +
                               std::to_string(codesJudged) + " codes within the limits)";
    return (pass() ? "PASS" : "FAIL") + counts;
}

Verdict verdictOf(const std::vector<SweepRow>& rows, const std::optional<MuteResult>& mute,
                  const Limits& limits) {
    Verdict verdict;
    for (const SweepRow& row : rows) {
        ++verdict.codesJudged;
        if (row.passes()) {
            continue;
        }
        ++verdict.codesFailed;
        auto add = [&](Check check, const char* pattern, double value, double limit) {
            if (row.fails(check)) {
                verdict.failures.push_back(format(pattern, row.code, value, limit));
            }
        };
        const double worstError =
            std::abs(row.errorDb[0].value_or(0)) >= std::abs(row.errorDb[1].value_or(0))
                ? row.errorDb[0].value_or(0)
                : row.errorDb[1].value_or(0);
        add(Check::GainError, "code %d: gain error %+.2f dB outside ±%.2f dB", worstError,
            limits.gainErrorDb);
        add(Check::StepError, "code %d: step error %+.2f dB outside ±%.2f dB",
            row.stepErrorDb.value_or(0), limits.stepErrorDb);
        add(Check::Matching, "code %d: Left - Right %+.2f dB outside ±%.2f dB",
            row.gainDb[0].value_or(0) - row.gainDb[1].value_or(0), limits.matchingDb);
        add(Check::Thdn, "code %d: THD+N %.1f dB above %.1f dB", row.thdnDb.value_or(0),
            limits.thdnDb);
    }
    if (mute) {
        for (const auto& [depth, what] :
             {std::pair{mute->pinDb, "MUTE line"}, std::pair{mute->codeDb, "code 0"}}) {
            if (depth < limits.muteDepthDb) {
                char text[128];
                std::snprintf(text, sizeof text, "mute depth by %s %.1f dB below %.1f dB", what,
                              depth, limits.muteDepthDb);
                verdict.failures.emplace_back(text);
            }
        }
    }
    return verdict;
}

}  // namespace selvar::measure
