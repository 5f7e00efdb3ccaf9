// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "adapter_rig.h"
#include "chiplink/mod_selvar_hw.h"
#include "platform/adapters/adapter_port.h"
#include "platform/adapters/adapter_provider.h"
#include "platform/pacer.h"
#include "platform/sim_board.h"

namespace selvar::platform {
namespace {

using chiplink::GainCodes;
using chiplink::modSelvarHw;
using chiplink::PortChoice;
using testing::Carrier;
using testing::FakeFtdi;
using testing::FakeGpio;
using Rig = testing::AdapterRig;

const Carrier kParallel{""};
const Carrier kAdapters[] = {
    {"ftdi"},
    {"ftdi:i:0x0403:0x6014,pins=cs:7,clk:6,data:5,miso:4,mute:3,zcd:2"},
    {"ftdi:s:0x0403:0x6001:A1,pins=clk:6", {.mpsse = false}},
    {"gpio:gpiochip0"},
    {"gpio:/dev/gpiochip0,pins=cs:1,clk:2,data:3,miso:27,mute:5,zcd:0"},
};

// What the chips hold and what the program saw, after a scenario.
struct Outcome {
    std::vector<std::uint16_t> registers;
    std::vector<std::string> readBacks;
    bool muted = false, zcdHigh = false;
    std::vector<std::string> traffic;
    bool operator==(const Outcome&) const = default;
};

std::string text(const chiplink::ReadBack& r) {
    char s[32];
    std::snprintf(s, sizeof s, "n=%d %02x %02x %02x %02x", r.chainLength, r.bytes[0], r.bytes[1],
                  r.bytes[2], r.bytes[3]);
    return s;
}

using Scenario = std::function<void(modSelvarHw&, std::vector<std::string>&)>;

Outcome run(const Carrier& carrier, int chips, const Scenario& scenario) {
    Rig rig(carrier, chips);
    Outcome out;
    rig.hw->choosePort(PortChoice::Lpt1);
    scenario(*rig.hw, out.readBacks);
    for (int c = 0; c < rig.board.chips(); ++c) {
        out.registers.push_back(rig.board.gainRegister(c));
    }
    out.muted = rig.board.muted();
    out.zcdHigh = rig.board.zcdHigh();
    out.traffic = rig.traffic.lines();
    EXPECT_TRUE(rig.failures.empty()) << carrier.where << ": " << rig.failures.front();
    EXPECT_EQ(rig.count.faults, 0) << carrier.where;
    return out;
}

TEST(Adapters, EveryAdapterLeavesTheChipsAndReadBacksAsTheParallelPortDoes) {
    const auto readBack = [](modSelvarHw& hw, std::vector<std::string>& seen, GainCodes d2,
                             GainCodes d1) {
        seen.push_back(text(hw.readBackGainRegisters(d2, d1)));
    };
    const std::pair<const char*, Scenario> scenarios[] = {
        {"start-up",
         [&](modSelvarHw& hw, std::vector<std::string>& seen) {
             hw.setZcdPin();
             hw.clearMutePin();
             hw.sendGainWords({0, 192}, {192, 192});
             hw.sendGainWords({0, 0}, {192, 192});
             hw.sendGainWords({0, 0}, {0, 192});
             hw.sendGainWords({0, 0}, {0, 0});
             hw.setMutePin();
             readBack(hw, seen, {0, 0}, {0, 0});
             readBack(hw, seen, {0, 0}, {0, 0});
         }},
        {"gain change",
         [&](modSelvarHw& hw, std::vector<std::string>& seen) {
             hw.sendGainWords({12, 200}, {255, 1});
             hw.clearZcdPin();
             readBack(hw, seen, {12, 200}, {255, 1});
         }},
        {"interrogate",
         [&](modSelvarHw& hw, std::vector<std::string>& seen) {
             readBack(hw, seen, {0xA5, 0x5A}, {0x0F, 0xF0});
             readBack(hw, seen, {1, 2}, {3, 4});
         }},
    };
    for (const auto& [name, scenario] : scenarios) {
        for (const int chips : {0, 1, 2}) {
            const Outcome expected = run(kParallel, chips, scenario);
            for (const Carrier& carrier : kAdapters) {
                const Outcome got = run(carrier, chips, scenario);
                EXPECT_EQ(got.registers, expected.registers)
                    << name << ", " << chips << " chips, " << carrier.where;
                EXPECT_EQ(got.readBacks, expected.readBacks)
                    << name << ", " << chips << " chips, " << carrier.where;
                EXPECT_EQ(got.muted, expected.muted) << name << ", " << carrier.where;
                EXPECT_EQ(got.zcdHigh, expected.zcdHigh) << name << ", " << carrier.where;
                // Traces and monitors hear what a parallel port would have made.
                EXPECT_EQ(got.traffic, expected.traffic)
                    << name << ", " << chips << " chips, " << carrier.where;
            }
        }
    }
}

TEST(Adapters, AnMpsseSendsAFrameInOneWriteAndReadsBackInOneRoundTrip) {
    Rig rig(kAdapters[0], 2);
    rig.hw->choosePort(PortChoice::Lpt1);
    rig.count = {};
    rig.hw->sendGainWords({1, 2}, {3, 4});
    EXPECT_EQ(rig.count.writes, 1);
    EXPECT_EQ(rig.count.reads, 0);
    rig.hw->readBackGainRegisters({1, 2}, {3, 4});
    EXPECT_EQ(rig.count.writes, 2);
    EXPECT_EQ(rig.count.reads, 1);
}

TEST(Adapters, AWaitMakesNoDeviceTrafficYetObserversHearTheParallelPortsReads) {
    for (const Carrier& carrier : {kAdapters[0], kAdapters[2], kAdapters[3]}) {
        Rig rig(carrier, 2);
        rig.hw->choosePort(PortChoice::Lpt1);
        rig.hw->setMutePin();
        const testing::SeamCount before = rig.count;
        rig.traffic.accesses.clear();
        rig.port->wait(0x378, 2000);
        EXPECT_EQ(rig.count.writes, before.writes) << carrier.where;
        EXPECT_EQ(rig.count.reads, before.reads) << carrier.where;
        EXPECT_EQ(rig.traffic.count('R', 0x378), 2000) << carrier.where;
        EXPECT_EQ(rig.traffic.accesses.size(), 2000u) << carrier.where;
        EXPECT_EQ(rig.traffic.accesses.back().value, 0x10) << carrier.where;  // the latch
    }
}

// Time that moves only when slept on; it may raise the stop request after some sleeps.
class SleepRecorder : public Clock {
  public:
    std::int64_t nowNs() override { return now; }
    void sleepNs(std::int64_t ns) override {
        slept.push_back(ns);
        now += ns;
        if (static_cast<int>(slept.size()) == stopAfter) {
            stop = true;
        }
    }
    std::int64_t now = 5'000'000;
    std::vector<std::int64_t> slept;
    int stopAfter = -1;
    std::atomic<bool> stop{false};
};

class BareAdapter final : public AdapterPort {
  public:
    using AdapterPort::AdapterPort;

  private:
    void drive(std::uint8_t) override {}
    bool sampleReadBack() override { return true; }
};

// A wait lasts as long as the parallel port's reads would (1 us each), slept in slices of at
// most 10 ms so that a stop request ends it within one.
TEST(Adapters, AWaitSleepsAsLongAsTheReadsWouldTakeInSlicesAStopCuts) {
    struct Case {
        long reads;
        int stopAfter;  // -1: never; 0: already requested
        std::vector<std::int64_t> slept;
    };
    const Case cases[] = {
        {2000, -1, {2'000'000}},
        {25'000, -1, {10'000'000, 10'000'000, 5'000'000}},
        {25'000, 1, {10'000'000}},
        {25'000, 0, {}},
        {0, -1, {}},
    };
    for (const Case& c : cases) {
        SleepRecorder clock;
        clock.stopAfter = c.stopAfter;
        clock.stop = c.stopAfter == 0;
        BareAdapter port(0x378, clock);
        port.wait(0x378, c.reads, &clock.stop);
        EXPECT_EQ(clock.slept, c.slept) << c.reads << " reads, stop after " << c.stopAfter;
    }
}

// A port that failed or was lost is absent: writes dropped, reads FFh, said once.
void expectAbsent(Rig& rig, const std::vector<std::string>& mentions, const std::string& where) {
    ASSERT_EQ(rig.failures.size(), 1u) << where;
    for (const std::string& part : mentions) {
        EXPECT_NE(rig.failures[0].find(part), std::string::npos)
            << where << ": \"" << rig.failures[0] << "\" does not mention \"" << part << "\"";
    }
    EXPECT_FALSE(rig.port->present()) << where;
    EXPECT_EQ(rig.port->read(0x378), 0xFF) << where;
    EXPECT_EQ(rig.hw->readBackGainRegisters({}, {}).chainLength, 49) << where;
    EXPECT_EQ(rig.failures.size(), 1u) << where;
}

TEST(Adapters, EveryOpenFailureSaysWhyAndWhatToDoAndLeavesThePortAbsent) {
    struct Case {
        Carrier carrier;
        std::function<void(FakeGpio&)> gpio;
        std::vector<std::string> mentions;
    };
    const Case cases[] = {
        {{"ftdi", {.openFailure = FtdiFailure::NotFound}},
         {},
         {"LPT1", "FTDI", "refused", "--list-adapters"}},
        {{"ftdi:d:1/7", {.openFailure = FtdiFailure::NoAccess}}, {}, {"d:1/7", "udev", "plugdev"}},
        {{"ftdi", {.openFailure = FtdiFailure::Busy}}, {}, {"Another program", "ftdi_sio"}},
        {{"ftdi", {.transfersBeforeUnplug = 0}}, {}, {"stopped answering", "USB cable"}},
        {{"gpio:gpiochip7"}, {}, {"gpiochip7", "No such file", "--list-adapters"}},
        {{"gpio:gpiochip0"},
         [](FakeGpio& g) { g.openErrno = EACCES; },
         {"Permission denied", "group gpio"}},
        {{"gpio:gpiochip0"}, [](FakeGpio& g) { g.requestErrno = EBUSY; }, {"busy", "gpioinfo"}},
        {{"gpio:gpiochip0,pins=zcd:28"},
         {},
         {"zcd:28: GPIO chip /dev/gpiochip0 has lines 0 to 27"}},
    };
    for (const Case& c : cases) {
        Rig rig(c.carrier, 2);
        if (c.gpio) {
            c.gpio(rig.gpio);
        }
        rig.hw->choosePort(PortChoice::Lpt1);
        expectAbsent(rig, c.mentions, c.carrier.where);
        EXPECT_EQ(rig.board.dataLatch(), 0) << c.carrier.where;
    }
}

TEST(Adapters, AGpioPinTheChipLacksIsNamedBeforeAnyPortOpens) {
    SimBoard board;
    testing::SeamCount count;
    FakeGpio chip(board, kGpioDefaultPins, count);
    std::array<std::optional<AdapterConfig>, 3> adapters;
    std::string error;
    adapters[1] = parseAdapterConfig("gpio:gpiochip0,pins=miso:27", error);
    EXPECT_EQ(adapterPinsMissing(adapters, chip), "");
    adapters[2] = parseAdapterConfig("gpio:gpiochip0,pins=miso:28", error);
    EXPECT_EQ(adapterPinsMissing(adapters, chip),
              "--parport LPT3=gpio:gpiochip0: miso:28: GPIO chip /dev/gpiochip0 has lines 0 to 27");
    EXPECT_EQ(count.writes + count.reads, 0);
}

TEST(Adapters, AnAdapterLostMidRunIsSaidOnceAndThePortBecomesAbsent) {
    for (const long after : {1, 3}) {
        Rig ftdi({"ftdi", {.transfersBeforeUnplug = after}}, 2);
        Rig bitbang({"ftdi", {.mpsse = false, .transfersBeforeUnplug = after}}, 2);
        Rig gpio({"gpio:gpiochip0"}, 2);
        gpio.gpio.ioctlsBeforeUnplug = after * 40;
        for (Rig* rig : {&ftdi, &bitbang, &gpio}) {
            rig->hw->choosePort(PortChoice::Lpt1);
            for (int i = 0; i < 3; ++i) {
                rig->hw->sendGainWords({i, i}, {i, i});
                rig->hw->setZcdPin();
            }
            rig->port->wait(0x378, 10);
            expectAbsent(*rig, {"LPT1", "stopped answering"}, std::to_string(after));
        }
    }
}

}  // namespace
}  // namespace selvar::platform
