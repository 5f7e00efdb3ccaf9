// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/status_line.h"

#include "control/instrument.h"

namespace selvar::entry {

namespace {

// The port's own messages start with "LPTn: "; the status line names the port already.
std::string withoutPortName(const std::string& message, int lpt) {
    const std::string name = "LPT" + std::to_string(lpt) + ": ";
    return message.starts_with(name) ? message.substr(name.size()) : message;
}

constexpr int kBitsPerChip = control::Instrument::kBitsPerChip;

// A count that is no whole number of registers is a line stuck high or low: nothing answered.
int chipsOf(int chainLength) {
    return chainLength > 0 && chainLength % kBitsPerChip == 0 ? chainLength / kBitsPerChip : 0;
}

}  // namespace

std::string chainText(int chainLength) {
    const int chips = chipsOf(chainLength);
    if (chips <= 0) {
        return "no chip answers";
    }
    return chips == 1 ? "1 chip answers" : std::to_string(chips) + " chips answer";
}

StatusText statusText(const StatusFacts& facts) {
    StatusText status;
    if (!facts.opened) {
        status.text = "LPT" + std::to_string(facts.lpt) +
                      " not open: " + withoutPortName(facts.failure, facts.lpt);
    } else {
        status.text = facts.port + "; " + chainText(facts.chainLength);
        // A port that opened but where nothing answers is usually a cable or a board's power.
        if (chipsOf(facts.chainLength) == 0) {
            status.text += "\nWarning: check the cable and the boards' power.";
            status.warning = true;
        } else if (facts.dual && chipsOf(facts.chainLength) == 1) {
            status.text += "\nWarning: Dual DUT, but the chain holds 1 chip.";
            status.warning = true;
        }
    }
    if (!facts.job.empty()) {
        status.text += "\n" + facts.job;
    }
    // One line, as short as it can be: the label has room for four.
    if (!facts.gainLimit.empty()) {
        status.text += "\nGain limit " + facts.gainLimit;
        if (!facts.limitNews.empty()) {
            status.text += "; " + facts.limitNews;
        }
    }
    return status;
}

}  // namespace selvar::entry
