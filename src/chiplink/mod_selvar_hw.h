// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>

#include "chiplink/bit_masks.h"
#include "chiplink/port_choice.h"
#include "platform/bus_batch.h"
#include "platform/selected_port.h"

namespace selvar::chiplink {

// One chip's two gain codes (0..255 each), as its gain panel's Left and Right sliders hold them.
struct GainCodes {
    int left = 0;
    int right = 0;
};

// Right code in the high byte, left code in the low byte.
std::uint16_t gainWord(GainCodes codes);

// What one register read-back found.
struct ReadBack {
    int chainLength = 0;                  // probe count n: 16 one chip, 32 two, 1..49 otherwise
    std::array<std::uint8_t, 4> bytes{};  // in order of arrival, first bit most significant
};

// The chip link: pin operations, gain-word frames and the read-back, on the selected port.
// It never reaches into windows: callers pass the two gain words and show the result. A
// frame goes down to the port whole, so an adapter can send it in one transfer; a parallel
// port still performs it access by access. Every operation needs the built bit-mask table.
class modSelvarHw {
  public:
    modSelvarHw(platform::SelectedPort& port, const BitMaskTable& masks);

    // Opens the port of the choice (which sets the port addresses), then writes 0 to its status
    // register and then to its control register.
    void choosePort(PortChoice choice);

    // The selected port's registers; 0 until a port is chosen.
    std::int16_t portBase() const;
    std::int16_t portStatus() const;
    std::int16_t portControl() const;

    void setZcdPin();
    void clearZcdPin();
    void clearMutePin();
    void setMutePin();

    // One complete framed transfer: 2 reads and 99 writes of the data register.
    void sendGainWords(GainCodes dut2, GainCodes dut1);
    // The whole loopback frame; ends with both gain words shifted in and chip select raised.
    ReadBack readBackGainRegisters(GainCodes dut2, GainCodes dut1);

  private:
    const BitMaskTable& masks() const;
    std::uint8_t readData();
    void writeData(std::int32_t value);
    void changeLine(int bit, bool set);
    // The 32 clocked bits without framing, from data-register level v (inside a frame).
    void shiftGainWords(platform::BusBatch& batch, std::int32_t v, GainCodes dut2,
                        GainCodes dut1) const;

    platform::SelectedPort& port_;
    const BitMaskTable& masks_;
};

}  // namespace selvar::chiplink
