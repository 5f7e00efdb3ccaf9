// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>

#include "platform/wiring.h"

namespace selvar::platform {

// Which pin of an adapter carries each of the six bus lines. Bus batches and the chip link speak
// data-register values in the parallel-port wiring; an adapter maps every signal's bit onto its
// own pin here and nowhere else. Pins are numbered as the device numbers them (an FTDI chip's
// ADBUS bit, a GPIO chip's line offset).
struct AdapterPins {
    // Indexed by Signal.
    std::array<int, kSignalCount> pin{};

    constexpr int operator[](Signal s) const { return pin[static_cast<std::size_t>(s)]; }
    constexpr int& operator[](Signal s) { return pin[static_cast<std::size_t>(s)]; }

    // The masks below need pins 0..63 (an FTDI chip's); GPIO lines are addressed by their
    // place in the line request instead.

    // The pins the adapter drives: the five outputs, never the read-back input nor any pin
    // outside the wiring.
    constexpr std::uint64_t outputMask() const {
        std::uint64_t mask = 0;
        for (const Signal s : kOutputSignals) {
            mask |= bit((*this)[s]);
        }
        return mask;
    }
    // The output pins' levels for a data-register value.
    constexpr std::uint64_t levels(std::uint8_t dataRegister) const {
        std::uint64_t out = 0;
        for (const Signal s : kOutputSignals) {
            if (kParallelWiring.level(dataRegister, s)) {
                out |= bit((*this)[s]);
            }
        }
        return out;
    }
    // The data-register value the output pins' levels stand for.
    constexpr std::uint8_t dataRegister(std::uint64_t levels) const {
        std::uint8_t value = 0;
        for (const Signal s : kOutputSignals) {
            if (levels & bit((*this)[s])) {
                value = static_cast<std::uint8_t>(value | kParallelWiring.mask(s));
            }
        }
        return value;
    }
    constexpr bool readBack(std::uint64_t levels) const {
        return (levels & bit((*this)[Signal::ReadBack])) != 0;
    }

    // No bit for a pin beyond the masks' reach, rather than an undefined shift.
    static constexpr std::uint64_t bit(int pin) {
        return pin >= 0 && pin < 64 ? std::uint64_t{1} << pin : 0;
    }
};

// The names the command line and the messages use for the signals, in the order pins= lists them.
struct SignalName {
    Signal signal;
    const char* name;
};
inline constexpr std::array<SignalName, kSignalCount> kSignalNames{{
    {Signal::ChipSelect, "cs"},
    {Signal::Clock, "clk"},
    {Signal::Data, "data"},
    {Signal::ReadBack, "miso"},
    {Signal::Mute, "mute"},
    {Signal::Zcd, "zcd"},
}};

constexpr const char* signalName(Signal s) {
    for (const SignalName& n : kSignalNames) {
        if (n.signal == s) {
            return n.name;
        }
    }
    return "?";
}

constexpr AdapterPins pinsOf(int cs, int clk, int data, int miso, int mute, int zcd) {
    AdapterPins p;
    p[Signal::ChipSelect] = cs;
    p[Signal::Clock] = clk;
    p[Signal::Data] = data;
    p[Signal::ReadBack] = miso;
    p[Signal::Mute] = mute;
    p[Signal::Zcd] = zcd;
    return p;
}

// An FTDI chip's MPSSE pins: clock AD0, data AD1, read-back AD2 (the serial engine's own
// TCK/TDI/TDO), chip select AD3, MUTE AD4, ZCD AD5. Only the low byte (AD0..AD7) is used.
inline constexpr AdapterPins kFtdiDefaultPins = pinsOf(3, 0, 1, 2, 4, 5);
inline constexpr int kFtdiPinCount = 8;

// A Raspberry Pi's SPI0 header pins in BCM numbering: CE0 8, SCLK 11, MOSI 10, MISO 9, and
// two free lines for MUTE (23) and ZCD (24).
inline constexpr AdapterPins kGpioDefaultPins = pinsOf(8, 11, 10, 9, 23, 24);
// Line offsets the command line takes; a chip's own count is checked when it is opened.
inline constexpr int kGpioPinLimit = 4096;

}  // namespace selvar::platform
