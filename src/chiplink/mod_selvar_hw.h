#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "chiplink/port_globals.h"
#include "platform/selected_port.h"

namespace selvar::chiplink {

// One chip's two gain codes (0..255 each), as its gain panel's Left and Right sliders hold them.
struct GainCodes {
    int left = 0;
    int right = 0;
};

// Right code in the high byte, left code in the low byte.
std::uint16_t gainWord(GainCodes codes);

// What one register read-back found, and the code-label texts it yields.
struct ReadBackResult {
    int chainLength = 0;                  // probe count n: 16 one chip, 32 two, 1..49 otherwise
    std::array<std::uint8_t, 4> bytes{};  // in order of arrival
    // Label texts ("C0h", "XXh"), in the order they are written:
    std::string dut2Right, dut2Left, dut1Right, dut1Left;
};

// The chip link: pin operations, gain-word frames and the read-back, on the selected port.
// It never reaches into windows: callers pass the two gain words and show the result.
class modSelvarHw {
  public:
    modSelvarHw(platform::SelectedPort& port, PortGlobals& globals);

    // Sets the port addresses of the choice, opens that port, then writes 0 to its status
    // register and then to its control register.
    void choosePort(PortChoice choice);

    void setZcdPin();
    void clearZcdPin();
    void clearMutePin();
    void setMutePin();

    // One complete framed transfer: 2 reads and 99 writes of the data register.
    void sendGainWords(GainCodes dut2, GainCodes dut1);
    // The 32 clocked bits without framing (inside a frame).
    void shiftGainWords(GainCodes dut2, GainCodes dut1);
    // The whole loopback frame; ends with both gain words shifted in and chip select raised.
    ReadBackResult readBackGainRegisters(GainCodes dut2, GainCodes dut1);

    const PortGlobals& globals() const { return globals_; }

  private:
    std::uint8_t readData();
    void writeData(std::int32_t value);
    void changeLine(int bit, bool set);

    platform::SelectedPort& port_;
    PortGlobals& globals_;
};

}  // namespace selvar::chiplink
