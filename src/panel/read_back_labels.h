// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "chiplink/mod_selvar_hw.h"

namespace selvar::panel {

// The four code-label texts a read-back yields, in the order they are written. A chain of one
// chip fills the DUT1 panel from the first two bytes; two chips fill both panels, the far
// chip's word first; any other length can be attributed to no chip: "XXh" everywhere.
struct ReadBackLabels {
    std::string dut2Right, dut2Left, dut1Right, dut1Left;
};

ReadBackLabels readBackLabels(const chiplink::ReadBack& readBack);

// Upper-case hex without leading zeros, then "h": 0h, 5h, C0h, FFh.
std::string codeText(int byte);

}  // namespace selvar::panel
