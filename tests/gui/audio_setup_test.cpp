// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/audio_setup.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace selvar::entry
