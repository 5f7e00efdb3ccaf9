// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/vcd_writer.h"

#include <algorithm>
#include <charconv>
#include <string>

#include "platform/wiring.h"

namespace selvar::platform {

namespace {

// Line order in the header; identifiers are single printable characters.
constexpr const char* kWireNames[] = {"cs", "clk", "mosi", "miso", "mute", "zcd"};
constexpr char kWireIds[] = {'A', 'B', 'C', 'D', 'E', 'F'};

constexpr ParallelWiring kWiring = kParallelWiring;

}  // namespace

VcdTiming VcdTiming::simulated(long long accessNs) {
    // A decimal timescale of exactly one access keeps the numbers small and readable.
    static constexpr struct {
        long long ns;
        const char* scale;
    } kExact[] = {{1, "1ns"},       {10, "10ns"},       {100, "100ns"},
                  {1000, "1us"},    {10000, "10us"},    {100000, "100us"},
                  {1000000, "1ms"}, {10000000, "10ms"}, {100000000, "100ms"}};
    if (accessNs <= 0) {
        return {"1ns", 1, false, 1};  // no simulated duration: one nominal tick per access
    }
    for (const auto& e : kExact) {
        if (e.ns == accessNs) {
            return {e.scale, 1, false, static_cast<std::uint64_t>(e.ns)};
        }
    }
    return {"1ns", static_cast<std::uint64_t>(accessNs), false, 1};
}

VcdTiming VcdTiming::hardware() {
    return {"1ns", 1, true, 1};
}

AccessClock::AccessClock(VcdTiming timing)
    : timing_(std::move(timing)), start_(std::chrono::steady_clock::now()) {}

std::uint64_t AccessClock::steadyTicks() const {
    const auto elapsed = std::chrono::steady_clock::now() - start_;
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count());
}

std::uint64_t AccessClock::steadyStep(std::uint64_t start, std::uint64_t n) const {
    const std::uint64_t now = steadyTicks();
    return n > 1 && now > start ? std::max<std::uint64_t>(1, (now - start) / (n - 1)) : 1;
}

VcdWriter::VcdWriter(std::FILE* out, VcdTiming timing, TraceReport report)
    : file_(out, "waveform", std::move(report)), clock_(std::move(timing)) {
    std::string header = "$version Selvar Control bus trace $end\n$timescale " +
                         clock_.timing().timescale + " $end\n$scope module lpt $end\n";
    for (int w = 0; w < kWireCount; ++w) {
        header += std::string("$var wire 1 ") + kWireIds[w] + " " + kWireNames[w] + " $end\n";
    }
    header += "$upscope $end\n$enddefinitions $end\n#0\n$dumpvars\n";
    // The data latch powers up at 0; the read-back line is unknown until the first status
    // read and starts as 0.
    for (int w = 0; w < kWireCount; ++w) {
        header += std::string("0") + kWireIds[w] + "\n";
    }
    header += "$end\n";
    file_.append(header);
}

// One tick after the last access, so a decoder sees the last chip-select rise complete.
VcdWriter::~VcdWriter() {
    writeTimestamp(clock_.last() + 1);
}

void VcdWriter::writeTimestamp(std::uint64_t time) {
    char* p = file_.reserve();
    *p++ = '#';
    p = std::to_chars(p, p + 24, time).ptr;
    *p++ = '\n';
    file_.commit(p);
}

void VcdWriter::onPortSelected(std::uint16_t base) {
    base_ = base;
}

void VcdWriter::setWire(Wire wire, bool level, std::uint64_t time) {
    if (levels_[wire] == level) {
        return;
    }
    if (writtenTime_ != time) {
        writeTimestamp(time);
        writtenTime_ = time;
    }
    levels_[wire] = level;
    char* p = file_.reserve();
    *p++ = level ? '1' : '0';
    *p++ = kWireIds[wire];
    *p++ = '\n';
    file_.commit(p);
}

void VcdWriter::setDataLines(std::uint8_t value, std::uint64_t time) {
    setWire(kCs, kWiring.level(value, Signal::ChipSelect), time);
    setWire(kClk, kWiring.level(value, Signal::Clock), time);
    setWire(kMosi, kWiring.level(value, Signal::Data), time);
    setWire(kMute, kWiring.level(value, Signal::Mute), time);
    setWire(kZcd, kWiring.level(value, Signal::Zcd), time);
}

void VcdWriter::onRead(std::uint16_t address, std::uint8_t value) {
    const std::uint64_t t = clock_.next();
    if (address == base_) {
        setDataLines(value, t);  // a data read shows the levels the port really drives
    } else if (address == base_ + 1) {
        setWire(kMiso, kWiring.readBackLevel(value), t);
    }
}

void VcdWriter::onWrite(std::uint16_t address, std::uint8_t value) {
    const std::uint64_t t = clock_.next();
    if (address == base_) {
        setDataLines(value, t);
    }
}

}  // namespace selvar::platform
