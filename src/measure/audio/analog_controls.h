// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace selvar::platform {
class BoardRegisters;
}

namespace selvar::audio {

// What the simulated analog path reads of the board: the chips' latched gain registers (right
// code in the high byte, left code in the low byte) and the MUTE and ZCD lines. Read only.
// The path has no clock of its own to compare a change against: it reads these at the frame it
// has reached, so a change made between two capture() calls latches at the first frame the
// second one renders (SimAudioPort::boardFrame()).
class AnalogControls {
  public:
    virtual ~AnalogControls() = default;
    virtual std::uint16_t gainRegister(int chip) const = 0;
    virtual bool muted() const = 0;    // MUTE asserted: both channels at the mute depth
    virtual bool zcdHigh() const = 0;  // gain changes wait for a zero crossing
};

// The simulated board as the analog path sees it, through the read-only view its port provider
// gives. The board must outlive it.
class SimBoardControls final : public AnalogControls {
  public:
    explicit SimBoardControls(const platform::BoardRegisters& board) : board_(board) {}
    std::uint16_t gainRegister(int chip) const override;
    bool muted() const override;
    bool zcdHigh() const override;

  private:
    const platform::BoardRegisters& board_;
};

}  // namespace selvar::audio
