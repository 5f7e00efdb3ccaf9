// SPDX-License-Identifier: GPL-3.0-or-later
#include "chiplink/mod_selvar_hw.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "access_recorder.h"
#include "panel/read_back_labels.h"
#include "platform/sim_board.h"

namespace selvar::chiplink {
namespace {

using platform::SimBoardConfig;
using testing::Access;

constexpr std::uint8_t kZcd = 0x01, kCs = 0x02, kData = 0x04, kClk = 0x08, kMute = 0x10;

// The chip link on the simulated board, through the guarded port, unpaced.
struct Rig {
    explicit Rig(SimBoardConfig config = {}) : provider(unpaced(config)) { masks.buildBitMasks(); }
    static SimBoardConfig unpaced(SimBoardConfig config) {
        config.accessNs = 0;
        return config;
    }
    platform::SimBoard& board() { return provider.board(); }
    // Puts the data register at a known level, then forgets that access.
    void setData(std::uint8_t value) {
        port.write(port.base(), value);
        traffic.accesses.clear();
    }

    platform::SimPortProvider provider;
    testing::AccessRecorder traffic;
    std::vector<std::string> failures;
    platform::SelectedPort port{provider, [this](const std::string& m) { failures.push_back(m); },
                                &traffic};
    BitMaskTable masks;
    modSelvarHw hw{port, masks};
};

// The serial bus as the chips saw it in a stretch of traffic on the port at base.
struct Bus {
    std::vector<chiplink::BusEvent> frames;
    long dataReads = 0;
    long statusReads = 0;
    long writes = 0;
};

Bus decode(const testing::AccessRecorder& traffic, std::uint16_t base) {
    Bus bus;
    for (const chiplink::BusEvent& e : testing::decodeBus(traffic.accesses, base)) {
        if (e.kind != chiplink::BusEvent::Kind::Pin) {
            bus.frames.push_back(e);
        }
    }
    bus.dataReads = traffic.count('R', base);
    bus.statusReads = traffic.count('R', static_cast<std::uint16_t>(base + 1));
    bus.writes = traffic.count('W', base);
    return bus;
}

// The four code labels in the order they are written.
std::vector<std::string> labels(const ReadBack& r) {
    const panel::ReadBackLabels l = panel::readBackLabels(r);
    return {l.dut2Right, l.dut2Left, l.dut1Right, l.dut1Left};
}

const PortChoice kChoices[] = {PortChoice::Lpt1, PortChoice::Lpt2, PortChoice::Lpt3};

TEST(ModSelvarHwPins, EachPinOperationChangesOnlyItsBitOnEveryPort) {
    struct Case {
        const char* name;
        std::function<void(modSelvarHw&)> op;
        std::uint8_t bit;
        bool set;
    };
    const std::vector<Case> cases{
        {"setZcdPin", &modSelvarHw::setZcdPin, kZcd, true},
        {"clearZcdPin", &modSelvarHw::clearZcdPin, kZcd, false},
        {"clearMutePin", &modSelvarHw::clearMutePin, kMute, false},
        {"setMutePin", &modSelvarHw::setMutePin, kMute, true},
    };
    for (const PortChoice choice : kChoices) {
        for (const Case& c : cases) {
            for (const std::uint8_t before : {0x00, 0xFF, 0xA5, 0x5A, 0x12}) {
                Rig rig;
                rig.hw.choosePort(choice);
                rig.setData(before);
                c.op(rig.hw);
                const auto base = rig.port.base();
                const auto after =
                    static_cast<std::uint8_t>(c.set ? before | c.bit : before & ~c.bit);
                const std::vector<Access> expected{{'R', base, before}, {'W', base, after}};
                EXPECT_EQ(rig.traffic.accesses, expected) << c.name << " from " << int(before);
                EXPECT_EQ(rig.board().dataLatch(), after);
            }
        }
    }
}

TEST(ModSelvarHwPorts, NothingReachesThePortBeforeOneIsChosen) {
    Rig rig;
    EXPECT_THROW(rig.hw.setMutePin(), platform::PortAccessRefused);
    EXPECT_THROW(rig.hw.sendGainWords({}, {}), platform::PortAccessRefused);
    EXPECT_TRUE(rig.traffic.accesses.empty());
    EXPECT_EQ(rig.board().dataLatch(), 0);
}

TEST(ModSelvarHwPorts, ChoosingAPortZeroesStatusThenControlAndKeepsEveryAccessThere) {
    struct Case {
        PortChoice choice;
        std::uint16_t base;
    };
    for (const Case c : {Case{PortChoice::Lpt1, 0x378}, Case{PortChoice::Lpt2, 0x278},
                         Case{PortChoice::Lpt3, 0x3BC}}) {
        Rig rig;
        rig.hw.choosePort(PortChoice::Lpt1);
        rig.port.write(0x37A, 0x2C);  // something other than 0 in the control register
        rig.traffic.accesses.clear();

        rig.hw.choosePort(c.choice);
        const std::vector<Access> zeroes{{'W', static_cast<std::uint16_t>(c.base + 1), 0},
                                         {'W', static_cast<std::uint16_t>(c.base + 2), 0}};
        EXPECT_EQ(rig.traffic.accesses, zeroes);
        EXPECT_EQ(rig.board().controlRegister(), 0);
        EXPECT_EQ(rig.hw.portBase(), c.base);
        EXPECT_EQ(rig.hw.portStatus(), c.base + 1);
        EXPECT_EQ(rig.hw.portControl(), c.base + 2);

        rig.hw.clearMutePin();
        rig.hw.setZcdPin();
        rig.hw.sendGainWords({1, 2}, {3, 4});
        rig.hw.readBackGainRegisters({1, 2}, {3, 4});
        for (const Access& a : rig.traffic.accesses) {
            EXPECT_GE(a.address, c.base) << a;
            EXPECT_LE(a.address, c.base + 2) << a;
        }
        EXPECT_TRUE(rig.failures.empty());
    }
}

TEST(ModSelvarHwTransfer, TheFrameOfTheExample) {
    // Rest levels around the frame: chip select high, clock low, data line either way, and
    // MUTE, ZCD and the unused bits 5..7 set to something recognisable.
    for (const std::uint8_t rest : {0xB7, 0xB3, 0x42, 0x12, 0xFB}) {
        Rig rig;
        rig.hw.choosePort(PortChoice::Lpt1);
        rig.setData(rest);
        rig.hw.sendGainWords({.left = 255, .right = 1}, {.left = 0, .right = 192});

        const auto& traffic = rig.traffic.accesses;
        const Bus bus = decode(rig.traffic, 0x378);
        EXPECT_EQ(bus.dataReads, 2);
        EXPECT_EQ(bus.statusReads, 0);
        EXPECT_EQ(bus.writes, 99);
        EXPECT_EQ(traffic.size(), 101u);

        // One frame (chip select falls once and rises once), 32 bits: seven 0s and nine 1s
        // for DUT2, then two 1s and fourteen 0s for DUT1.
        ASSERT_EQ(bus.frames.size(), 1u);
        EXPECT_EQ(bus.frames[0].kind, chiplink::BusEvent::Kind::Gain);
        EXPECT_EQ(bus.frames[0].clockPulses, 32);
        EXPECT_EQ(bus.frames[0].dut2Word, 0x01FF);
        EXPECT_EQ(bus.frames[0].dut1Word, 0xC000);
        int writes = 0;
        for (const Access& a : traffic) {
            EXPECT_EQ(a.address, 0x378) << a;
            if (a.kind != 'W') {
                continue;
            }
            ++writes;
            EXPECT_EQ(a.value & 0xF1, rest & 0xF1) << "MUTE, ZCD or bits 5..7 moved: " << a;
            if (writes >= 2 && writes <= 98) {
                EXPECT_EQ(a.value & kCs, 0)
                    << "chip select high inside the frame, write " << writes;
            }
        }
        // The data line is back where it was, the clock low, chip select high.
        EXPECT_EQ(rig.board().dataLatch(), (rest & ~kClk) | kCs);
        EXPECT_EQ(rig.board().gainRegister(1), 0x01FF);
        EXPECT_EQ(rig.board().gainRegister(0), 0xC000);
    }
}

TEST(ModSelvarHwTransfer, EveryCodePairLandsInTheRightChip) {
    // Each word: Right code in the high byte, Left in the low; every bit of both bytes set
    // somewhere, the top ones included.
    struct Case {
        GainCodes dut2, dut1;
        std::uint16_t word2, word1;
    };
    const Case cases[] = {
        {{.left = 0x80, .right = 0x01}, {.left = 0x7F, .right = 0xFE}, 0x0180, 0xFE7F},
        {{.left = 0xFF, .right = 0x00}, {.left = 0x00, .right = 0xFF}, 0x00FF, 0xFF00},
        {{.left = 0x55, .right = 0xAA}, {.left = 0xC0, .right = 0x3C}, 0xAA55, 0x3CC0},
    };
    Rig rig;
    rig.hw.choosePort(PortChoice::Lpt2);
    for (const Case& c : cases) {
        rig.hw.sendGainWords(c.dut2, c.dut1);
        EXPECT_EQ(rig.board().gainRegister(1), c.word2) << std::hex << c.word2;
        EXPECT_EQ(rig.board().gainRegister(0), c.word1) << std::hex << c.word1;
    }
}

TEST(ModSelvarHwReadBack, LabelsFollowTheChainFound) {
    struct Case {
        const char* name;
        SimBoardConfig board;
        GainCodes heldDut2, heldDut1;  // what the chips hold before the read-back
        int chainLength;
        int clockPulses;
        std::vector<std::string> labels;  // DUT2 right, DUT2 left, DUT1 right, DUT1 left
    };
    const std::vector<Case> cases{
        {"two chips",
         {.chips = 2},
         {.left = 0, .right = 192},
         {.left = 255, .right = 10},
         32,
         96,
         {"C0h", "0h", "Ah", "FFh"}},
        {"one chip",
         {.chips = 1},
         {.left = 77, .right = 99},
         {.left = 5, .right = 0},
         16,
         80,
         {"XXh", "XXh", "0h", "5h"}},
        {"no chip, line stuck high",
         {.chips = 0, .idleLineHigh = true},
         {},
         {},
         1,
         65,
         {"XXh", "XXh", "XXh", "XXh"}},
        {"no chip, line stuck low",
         {.chips = 0, .idleLineHigh = false},
         {},
         {},
         49,
         113,
         {"XXh", "XXh", "XXh", "XXh"}},
    };
    // The panels' current codes, shifted in at the end of the read-back frame.
    const GainCodes panelDut2{.left = 0x12, .right = 0x34};
    const GainCodes panelDut1{.left = 0x56, .right = 0x78};

    for (const Case& c : cases) {
        Rig rig(c.board);
        rig.hw.choosePort(PortChoice::Lpt3);
        rig.hw.setMutePin();
        rig.hw.sendGainWords(c.heldDut2, c.heldDut1);
        const std::uint8_t before = rig.board().dataLatch();
        rig.traffic.accesses.clear();

        const ReadBack result = rig.hw.readBackGainRegisters(panelDut2, panelDut1);
        EXPECT_EQ(result.chainLength, c.chainLength) << c.name;
        EXPECT_EQ(labels(result), c.labels) << c.name;

        const Bus bus = decode(rig.traffic, 0x3BC);
        EXPECT_EQ(bus.dataReads, 2) << c.name;
        EXPECT_EQ(bus.statusReads, 32 + std::min(c.chainLength, 48)) << c.name;
        ASSERT_EQ(bus.frames.size(), 1u) << c.name;
        const chiplink::BusEvent& frame = bus.frames[0];
        EXPECT_EQ(frame.kind, chiplink::BusEvent::Kind::ReadBack) << c.name;
        EXPECT_EQ(frame.clockPulses, c.clockPulses) << c.name;
        EXPECT_EQ(frame.chainLength, c.chainLength) << c.name;

        // Every frame ends with both gain words, DUT2 first.
        EXPECT_EQ(frame.dut2Word, gainWord(panelDut2)) << c.name;
        EXPECT_EQ(frame.dut1Word, gainWord(panelDut1)) << c.name;
        if (c.board.chips >= 1) {
            EXPECT_EQ(rig.board().gainRegister(0), gainWord(panelDut1)) << c.name;
        }
        if (c.board.chips == 2) {
            EXPECT_EQ(rig.board().gainRegister(1), gainWord(panelDut2)) << c.name;
        }
        // Chip select high, data and clock low, MUTE and ZCD as they were.
        EXPECT_EQ(rig.board().dataLatch(), (before & ~(kData | kClk)) | kCs) << c.name;
        EXPECT_FALSE(rig.board().muted()) << c.name;
    }
}

TEST(ModSelvarHwReadBack, ASecondReadBackShowsThePanelsCodes) {
    Rig rig;
    rig.hw.choosePort(PortChoice::Lpt1);
    rig.hw.readBackGainRegisters({.left = 0, .right = 0}, {.left = 0, .right = 0});
    const ReadBack result =
        rig.hw.readBackGainRegisters({.left = 0xFF, .right = 0x01}, {.left = 0x80, .right = 0xC0});
    // The first read-back left the zero words; the second reads those and writes new ones.
    EXPECT_EQ(labels(result)[0], "0h");
    EXPECT_EQ(labels(result)[3], "0h");
    const ReadBack third =
        rig.hw.readBackGainRegisters({.left = 0xFF, .right = 0x01}, {.left = 0x80, .right = 0xC0});
    EXPECT_EQ(labels(third), (std::vector<std::string>{"1h", "FFh", "C0h", "80h"}));
}

}  // namespace
}  // namespace selvar::chiplink
