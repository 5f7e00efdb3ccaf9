#pragma once

#include <array>
#include <cstdint>

namespace selvar::chiplink {

// Data-register lines (bit numbers) and the read-back line on the status register.
inline constexpr int kZcdBit = 0;
inline constexpr int kChipSelectBit = 1;
inline constexpr int kDataBit = 2;
inline constexpr int kClockBit = 3;
inline constexpr int kMuteBit = 4;  // active low
inline constexpr int kReadBackBit = 7;

// The three port choices of the entry window.
enum class PortChoice { Lpt1, Lpt2, Lpt3 };

struct PortAddresses {
    int lpt;                   // 1..3
    std::int16_t portBase;     // data register
    std::int16_t portStatus;   // base + 1
    std::int16_t portControl;  // base + 2
};

PortAddresses addressesOf(PortChoice choice);

// The port globals of the running program: the selected port's addresses (0 until a port is
// chosen) and the bit-mask table every line change uses.
struct PortGlobals {
    std::int16_t portBase = 0;
    std::int16_t portStatus = 0;
    std::int16_t portControl = 0;
    std::array<std::int32_t, 16> bitMask{};
    std::array<std::int32_t, 16> bitMaskInv{};

    // Fills bitMask (2^i) and bitMaskInv (its complement); makes no port access.
    void buildBitMasks();
};

}  // namespace selvar::chiplink
