// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/audio_setup.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "entry/audio_bench.h"
#include "measure/audio/audio_port.h"
#include "platform/sim_board.h"

namespace selvar::entry {
namespace {

// Which devices the options come to, on a simulated board or real hardware, and whether
// there is a port to measure through.
TEST(AudioSetup, ResolvesTheDevicesAndMakesThePortOnFirstUse) {
    struct Case {
        std::string output, input;
        bool simulated;
        std::string usedOutput, usedInput;
        bool port;
    };
    const Case cases[] = {
        {"", "", true, "sim", "sim", true},
        {"", "", false, "", "", false},
        {"sim", "", true, "sim", "sim", true},
        {"", "sim", true, "sim", "sim", true},
        {"sim", "sim", false, "sim", "sim", false},  // no board to run through
        {"card_out", "", true, "card_out", "", false},
        {"", "card_in", false, "", "card_in", false},
        {"card_out", "card_in", false, "card_out", "card_in", true},
    };
    platform::SimBoard board;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.output + " / " + c.input + (c.simulated ? " simulated" : " real"));
        AudioOptions options;
        options.output = c.output;
        options.input = c.input;
        AudioSetup setup(options, c.simulated ? &board : nullptr);
        EXPECT_EQ(setup.outputDevice(), c.usedOutput);
        EXPECT_EQ(setup.inputDevice(), c.usedInput);
        audio::AudioPort* port = setup.port();
        EXPECT_EQ(port != nullptr, c.port);
        EXPECT_EQ(setup.port(), port);  // one port, kept
        if (port) {
            EXPECT_FALSE(port->isOpen());
        }
    }
}

// The simulated path runs through whichever board a procedure names; a real card reaches only
// the board it is cabled to, and a calibration plays through whatever card there is.
TEST(AudioBench, GivesTheCabledBoardItsPortAndRefusesTheOther) {
    using measure::Failure;
    struct Case {
        const char* devices;  // "sim", "card" or "none"
        int cabled;
        int dut;  // 0: the loop-through port for a calibration
        Failure failure;
    };
    const Case cases[] = {
        {"sim", 1, 1, Failure::None},      {"sim", 1, 2, Failure::None},
        {"card", 1, 1, Failure::None},     {"card", 1, 2, Failure::WrongDut},
        {"card", 2, 1, Failure::WrongDut}, {"card", 2, 2, Failure::None},
        {"card", 2, 0, Failure::None},     {"none", 1, 1, Failure::NoDevice},
        {"none", 1, 0, Failure::NoDevice},
    };
    platform::SimBoard board;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.devices) + " cabled to " + std::to_string(c.cabled) +
                     ", asked for " + std::to_string(c.dut));
        const std::string device = c.devices == std::string("card") ? "card" : "";
        AudioOptions options;
        options.output = options.input = device;
        options.dut = c.cabled;
        AudioSetup setup(options, c.devices == std::string("sim") ? &board : nullptr);
        ProgramAudioBench bench(setup, []() -> control::Instrument& {
            throw std::logic_error("no instrument needed");
        });
        Failure failure = Failure::None;
        audio::AudioPort* port =
            c.dut == 0 ? bench.loopThroughPort(failure) : bench.portFor(c.dut, failure);
        EXPECT_EQ(failure, c.failure);
        EXPECT_EQ(port, c.failure == Failure::None ? setup.port() : nullptr);
    }
}

}  // namespace
}  // namespace selvar::entry
