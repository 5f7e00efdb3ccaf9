// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/sim_board.h"

#include <stdexcept>
#include <string>

#include "platform/wiring.h"

namespace selvar::platform {

namespace {

// Data-register lines as the chips are wired to them.
constexpr ParallelWiring kWiring = kParallelWiring;
constexpr std::uint8_t kZcd = kWiring.mask(Signal::Zcd);
constexpr std::uint8_t kChipSelect = kWiring.mask(Signal::ChipSelect);
constexpr std::uint8_t kSerialData = kWiring.mask(Signal::Data);
constexpr std::uint8_t kClock = kWiring.mask(Signal::Clock);
constexpr std::uint8_t kMute = kWiring.mask(Signal::Mute);

constexpr int kData = 0;
constexpr int kStatus = 1;
constexpr int kControl = 2;

[[noreturn]] void badOffset(int offset) {
    throw std::out_of_range("simulated board has no register at offset " + std::to_string(offset));
}

// The board as seen at one port base. Every access takes the pacer's period; without pacing
// there is no pacer to consult, which keeps the unpaced path a few instructions long.
class SimPortView final : public PortIo {
  public:
    SimPortView(SimBoard& board, Pacer& pacer, std::uint16_t base)
        : board_(board), pacer_(pacer.periodNs() > 0 ? &pacer : nullptr), base_(base) {}

    // The board itself refuses offsets other than 0..2.
    std::uint8_t read(std::uint16_t address) override {
        if (pacer_) {
            pacer_->pace();
        }
        return board_.readRegister(address - base_);
    }
    void write(std::uint16_t address, std::uint8_t value) override {
        if (pacer_) {
            pacer_->pace();
        }
        board_.writeRegister(address - base_, value);
    }

  private:
    SimBoard& board_;
    Pacer* pacer_;
    std::uint16_t base_;
};

}  // namespace

SimBoard::SimBoard(SimBoardConfig config)
    : chips_(config.chips), idleLineHigh_(config.idleLineHigh) {
    if (chips_ < 0 || chips_ > kMaxChips) {
        throw std::invalid_argument("a simulated cable carries 0, 1 or 2 chips, not " +
                                    std::to_string(chips_));
    }
}

std::uint8_t SimBoard::readRegister(int offset) {
    switch (offset) {
        case kData:
            return data_;
        case kStatus:
            return kWiring.statusFor(readBackLine());  // the other inputs are pulled up
        case kControl:
            return control_;
        default:
            badOffset(offset);
    }
}

void SimBoard::writeRegister(int offset, std::uint8_t value) {
    switch (offset) {
        case kData:
            writeData(value);
            return;
        case kStatus:
            return;  // an input register: the write reaches no line
        case kControl:
            control_ = value;
            return;
        default:
            badOffset(offset);
    }
}

void SimBoard::writeData(std::uint8_t value) {
    const std::uint8_t rising = static_cast<std::uint8_t>(value & ~data_);
    data_ = value;
    if ((rising & kClock) && !(value & kChipSelect)) {
        // Far chip first: it takes the near chip's bit 15 as it was before this edge.
        if (chips_ == 2) {
            shift_[1] = static_cast<std::uint16_t>((shift_[1] << 1) | (shift_[0] >> 15));
        }
        if (chips_ > 0) {
            shift_[0] =
                static_cast<std::uint16_t>((shift_[0] << 1) | ((value & kSerialData) ? 1 : 0));
        }
    }
    if (rising & kChipSelect) {
        gain_ = shift_;
    }
}

bool SimBoard::readBackLine() const {
    return chips_ == 0 ? idleLineHigh_ : (shift_[chips_ - 1] >> 15) != 0;
}

int SimBoard::chips() const {
    return chips_;
}

int SimBoard::checkedChip(int chip) const {
    if (chip < 0 || chip >= chips_) {
        throw std::out_of_range("no chip " + std::to_string(chip) + " on a cable of " +
                                std::to_string(chips_));
    }
    return chip;
}

std::uint16_t SimBoard::gainRegister(int chip) const {
    return gain_[checkedChip(chip)];
}

std::uint16_t SimBoard::shiftRegister(int chip) const {
    return shift_[checkedChip(chip)];
}

std::uint8_t SimBoard::dataLatch() const {
    return data_;
}

std::uint8_t SimBoard::controlRegister() const {
    return control_;
}

bool SimBoard::muted() const {
    return (data_ & kMute) == 0;
}

bool SimBoard::zcdHigh() const {
    return (data_ & kZcd) != 0;
}

SimPortProvider::SimPortProvider(SimBoardConfig config) : board_(config), pacer_(config.accessNs) {}

PortProvider::Opened SimPortProvider::open(int /*lpt*/, std::uint16_t base) {
    // One cable, one board: it answers at whichever port the operator picks.
    const int chips = board_.chips();
    return {std::make_unique<SimPortView>(board_, pacer_, base),
            {},
            "Simulated board, " + std::to_string(chips) + (chips == 1 ? " chip" : " chips")};
}

SimBoard& SimPortProvider::board() {
    return board_;
}

}  // namespace selvar::platform
