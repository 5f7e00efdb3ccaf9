#include "chiplink/mod_selvar_hw.h"

#include <cstdio>

namespace selvar::chiplink {

namespace {

// Upper-case hex without leading zeros, then "h": 0h, 5h, C0h, FFh.
std::string codeText(std::uint8_t byte) {
    char text[8];
    std::snprintf(text, sizeof text, "%Xh", static_cast<unsigned>(byte));
    return text;
}

const std::string kUnattributed = "XXh";

}  // namespace

std::uint16_t gainWord(GainCodes codes) {
    return static_cast<std::uint16_t>((codes.right & 0xFF) * 256 + (codes.left & 0xFF));
}

modSelvarHw::modSelvarHw(platform::SelectedPort& port, PortGlobals& globals)
    : port_(port), globals_(globals) {}

void modSelvarHw::choosePort(PortChoice choice) {
    const PortAddresses a = addressesOf(choice);
    globals_.portBase = a.portBase;
    globals_.portStatus = a.portStatus;
    globals_.portControl = a.portControl;
    port_.select(a.lpt, static_cast<std::uint16_t>(a.portBase));
    port_.write(static_cast<std::uint16_t>(globals_.portStatus), 0);
    port_.write(static_cast<std::uint16_t>(globals_.portControl), 0);
}

std::uint8_t modSelvarHw::readData() {
    return port_.read(static_cast<std::uint16_t>(globals_.portBase));
}

// Values written are a register byte combined with masks of bits 0..4, so keeping the low
// byte loses nothing.
void modSelvarHw::writeData(std::int32_t value) {
    port_.write(static_cast<std::uint16_t>(globals_.portBase), static_cast<std::uint8_t>(value));
}

void modSelvarHw::changeLine(int bit, bool set) {
    const std::int32_t v = readData();
    writeData(set ? (v | globals_.bitMask[bit]) : (v & globals_.bitMaskInv[bit]));
}

void modSelvarHw::setZcdPin() {
    changeLine(kZcdBit, true);
}
void modSelvarHw::clearZcdPin() {
    changeLine(kZcdBit, false);
}
void modSelvarHw::clearMutePin() {
    changeLine(kMuteBit, false);
}
void modSelvarHw::setMutePin() {
    changeLine(kMuteBit, true);
}

void modSelvarHw::sendGainWords(GainCodes dut2, GainCodes dut1) {
    const std::int32_t d = readData();
    const std::int32_t d1 = d & globals_.bitMaskInv[kClockBit];
    writeData(d1);
    const std::int32_t d2 = d1 & globals_.bitMaskInv[kChipSelectBit];
    writeData(d2);
    shiftGainWords(dut2, dut1);
    // Chip select rises in the same write that restores the data line's earlier level.
    writeData(d2 | globals_.bitMask[kChipSelectBit]);
}

void modSelvarHw::shiftGainWords(GainCodes dut2, GainCodes dut1) {
    std::int32_t v = readData();
    // Taken once: after every port call the compiler would otherwise have to fetch the address
    // and the masks again, and this loop is a drag's hot path (96 writes per transfer).
    const auto base = static_cast<std::uint16_t>(globals_.portBase);
    const std::int32_t dataHigh = globals_.bitMask[kDataBit];
    const std::int32_t dataLow = globals_.bitMaskInv[kDataBit];
    const std::int32_t clockHigh = globals_.bitMask[kClockBit];
    const std::int32_t clockLow = globals_.bitMaskInv[kClockBit];
    const std::uint16_t words[2] = {gainWord(dut2), gainWord(dut1)};
    for (const std::uint16_t word : words) {
        for (int i = 15; i >= 0; --i) {
            v = (word & globals_.bitMask[i]) ? (v | dataHigh) : (v & dataLow);
            port_.write(base, static_cast<std::uint8_t>(v));
            v |= clockHigh;
            port_.write(base, static_cast<std::uint8_t>(v));
            v &= clockLow;
            port_.write(base, static_cast<std::uint8_t>(v));
        }
    }
}

ReadBackResult modSelvarHw::readBackGainRegisters(GainCodes dut2, GainCodes dut1) {
    const auto status = static_cast<std::uint16_t>(globals_.portStatus);
    // The read-back line is active low on the status register.
    const auto lineIsOne = [&] {
        return (port_.read(status) & globals_.bitMask[kReadBackBit]) == 0;
    };
    const auto clockPulse = [&](std::int32_t level) {
        writeData(level | globals_.bitMask[kClockBit]);
        writeData(level);
    };

    ReadBackResult result;
    const std::int32_t d = readData();
    const std::int32_t e = d & globals_.bitMaskInv[kClockBit] & globals_.bitMaskInv[kDataBit];
    writeData(e);
    const std::int32_t f = e & globals_.bitMaskInv[kChipSelectBit];
    writeData(f);

    // Sampled before each pulse: the first bit is on the line as soon as chip select falls.
    for (auto& byte : result.bytes) {
        int weight = 128;
        for (int bit = 0; bit < 8; ++bit) {
            if (lineIsOne()) {
                byte = static_cast<std::uint8_t>(byte + weight);
            }
            weight /= 2;
            clockPulse(f);
        }
    }

    // One marker bit into the chain, then count the pulses until it comes out.
    const std::int32_t g = f | globals_.bitMask[kDataBit];
    writeData(g);
    clockPulse(g);
    const std::int32_t h = g & globals_.bitMaskInv[kDataBit];
    writeData(h);
    int n = 1;
    for (; n <= 48; ++n) {
        if (lineIsOne()) {
            break;
        }
        clockPulse(h);
    }
    result.chainLength = n;

    const auto& b = result.bytes;
    if (n == 32) {
        result.dut2Right = codeText(b[0]);
        result.dut2Left = codeText(b[1]);
        result.dut1Right = codeText(b[2]);
        result.dut1Left = codeText(b[3]);
    } else {
        result.dut2Right = kUnattributed;
        result.dut2Left = kUnattributed;
        if (n == 16) {
            result.dut1Right = codeText(b[0]);
            result.dut1Left = codeText(b[1]);
        } else {
            result.dut1Right = kUnattributed;
            result.dut1Left = kUnattributed;
        }
    }

    shiftGainWords(dut2, dut1);
    writeData(h | globals_.bitMask[kChipSelectBit]);
    return result;
}

}  // namespace selvar::chiplink
