// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/vcd_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "access_recorder.h"

namespace selvar::platform {
namespace {

// Runs the writer over accesses into a memory file and returns the value-change section
// (everything after $enddefinitions) and the header.
struct Dump {
    std::string header;
    std::string changes;
};

using testing::Access;

Dump record(const std::vector<Access>& accesses, VcdTiming timing = VcdTiming::simulated(1000)) {
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&buffer, &size);
    {
        VcdWriter writer(out, timing);
        writer.onPortSelected(0x378);
        for (const auto& a : accesses) {
            a.kind == 'W' ? writer.onWrite(a.address, a.value) : writer.onRead(a.address, a.value);
        }
    }
    std::string text(buffer, size);
    std::free(buffer);
    const auto split = text.find("$enddefinitions $end\n");
    return {text.substr(0, split), text.substr(split + 21)};
}

constexpr const char* kInitial = "#0\n$dumpvars\n0A\n0B\n0C\n0D\n0E\n0F\n$end\n";

TEST(VcdWriter, WritesOnlyChangesEachAtItsAccessTick) {
    struct Case {
        const char* name;
        std::vector<Access> accesses;
        std::string expected;  // after the initial levels
    };
    const Case cases[] = {
        {"nothing happens", {}, "#1\n"},
        {"same value twice gives no change",
         {{'W', 0x378, 0x02}, {'W', 0x378, 0x02}},
         "#1\n1A\n#3\n"},
        {"one write changes several lines at one timestamp",
         {{'W', 0x378, 0x1B}},
         "#1\n1A\n1B\n1E\n1F\n#2\n"},
        {"status read changes miso only when the level changes (bit 7 inverted)",
         {{'R', 0x379, 0xFF}, {'R', 0x379, 0x7F}, {'R', 0x379, 0x7F}, {'R', 0x379, 0xFF}},
         "#2\n1D\n#4\n0D\n#5\n"},
        {"control and status writes leave the lines alone",
         {{'W', 0x379, 0x00}, {'W', 0x37A, 0x00}, {'W', 0x378, 0x04}},
         "#3\n1C\n#4\n"},
    };
    for (const auto& c : cases) {
        const Dump dump = record(c.accesses);
        EXPECT_EQ(dump.changes, kInitial + c.expected) << c.name;
    }
}

TEST(VcdWriter, DeclaresOneWirePerLineInOneScope) {
    const Dump dump = record({});
    for (const char* line :
         {"$timescale 1us $end\n", "$scope module lpt $end\n", "$var wire 1 A cs $end\n",
          "$var wire 1 B clk $end\n", "$var wire 1 C mosi $end\n", "$var wire 1 D miso $end\n",
          "$var wire 1 E mute $end\n", "$var wire 1 F zcd $end\n", "$upscope $end\n"}) {
        EXPECT_NE(dump.header.find(line), std::string::npos) << line;
    }
}

TEST(VcdWriter, TimescaleKeepsEveryAccessOnItsOwnTick) {
    struct Case {
        long long accessNs;
        const char* timescale;
        std::uint64_t ticks;
    };
    const Case cases[] = {{1000, "1us", 1}, {100, "100ns", 1}, {0, "1ns", 1}, {250, "1ns", 250}};
    for (const auto& c : cases) {
        const VcdTiming t = VcdTiming::simulated(c.accessNs);
        EXPECT_EQ(t.timescale, c.timescale) << c.accessNs;
        EXPECT_EQ(t.ticksPerAccess, c.ticks) << c.accessNs;
    }
    const Dump dump = record({{'W', 0x378, 0x02}, {'W', 0x378, 0x00}}, VcdTiming::simulated(250));
    EXPECT_EQ(dump.changes, std::string(kInitial) + "#250\n1A\n#500\n0A\n#501\n");
}

TEST(VcdWriter, SteadyClockTimestampsStrictlyIncrease) {
    std::vector<Access> toggles;
    for (int i = 0; i < 200; ++i) {
        toggles.push_back({'W', 0x378, static_cast<std::uint8_t>((i % 2) ? 0x02 : 0x00)});
    }
    const Dump dump = record(toggles, VcdTiming::hardware());
    long long previous = -1;
    std::size_t stamps = 0;
    for (std::size_t pos = 0; (pos = dump.changes.find('#', pos)) != std::string::npos; ++pos) {
        const long long t = std::stoll(dump.changes.substr(pos + 1));
        EXPECT_GT(t, previous);
        previous = t;
        ++stamps;
    }
    EXPECT_EQ(stamps, 1 + 199 + 1);  // #0, every change but the first (no-op), the final tick
}

}  // namespace
}  // namespace selvar::platform
