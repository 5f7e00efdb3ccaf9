// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/sim_board.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace selvar::platform {
namespace {

constexpr std::uint8_t kCs = 0x02, kData = 0x04, kClk = 0x08;

// Drives the serial lines of a board directly: chip select, then bits MSB first.
class Wire {
  public:
    explicit Wire(SimBoard& board) : board_(board) {}
    void frameStart() {
        board_.writeRegister(0, kCs);
        board_.writeRegister(0, 0);
    }
    void frameEnd() { board_.writeRegister(0, kCs); }
    // Clocks one bit in and returns the logical read-back level sampled before the edge.
    bool clockBit(bool bit) {
        const bool out = (board_.readRegister(1) & 0x80) == 0;
        const std::uint8_t level = bit ? kData : 0;
        board_.writeRegister(0, level);
        board_.writeRegister(0, level | kClk);
        board_.writeRegister(0, level);
        return out;
    }
    std::vector<bool> clockWord(std::uint16_t word) {
        std::vector<bool> out;
        for (int i = 15; i >= 0; --i) {
            out.push_back(clockBit((word >> i) & 1));
        }
        return out;
    }
    void frame(std::uint16_t first, std::uint16_t second) {
        frameStart();
        clockWord(first);
        clockWord(second);
        frameEnd();
    }

  private:
    SimBoard& board_;
};

std::vector<bool> bitsOf(std::uint16_t word) {
    std::vector<bool> bits;
    for (int i = 15; i >= 0; --i) {
        bits.push_back((word >> i) & 1);
    }
    return bits;
}

TEST(SimBoard, TwoChipsLatchTheirWordsOfOneFrame) {
    struct Case {
        std::uint16_t far, near;
    };
    for (const Case c :
         {Case{0x01FF, 0xC000}, Case{0xFFFF, 0x0000}, Case{0x8001, 0x7FFE}, Case{0xA55A, 0x1234}}) {
        SimBoard board({.chips = 2});
        Wire wire(board);
        wire.frameStart();
        wire.clockWord(c.far);
        wire.clockWord(c.near);
        // Nothing is taken over before chip select rises.
        EXPECT_EQ(board.gainRegister(0), 0);
        EXPECT_EQ(board.gainRegister(1), 0);
        wire.frameEnd();
        EXPECT_EQ(board.gainRegister(1), c.far) << std::hex << c.far;
        EXPECT_EQ(board.gainRegister(0), c.near) << std::hex << c.near;
    }
}

TEST(SimBoard, ClockEdgesCountOnlyWhileChipSelectIsLowAndOnlyRising) {
    SimBoard board({.chips = 1});
    Wire wire(board);
    wire.frame(0x0000, 0x00F0);
    // Clock pulses with chip select high shift nothing.
    for (int i = 0; i < 5; ++i) {
        board.writeRegister(0, kCs | kData | kClk);
        board.writeRegister(0, kCs | kData);
    }
    EXPECT_EQ(board.shiftRegister(0), 0x00F0);
    // Chip select falling while the clock is already high, then the clock falling: no rising
    // edge, no shift.
    board.writeRegister(0, kCs | kClk);
    board.writeRegister(0, kClk | kData);
    board.writeRegister(0, kData);
    EXPECT_EQ(board.shiftRegister(0), 0x00F0);
    board.writeRegister(0, kCs);
    EXPECT_EQ(board.gainRegister(0), 0x00F0);
}

TEST(SimBoard, SerialOutputPresentsTheFarChipsBitsBeforeEachEdge) {
    SimBoard board({.chips = 2});
    Wire wire(board);
    wire.frame(0xC0A5, 0x0AFF);
    wire.frameStart();
    std::vector<bool> out = wire.clockWord(0);
    const std::vector<bool> second = wire.clockWord(0);
    out.insert(out.end(), second.begin(), second.end());
    std::vector<bool> expected = bitsOf(0xC0A5);
    const std::vector<bool> near = bitsOf(0x0AFF);
    expected.insert(expected.end(), near.begin(), near.end());
    EXPECT_EQ(out, expected);
}

TEST(SimBoard, OneChipPassesTheFarWordOut) {
    SimBoard board({.chips = 1});
    Wire wire(board);
    wire.frameStart();
    wire.clockWord(0xBEEF);
    // Sampled while the next word goes in, the line gives the first word back.
    EXPECT_EQ(wire.clockWord(0x1234), bitsOf(0xBEEF));
    wire.frameEnd();
    EXPECT_EQ(board.gainRegister(0), 0x1234);
}

TEST(SimBoard, WithoutChipsTheReadBackLineIsStuck) {
    for (const bool high : {true, false}) {
        SimBoard board({.chips = 0, .idleLineHigh = high});
        Wire wire(board);
        wire.frameStart();
        for (const bool bit : wire.clockWord(0xA5A5)) {
            EXPECT_EQ(bit, high);
        }
        wire.frameEnd();
        EXPECT_EQ(board.readRegister(1), high ? 0x7F : 0xFF);
    }
}

TEST(SimBoard, RegistersPowerUpAndHoldWhatWasWritten) {
    SimBoard board;
    EXPECT_EQ(board.readRegister(0), 0);
    EXPECT_EQ(board.readRegister(1), 0xFF);  // chips hold 0: the line reads as logical 0
    EXPECT_EQ(board.readRegister(2), 0);
    EXPECT_EQ(board.gainRegister(0), 0);
    EXPECT_EQ(board.gainRegister(1), 0);

    board.writeRegister(0, 0xA7);
    EXPECT_EQ(board.readRegister(0), 0xA7);
    EXPECT_EQ(board.dataLatch(), 0xA7);
    board.writeRegister(2, 0x2C);
    EXPECT_EQ(board.readRegister(2), 0x2C);
    EXPECT_EQ(board.controlRegister(), 0x2C);
    board.writeRegister(1, 0x00);  // an input register: accepted, no effect
    EXPECT_EQ(board.readRegister(1), 0xFF);
    EXPECT_EQ(board.readRegister(0), 0xA7);
}

TEST(SimBoard, MuteIsActiveLowAndZcdActiveHigh) {
    struct Case {
        std::uint8_t data;
        bool muted, zcd;
    };
    for (const Case c : {Case{0x00, true, false}, Case{0x10, false, false}, Case{0x01, true, true},
                         Case{0xEF, true, true}, Case{0xFE, false, false}}) {
        SimBoard board;
        board.writeRegister(0, c.data);
        EXPECT_EQ(board.muted(), c.muted) << int(c.data);
        EXPECT_EQ(board.zcdHigh(), c.zcd) << int(c.data);
    }
}

TEST(SimBoard, RefusesWhatDoesNotExist) {
    EXPECT_THROW(SimBoard({.chips = 3}), std::invalid_argument);
    EXPECT_THROW(SimBoard({.chips = -1}), std::invalid_argument);
    SimBoard board({.chips = 1});
    EXPECT_THROW(board.readRegister(3), std::out_of_range);
    EXPECT_THROW(board.writeRegister(-1, 0), std::out_of_range);
    EXPECT_THROW(board.gainRegister(1), std::out_of_range);
}

TEST(SimPortProvider, TheOneBoardAnswersAtWhicheverBaseIsOpened) {
    SimPortProvider provider({.chips = 2, .accessNs = 0});
    struct Port {
        int lpt;
        std::uint16_t base;
    };
    for (const auto [lpt, base] : {Port{1, 0x378}, Port{2, 0x278}, Port{3, 0x3BC}}) {
        auto opened = provider.open(lpt, base);
        ASSERT_NE(opened.io, nullptr);
        EXPECT_TRUE(opened.error.empty());
        const std::uint8_t before = opened.io->read(base);
        opened.io->write(base, static_cast<std::uint8_t>(before + 1));
        opened.io->write(static_cast<std::uint16_t>(base + 2), static_cast<std::uint8_t>(base));
        EXPECT_EQ(provider.board().dataLatch(), before + 1);
        EXPECT_EQ(provider.board().controlRegister(), static_cast<std::uint8_t>(base));
        EXPECT_EQ(opened.io->read(static_cast<std::uint16_t>(base + 1)), 0xFF);
    }
    EXPECT_EQ(provider.board().dataLatch(), 3);  // one latch followed the port
}

}  // namespace
}  // namespace selvar::platform
