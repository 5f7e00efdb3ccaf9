// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>

#include "platform/pacer.h"
#include "platform/selected_port.h"
#include "platform/vcd_writer.h"

namespace selvar::platform {

struct SimBoardConfig {
    int chips = 2;                 // 0, 1 or 2 chips on the simulated cable
    bool idleLineHigh = true;      // read-back line level with no chip (high = logical 1)
    std::int64_t accessNs = 1000;  // simulated duration of one port access; 0 = no pacing
};

// The simulated demonstration board(s) behind a parallel port: the data-register latch and a
// daisy chain of 16-bit shift registers. Registers are addressed by offset (0 data, 1 status,
// 2 control). Everything a test needs to assert is observable.
class SimBoard final : public BoardRegisters {
  public:
    static constexpr int kMaxChips = 2;

    // Throws std::invalid_argument for a chain other than 0, 1 or 2 chips.
    explicit SimBoard(SimBoardConfig config = {});

    // Offsets other than 0..2 throw std::out_of_range.
    std::uint8_t readRegister(int offset);
    void writeRegister(int offset, std::uint8_t value);

    int chips() const override;
    std::uint16_t gainRegister(int chip) const override;
    // A chip's shift register as it is now: the last 16 bits it received.
    std::uint16_t shiftRegister(int chip) const;
    std::uint8_t dataLatch() const;
    std::uint8_t controlRegister() const;
    bool muted() const override;
    bool zcdHigh() const override;
    // The read-back line as a logical level (status bit 7 shows it inverted).
    bool readBackLine() const;

  private:
    void writeData(std::uint8_t value);
    int checkedChip(int chip) const;

    int chips_;
    bool idleLineHigh_;
    std::uint8_t data_ = 0;
    std::uint8_t control_ = 0;
    std::array<std::uint16_t, kMaxChips> shift_{};
    std::array<std::uint16_t, kMaxChips> gain_{};
};

// Opens the one simulated board at whichever port is selected; every access is paced. The
// ports it opens refer to its board and must not outlive it.
class SimPortProvider : public PortProvider {
  public:
    explicit SimPortProvider(SimBoardConfig config = {});
    Opened open(int lpt, std::uint16_t base) override;
    SimBoard& board();
    // The simulated duration of one access (0: pacing off).
    std::int64_t accessNs() const { return pacer_.periodNs(); }
    VcdTiming timing() const override { return VcdTiming::simulated(accessNs()); }
    const BoardRegisters* boardRegisters() const override { return &board_; }

  private:
    SimBoard board_;
    Pacer pacer_;
};

}  // namespace selvar::platform
