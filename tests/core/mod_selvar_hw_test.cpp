#include "chiplink/mod_selvar_hw.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/sim_board.h"
#include "port_traffic.h"

namespace selvar::chiplink {
namespace {

using platform::SimBoardConfig;
using testing::Access;

constexpr std::uint8_t kZcd = 0x01, kCs = 0x02, kData = 0x04, kClk = 0x08, kMute = 0x10;

// The chip link on the simulated board, through the guarded port, unpaced.
struct Rig {
    explicit Rig(SimBoardConfig config = {}) : provider(unpaced(config)) {
        globals.buildBitMasks();
    }
    static SimBoardConfig unpaced(SimBoardConfig config) {
        config.accessNs = 0;
        return config;
    }
    platform::SimBoard& board() { return provider.board(); }
    // Puts the data register at a known level, then forgets that access.
    void setData(std::uint8_t value) {
        port.write(static_cast<std::uint16_t>(globals.portBase), value);
        traffic.accesses.clear();
    }

    platform::SimPortProvider provider;
    testing::TrafficRecorder traffic;
    std::vector<std::string> failures;
    platform::SelectedPort port{provider, [this](const std::string& m) { failures.push_back(m); },
                                &traffic};
    PortGlobals globals;
    modSelvarHw hw{port, globals};
};

// The serial bus as the chips saw it in a stretch of traffic on the data register at base.
struct Bus {
    std::vector<bool> bitsAtRisingClock;
    int chipSelectFalls = 0;
    int chipSelectRises = 0;
    int dataReads = 0;
    int statusReads = 0;
    int writes = 0;
};

Bus decode(const std::vector<Access>& accesses, std::uint16_t base, std::uint8_t before) {
    Bus bus;
    std::uint8_t level = before;
    for (const Access& a : accesses) {
        if (a.kind == 'R') {
            bus.dataReads += a.address == base;
            bus.statusReads += a.address == base + 1;
            continue;
        }
        ++bus.writes;
        const auto rising = static_cast<std::uint8_t>(a.value & ~level);
        const auto falling = static_cast<std::uint8_t>(level & ~a.value);
        if (rising & kClk) {
            bus.bitsAtRisingClock.push_back(a.value & kData);
        }
        bus.chipSelectFalls += (falling & kCs) != 0;
        bus.chipSelectRises += (rising & kCs) != 0;
        level = a.value;
    }
    return bus;
}

std::vector<bool> bitsOf(std::uint16_t word) {
    std::vector<bool> bits;
    for (int i = 15; i >= 0; --i) {
        bits.push_back((word >> i) & 1);
    }
    return bits;
}

// The four code labels in the order they are written.
std::vector<std::string> labels(const ReadBackResult& r) {
    return {r.dut2Right, r.dut2Left, r.dut1Right, r.dut1Left};
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
                const auto base = static_cast<std::uint16_t>(rig.globals.portBase);
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
        EXPECT_EQ(rig.globals.portBase, c.base);
        EXPECT_EQ(rig.globals.portStatus, c.base + 1);
        EXPECT_EQ(rig.globals.portControl, c.base + 2);

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
        const Bus bus = decode(traffic, 0x378, rest);
        EXPECT_EQ(bus.dataReads, 2);
        EXPECT_EQ(bus.statusReads, 0);
        EXPECT_EQ(bus.writes, 99);
        EXPECT_EQ(traffic.size(), 101u);

        std::vector<bool> expectedBits(7, false);
        expectedBits.insert(expectedBits.end(), 9, true);
        expectedBits.insert(expectedBits.end(), 2, true);
        expectedBits.insert(expectedBits.end(), 14, false);
        EXPECT_EQ(bus.bitsAtRisingClock, expectedBits);

        // Chip select falls once at the start and rises once, in the last write.
        EXPECT_EQ(bus.chipSelectFalls, 1);
        EXPECT_EQ(bus.chipSelectRises, 1);
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
    Rig rig;
    rig.hw.choosePort(PortChoice::Lpt2);
    for (int code = 0; code < 256; code += 17) {
        const GainCodes dut2{.left = code, .right = 255 - code};
        const GainCodes dut1{.left = (code * 7) & 0xFF, .right = (code * 3) & 0xFF};
        rig.hw.sendGainWords(dut2, dut1);
        EXPECT_EQ(rig.board().gainRegister(1), gainWord(dut2));
        EXPECT_EQ(rig.board().gainRegister(0), gainWord(dut1));
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

        const ReadBackResult result = rig.hw.readBackGainRegisters(panelDut2, panelDut1);
        EXPECT_EQ(result.chainLength, c.chainLength) << c.name;
        EXPECT_EQ(labels(result), c.labels) << c.name;

        const Bus bus = decode(rig.traffic.accesses, 0x3BC, before);
        EXPECT_EQ(static_cast<int>(bus.bitsAtRisingClock.size()), c.clockPulses) << c.name;
        EXPECT_EQ(bus.dataReads, 2) << c.name;
        EXPECT_EQ(bus.statusReads, 32 + std::min(c.chainLength, 48)) << c.name;
        EXPECT_EQ(bus.chipSelectFalls, 1) << c.name;
        EXPECT_EQ(bus.chipSelectRises, 1) << c.name;

        // Every frame ends with both gain words, DUT2 first.
        std::vector<bool> words = bitsOf(gainWord(panelDut2));
        const std::vector<bool> dut1 = bitsOf(gainWord(panelDut1));
        words.insert(words.end(), dut1.begin(), dut1.end());
        ASSERT_GE(bus.bitsAtRisingClock.size(), 32u);
        EXPECT_EQ(std::vector<bool>(bus.bitsAtRisingClock.end() - 32, bus.bitsAtRisingClock.end()),
                  words)
            << c.name;
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
    const ReadBackResult result =
        rig.hw.readBackGainRegisters({.left = 0xFF, .right = 0x01}, {.left = 0x80, .right = 0xC0});
    // The first read-back left the zero words; the second reads those and writes new ones.
    EXPECT_EQ(result.dut2Right, "0h");
    EXPECT_EQ(result.dut1Left, "0h");
    const ReadBackResult third =
        rig.hw.readBackGainRegisters({.left = 0xFF, .right = 0x01}, {.left = 0x80, .right = 0xC0});
    EXPECT_EQ(labels(third), (std::vector<std::string>{"1h", "FFh", "C0h", "80h"}));
}

}  // namespace
}  // namespace selvar::chiplink
