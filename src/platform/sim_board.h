#pragma once

#include <array>
#include <cstdint>

#include "platform/selected_port.h"

namespace selvar::platform {

struct SimBoardConfig {
    int chips = 2;                 // 0, 1 or 2 chips on the simulated cable
    bool idleLineHigh = true;      // read-back line level with no chip (high = logical 1)
    std::int64_t accessNs = 1000;  // simulated duration of one port access; 0 = no pacing
};

// The simulated demonstration board(s) behind a parallel port: the data-register latch and a
// daisy chain of 16-bit shift registers. Registers are addressed by offset (0 data, 1 status,
// 2 control). Everything a test needs to assert is observable.
class SimBoard {
  public:
    explicit SimBoard(SimBoardConfig config = {});

    std::uint8_t readRegister(int offset);
    void writeRegister(int offset, std::uint8_t value);

    int chips() const;
    // The gain register a chip latched on the last rising chip select (right code high byte).
    // chip 0 is DUT1 (PC side), chip 1 is DUT2.
    std::uint16_t gainRegister(int chip) const;
    std::uint8_t dataLatch() const;
    std::uint8_t controlRegister() const;
    bool muted() const;    // MUTE line low
    bool zcdHigh() const;  // ZCD line high
};

// Opens the one simulated board at whichever port is selected; every access is paced.
class SimPortProvider : public PortProvider {
  public:
    explicit SimPortProvider(SimBoardConfig config = {});
    Opened open(int lpt, std::uint16_t base) override;
    SimBoard& board();
};

}  // namespace selvar::platform
