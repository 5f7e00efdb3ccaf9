// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>

namespace selvar::platform {

// The six lines between the PC and the boards. Every line but the read-back is driven by the
// PC and common to all chips on the cable; serial data enters DUT1 and passes on to DUT2.
enum class Signal : std::uint8_t { Zcd, ChipSelect, Data, Clock, Mute, ReadBack };

inline constexpr int kSignalCount = 6;

// How the boards hang on a PC parallel port: which data-register bit drives each output line,
// and which status-register bit carries the read-back line. This is the one description of the
// wiring; the chip link, the simulated board, the waveform and the tests all read it here.
struct ParallelWiring {
    int zcdBit;
    int chipSelectBit;
    int dataBit;
    int clockBit;
    int muteBit;  // the MUTE input is active low: a 0 on this bit mutes
    int readBackStatusBit;
    // A standard port reads the BUSY pin inverted: status bit 0 means the line is high.
    bool readBackInverted;

    constexpr int dataRegisterBit(Signal s) const {
        switch (s) {
            case Signal::Zcd:
                return zcdBit;
            case Signal::ChipSelect:
                return chipSelectBit;
            case Signal::Data:
                return dataBit;
            case Signal::Clock:
                return clockBit;
            case Signal::Mute:
                return muteBit;
            case Signal::ReadBack:
                break;
        }
        return -1;  // the read-back line is an input, on the status register
    }
    constexpr std::uint8_t mask(Signal s) const {
        return static_cast<std::uint8_t>(1u << dataRegisterBit(s));
    }
    constexpr std::uint8_t readBackMask() const {
        return static_cast<std::uint8_t>(1u << readBackStatusBit);
    }
    // The level of an output line in a data-register value.
    constexpr bool level(std::uint8_t dataRegister, Signal s) const {
        return (dataRegister & mask(s)) != 0;
    }
    // The read-back line's level as a status-register value shows it.
    constexpr bool readBackLevel(std::uint8_t status) const {
        return ((status & readBackMask()) != 0) != readBackInverted;
    }
    // The status-register value a port shows for a read-back level; the other inputs float
    // high, as on a port with nothing else connected.
    constexpr std::uint8_t statusFor(bool readBackHigh) const {
        return static_cast<std::uint8_t>(readBackHigh != readBackInverted
                                             ? 0xFF
                                             : 0xFF & ~readBackMask());
    }
};

inline constexpr ParallelWiring kParallelWiring{
    .zcdBit = 0,
    .chipSelectBit = 1,
    .dataBit = 2,
    .clockBit = 3,
    .muteBit = 4,
    .readBackStatusBit = 7,
    .readBackInverted = true,
};

// The driven lines in a fixed order, for code that walks all of them.
inline constexpr std::array<Signal, 5> kOutputSignals = {Signal::ChipSelect, Signal::Clock,
                                                         Signal::Data, Signal::Mute, Signal::Zcd};

}  // namespace selvar::platform
