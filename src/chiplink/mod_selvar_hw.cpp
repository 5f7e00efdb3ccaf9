// SPDX-License-Identifier: GPL-3.0-or-later
#include "chiplink/mod_selvar_hw.h"

#include "platform/wiring.h"

namespace selvar::chiplink {

namespace {

constexpr platform::ParallelWiring kWiring = platform::kParallelWiring;
constexpr int kZcdBit = kWiring.zcdBit;
constexpr int kChipSelectBit = kWiring.chipSelectBit;
constexpr int kDataBit = kWiring.dataBit;
constexpr int kClockBit = kWiring.clockBit;
constexpr int kMuteBit = kWiring.muteBit;

constexpr int kReadBackBits = 32;
constexpr int kProbeLimit = 48;

// Values written are a register byte combined with masks of bits 0..4, so keeping the low
// byte loses nothing.
std::uint8_t narrow(std::int32_t value) {
    return static_cast<std::uint8_t>(value);
}

}  // namespace

std::uint16_t gainWord(GainCodes codes) {
    return static_cast<std::uint16_t>((codes.right & 0xFF) * 256 + (codes.left & 0xFF));
}

modSelvarHw::modSelvarHw(platform::SelectedPort& port, const BitMaskTable& masks)
    : port_(port), masks_(masks) {}

const BitMaskTable& modSelvarHw::masks() const {
    if (!masks_.built()) {
        throw std::logic_error("chip link used before buildBitMasks");
    }
    return masks_;
}

void modSelvarHw::choosePort(PortChoice choice) {
    const PortAddresses a = addressesOf(choice);
    port_.select(a.lpt, static_cast<std::uint16_t>(a.portBase));
    port_.write(static_cast<std::uint16_t>(portStatus()), 0);
    port_.write(static_cast<std::uint16_t>(portControl()), 0);
}

std::int16_t modSelvarHw::portBase() const {
    return static_cast<std::int16_t>(port_.base());
}
std::int16_t modSelvarHw::portStatus() const {
    return port_.base() == 0 ? 0 : static_cast<std::int16_t>(port_.base() + 1);
}
std::int16_t modSelvarHw::portControl() const {
    return port_.base() == 0 ? 0 : static_cast<std::int16_t>(port_.base() + 2);
}

std::uint8_t modSelvarHw::readData() {
    return port_.read(port_.base());
}

void modSelvarHw::writeData(std::int32_t value) {
    port_.write(port_.base(), narrow(value));
}

void modSelvarHw::changeLine(int bit, bool set) {
    const BitMaskTable& m = masks();
    const std::int32_t v = readData();
    writeData(set ? (v | m.bitMask(bit)) : (v & m.bitMaskInv(bit)));
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
    const BitMaskTable& m = masks();
    const std::int32_t d = readData();
    platform::BusBatch frame;
    const std::int32_t d1 = d & m.bitMaskInv(kClockBit);
    frame.writeData(narrow(d1));
    const std::int32_t d2 = d1 & m.bitMaskInv(kChipSelectBit);
    frame.writeData(narrow(d2));
    shiftGainWords(frame, d2, dut2, dut1);
    // Chip select rises in the same write that restores the data line's earlier level.
    frame.writeData(narrow(d2 | m.bitMask(kChipSelectBit)));
    port_.run(frame);
}

// The shift reads the data register first, as it finds the frame; that read returns the
// latch, which is the last value written.
void modSelvarHw::shiftGainWords(platform::BusBatch& batch, std::int32_t v, GainCodes dut2,
                                 GainCodes dut1) const {
    const BitMaskTable& m = masks_;
    batch.readData();
    // Taken once: this loop is a drag's hot path (96 writes per transfer).
    const std::int32_t dataHigh = m.bitMask(kDataBit);
    const std::int32_t dataLow = m.bitMaskInv(kDataBit);
    const std::int32_t clockHigh = m.bitMask(kClockBit);
    const std::int32_t clockLow = m.bitMaskInv(kClockBit);
    const std::uint16_t words[2] = {gainWord(dut2), gainWord(dut1)};
    for (const std::uint16_t word : words) {
        for (int i = 15; i >= 0; --i) {
            v = (word & m.bitMask(i)) ? (v | dataHigh) : (v & dataLow);
            batch.writeData(narrow(v));
            v |= clockHigh;
            batch.writeData(narrow(v));
            v &= clockLow;
            batch.writeData(narrow(v));
        }
    }
}

ReadBack modSelvarHw::readBackGainRegisters(GainCodes dut2, GainCodes dut1) {
    const BitMaskTable& m = masks();
    const std::int32_t d = readData();
    platform::BusBatch frame;
    const auto pulse = [&](std::int32_t level) {
        frame.writeData(narrow(level | m.bitMask(kClockBit)));
        frame.writeData(narrow(level));
    };
    const std::int32_t e = d & m.bitMaskInv(kClockBit) & m.bitMaskInv(kDataBit);
    frame.writeData(narrow(e));
    const std::int32_t f = e & m.bitMaskInv(kChipSelectBit);
    frame.writeData(narrow(f));

    // Sampled before each pulse: the first bit is on the line as soon as chip select falls.
    std::array<std::size_t, kReadBackBits> samples{};
    for (std::size_t& sample : samples) {
        sample = frame.sample();
        pulse(f);
    }

    // One marker bit into the chain, then count the pulses until it comes out.
    const std::int32_t g = f | m.bitMask(kDataBit);
    frame.writeData(narrow(g));
    pulse(g);
    const std::int32_t h = g & m.bitMaskInv(kDataBit);
    frame.writeData(narrow(h));
    frame.probe(narrow(h), kProbeLimit);

    shiftGainWords(frame, h, dut2, dut1);
    frame.writeData(narrow(h | m.bitMask(kChipSelectBit)));
    port_.run(frame);

    ReadBack result;
    result.chainLength = frame.probeCount();
    for (std::size_t k = 0; k < result.bytes.size(); ++k) {
        int weight = 128;
        for (std::size_t bit = 0; bit < 8; ++bit) {
            if (frame.sampled(samples[k * 8 + bit])) {
                result.bytes[k] = static_cast<std::uint8_t>(result.bytes[k] + weight);
            }
            weight /= 2;
        }
    }
    return result;
}

}  // namespace selvar::chiplink
