// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <span>

#include "measure/dsp/generators.h"
#include "measure/dsp/sine_fit.h"
#include "platform/sim_board.h"
#include "platform/wiring.h"
#include "sim_harness.h"

namespace selvar::audio {
namespace {

using platform::kParallelWiring;

std::uint8_t bit(int index) {
    return std::uint8_t(1U << index);
}

// Shifts one frame into the simulated chain (the far chip's word first) with MUTE held at a
// level, as the port would; chip select's rising edge latches both words.
void send(platform::SimBoard& board, std::uint16_t far, std::uint16_t near, bool mute) {
    const std::uint8_t idle = mute ? 0 : bit(kParallelWiring.muteBit);
    const std::uint8_t cs = bit(kParallelWiring.chipSelectBit);
    board.writeRegister(0, idle | cs);
    board.writeRegister(0, idle);
    for (const std::uint16_t word : {far, near}) {
        for (int i = 15; i >= 0; --i) {
            const std::uint8_t data = (word >> i) & 1 ? bit(kParallelWiring.dataBit) : 0;
            board.writeRegister(0, idle | data);
            board.writeRegister(0, idle | data | bit(kParallelWiring.clockBit));
            board.writeRegister(0, idle | data);
        }
    }
    board.writeRegister(0, idle | cs);
}

// The path runs through the chip it is cabled to, as the board latched it.
struct BoardCase {
    int chip;
    bool mute;
    double leftDb;
    double rightDb;
};

class SimBoardPath : public testing::TestWithParam<BoardCase> {};

TEST_P(SimBoardPath, FollowsTheBoardsLatchedRegistersAndMuteLine) {
    const BoardCase c = GetParam();
    platform::SimBoard board({.chips = 2});
    send(board, test::codes(192, 182), test::codes(172, 193), c.mute);
    SimBoardControls controls(board);
    SimAnalogOptions options;
    options.noiseDbfs = -260.0;  // far below the muted tone, at -160 dBFS
    SimAudioPort port(controls, options);
    port.setChip(c.chip);
    port.open();
    const auto captured = test::loop(port, dsp::twoTones(0.01, 0.01, test::kRate, 9600));
    const auto db = [](const std::vector<float>& x, double hz) {
        return dsp::fitSineAt(std::span(x).last(4800), test::kRate, hz).levelDbfs() + 40.0;
    };
    EXPECT_NEAR(db(captured.left, dsp::kLeftToneHz), c.leftDb, 0.001);
    EXPECT_NEAR(db(captured.right, dsp::kRightToneHz), c.rightDb, 0.001);
}

INSTANTIATE_TEST_SUITE_P(Chips, SimBoardPath,
                         testing::Values(BoardCase{0, false, -10.0, 0.5},
                                         BoardCase{1, false, 0.0, -5.0},
                                         BoardCase{0, true, -120.0, -120.0}));

}  // namespace
}  // namespace selvar::audio
