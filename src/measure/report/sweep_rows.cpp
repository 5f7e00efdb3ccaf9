// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/report/sweep_rows.h"

#include <cmath>
#include <cstdio>
#include <tuple>

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

// "1-127, 150, 180-181": the codes a check failed at, runs of neighbours joined.
std::string codeRuns(const std::vector<int>& codes) {
    std::string text;
    for (std::size_t i = 0; i < codes.size();) {
        std::size_t end = i;
        while (end + 1 < codes.size() && codes[end + 1] == codes[end] + 1) {
            ++end;
        }
        // Appended piece by piece: GCC 12 at -O3 sees a false overlap in `"-" + std::string`.
        if (!text.empty()) {
            text += ", ";
        }
        text += std::to_string(codes[i]);
        if (end > i) {
            text += '-';
            text += std::to_string(codes[end]);
        }
        i = end + 1;
    }
    return text;
}

// What one check found over the whole sweep: where it failed and its worst value.
struct CheckFailures {
    std::vector<int> codes;
    double worst = 0.0;
    int worstCode = 0;

    void add(int code, double value, bool higherIsWorse) {
        if (codes.empty() || (higherIsWorse ? value > worst : std::abs(value) > std::abs(worst))) {
            worst = value;
            worstCode = code;
        }
        codes.push_back(code);
    }
    std::string text(const char* what, const char* bound, double limit) const {
        char line[160];
        std::snprintf(line, sizeof line, "%s %s%.2f dB at %zu code%s: ", what, bound, limit,
                      codes.size(), codes.size() == 1 ? "" : "s");
        char worstText[64];
        std::snprintf(worstText, sizeof worstText, "; worst %+.2f dB at code %d", worst, worstCode);
        std::string text = line;
        text += codeRuns(codes);
        text += worstText;
        return text;
    }
};

double worseOf(const std::optional<double>& a, const std::optional<double>& b) {
    return std::abs(a.value_or(0)) >= std::abs(b.value_or(0)) ? a.value_or(0) : b.value_or(0);
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
            // Code 0 leaves no tone to relate distortion to: what it reads is noise over noise.
            if (row.code > 0 && m.thdnDb && (!row.thdnDb || *m.thdnDb > *row.thdnDb)) {
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
    CheckFailures gain, step, matching, thdn;
    for (const SweepRow& row : rows) {
        ++verdict.codesJudged;
        verdict.codesFailed += row.passes() ? 0 : 1;
        if (row.fails(Check::GainError)) {
            gain.add(row.code, worseOf(row.errorDb[0], row.errorDb[1]), false);
        }
        if (row.fails(Check::StepError)) {
            step.add(row.code, row.stepErrorDb.value_or(0), false);
        }
        if (row.fails(Check::Matching)) {
            matching.add(row.code, *row.gainDb[0] - *row.gainDb[1], false);
        }
        if (row.fails(Check::Thdn)) {
            thdn.add(row.code, *row.thdnDb, true);
        }
    }
    for (const auto& [found, what, bound, limit] :
         {std::tuple{&gain, "gain error outside", "±", limits.gainErrorDb},
          std::tuple{&step, "step error outside", "±", limits.stepErrorDb},
          std::tuple{&matching, "Left - Right outside", "±", limits.matchingDb},
          std::tuple{&thdn, "THD+N above", "", limits.thdnDb}}) {
        if (!found->codes.empty()) {
            verdict.failures.push_back(found->text(what, bound, limit));
        }
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
