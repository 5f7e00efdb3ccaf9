#include "chiplink/port_globals.h"

#include <cmath>

namespace selvar::chiplink {

PortAddresses addressesOf(PortChoice choice) {
    switch (choice) {
        case PortChoice::Lpt1:
            return {1, 0x378, 0x379, 0x37A};
        case PortChoice::Lpt2:
            return {2, 0x278, 0x279, 0x27A};
        case PortChoice::Lpt3:
            return {3, 0x3BC, 0x3BD, 0x3BE};
    }
    return {1, 0x378, 0x379, 0x37A};
}

void PortGlobals::buildBitMasks() {
    for (int i = 0; i < 16; ++i) {
        bitMask[i] = static_cast<std::int32_t>(std::lround(std::pow(2.0, i)));
        bitMaskInv[i] = ~bitMask[i];
    }
}

}  // namespace selvar::chiplink
