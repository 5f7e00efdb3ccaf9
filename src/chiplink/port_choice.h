// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace selvar::chiplink {

// The three port choices of the entry window.
enum class PortChoice { Lpt1, Lpt2, Lpt3 };

// Where a port choice is: its LPT number and its data register. Status and control follow at
// base + 1 and base + 2, as the selected port knows.
struct PortAddresses {
    int lpt;                // 1..3
    std::int16_t portBase;  // data register
};

constexpr PortAddresses addressesOf(PortChoice choice) {
    switch (choice) {
        case PortChoice::Lpt2:
            return {2, 0x278};
        case PortChoice::Lpt3:
            return {3, 0x3BC};
        case PortChoice::Lpt1:
            break;
    }
    return {1, 0x378};
}

}  // namespace selvar::chiplink
