// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace selvar::entry {

// What the entry window's status line tells: the selected port, the chain the last read-back
// found and, while one runs, the job.
struct StatusFacts {
    int lpt = 1;
    bool opened = false;
    std::string port;       // what the open port is, as its provider names it
    std::string failure;    // why the port did not open
    int chainLength = 0;    // bits the last read-back counted: 16 per chip, another count none
    bool dual = false;      // "Dual DUT (Daisy-Chain)" is selected
    std::string job;        // what the running job does; empty when none runs
    std::string gainLimit;  // the operator's gain limit ("+6.0 dB"); empty while none is set
    std::string limitNews;  // the last move the limit refused or held back
};

struct StatusText {
    std::string text;  // one line per fact, the warning (if any) after the port's line
    bool warning = false;
};

StatusText statusText(const StatusFacts& facts);

// "2 chips answer", "1 chip answers", "no chip answers", for a chain length in bits.
std::string chainText(int chainLength);

}  // namespace selvar::entry
