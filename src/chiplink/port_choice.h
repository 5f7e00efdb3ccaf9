#pragma once

#include <cstdint>

namespace selvar::chiplink {

// The three port choices of the entry window.
enum class PortChoice { Lpt1, Lpt2, Lpt3 };

// A port's registers: data at the base, status at base + 1, control at base + 2.
struct PortAddresses {
    int lpt;                   // 1..3
    std::int16_t portBase;     // data register
    std::int16_t portStatus;   // base + 1
    std::int16_t portControl;  // base + 2
};

constexpr PortAddresses addressesOf(PortChoice choice) {
    switch (choice) {
        case PortChoice::Lpt2:
            return {2, 0x278, 0x279, 0x27A};
        case PortChoice::Lpt3:
            return {3, 0x3BC, 0x3BD, 0x3BE};
        case PortChoice::Lpt1:
            break;
    }
    return {1, 0x378, 0x379, 0x37A};
}

}  // namespace selvar::chiplink
