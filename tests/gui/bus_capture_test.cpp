// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/bus_capture.h"

#include <gtest/gtest.h>

#include <random>

#include "adapter_rig.h"

namespace selvar::monitor {
namespace {

using platform::BusBatch;
using platform::Signal;
using platform::VcdTiming;
using testing::AdapterRig;
using testing::Carrier;

constexpr platform::ParallelWiring kWiring = platform::kParallelWiring;
constexpr std::uint16_t kBase = 0x378;

// A frame of any shape: mostly clock edges with random data, now and then chip select, MUTE
// or ZCD toggled, data reads, samples and at most one probe.
BusBatch randomBatch(std::mt19937& rng, std::uint8_t& level) {
    BusBatch batch;
    const auto pick = [&](unsigned n) { return static_cast<unsigned>(rng() % n); };
    const unsigned steps = 1 + pick(200);
    bool probed = false;
    std::size_t reads = 0;
    for (unsigned i = 0; i < steps; ++i) {
        const unsigned kind = pick(20);
        if (kind < 16) {
            std::uint8_t v = level;
            v ^= pick(3) != 0 ? kWiring.mask(Signal::Clock) : 0;
            v ^= pick(2) != 0 ? kWiring.mask(Signal::Data) : 0;
            v ^= pick(30) == 0 ? kWiring.mask(Signal::ChipSelect) : 0;
            v ^= pick(40) == 0 ? kWiring.mask(Signal::Mute) : 0;
            v ^= pick(40) == 0 ? kWiring.mask(Signal::Zcd) : 0;
            batch.writeData(v);
            level = v;
        } else if (kind == 16 && reads < BusBatch::kMaxDataReads) {
            reads = batch.readData() + 1;
        } else if (kind < 19 && i < BusBatch::kMaxSamples) {
            batch.sample();
        } else if (!probed) {
            batch.probe(level, static_cast<std::uint8_t>(1 + pick(40)));
            probed = true;
        }
    }
    return batch;
}

void expectSameCapture(BusCapture& whole, BusCapture& stepwise) {
    whole.decodePending();
    stepwise.decodePending();
    ASSERT_EQ(whole.end(), stepwise.end());
    ASSERT_EQ(whole.first(), stepwise.first());
    for (std::uint64_t n = whole.first(); n < whole.end(); ++n) {
        ASSERT_EQ(whole.frame(n), stepwise.frame(n)) << "frame " << n;
    }
    for (std::size_t age = 0; age < LineHistory::kSlices; ++age) {
        ASSERT_EQ(whole.history().slice(age), stepwise.history().slice(age)) << "slice " << age;
    }
    EXPECT_EQ(whole.accesses(), stepwise.accesses());
    EXPECT_EQ(whole.dataLevel(), stepwise.dataLevel());
    EXPECT_EQ(whole.readBackHigh(), stepwise.readBackHigh());
    EXPECT_EQ(whole.clock().last(), stepwise.clock().last());
}

// The capture decodes a frame whole, in runs of writes where it can, and takes a wait's reads
// at once; fed the same accesses one at a time it must keep exactly the same frames, line
// history and times: on a parallel port and on an adapter, with frames inside one history
// slice and frames across many.
TEST(BusCapture, FramesTakenWholeKeepWhatTheirAccessesOneByOneKeep) {
    const struct {
        const char* where;
        long long accessNs;  // 100 us an access: a history slice every ten accesses
    } cases[] = {{"", 0}, {"", 100'000}, {"ftdi", 0}, {"ftdi", 100'000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("carrier '") + c.where + "', " + std::to_string(c.accessNs) +
                     " ns an access");
        AdapterRig rig(Carrier{c.where}, 2);
        BusCapture whole(VcdTiming::simulated(c.accessNs));
        rig.port->observers().attach(whole);
        rig.port->select(1, kBase);

        std::mt19937 rng(7);
        std::uint8_t level = 0;
        for (int i = 0; i < 400; ++i) {
            BusBatch batch = randomBatch(rng, level);
            rig.port->run(batch);
            if (i % 5 == 0) {  // a line operation, a status read and a wait between frames
                level = rig.port->read(kBase);
                level ^= kWiring.mask(Signal::Mute);
                rig.port->write(kBase, level);
                rig.port->read(kBase + 1);
                const long reads = i == 200 ? 5000 : static_cast<long>(rng() % 40);  // one long
                rig.port->wait(i % 2 == 0 ? kBase : kBase + 1, reads);
            }
        }
        whole.decodePending();
        ASSERT_GT(whole.end(), 100u);

        BusCapture stepwise(VcdTiming::simulated(c.accessNs));
        stepwise.onPortSelected(kBase);
        for (const testing::Access& a : rig.traffic.accesses) {
            a.kind == 'R' ? stepwise.onRead(a.address, a.value)
                          : stepwise.onWrite(a.address, a.value);
        }
        expectSameCapture(whole, stepwise);
    }
}

// Every event the decoder tells, in order, with what it carried.
struct EventLog {
    std::vector<std::string> events;
    bool takesRuns() const { return true; }
    void access(std::uint8_t, bool) {}
    void writeRun(std::size_t, bool) {}
    void runLines(std::uint8_t, std::uint8_t) {}
    void frameStarted() { events.push_back("start"); }
    void frameEnded(const chiplink::BusEvent& e) { add("end", e); }
    void pin(const chiplink::BusEvent& e) { add("pin", e); }
    void add(const char* what, const chiplink::BusEvent& e) {
        events.push_back(std::string(what) + " " + std::to_string(e.dut2Word) + " " +
                         std::to_string(e.dut1Word) + " " + std::to_string(e.clockPulses) + " " +
                         std::to_string(e.returned) + " " + std::to_string(e.chainLength) + " " +
                         std::to_string(e.zcdHigh) + std::to_string(e.muteHigh));
    }
};

// The decoder itself, line operations included (the capture ignores them): a batch decoded
// whole tells the events its accesses tell one by one.
TEST(BusDecoder, ABatchDecodedWholeTellsTheEventsOfItsAccesses) {
    AdapterRig rig(Carrier{""}, 2);
    rig.port->select(1, kBase);
    chiplink::BusDecoder whole, stepwise;
    whole.portSelected(kBase);
    stepwise.portSelected(kBase);
    EventLog wholeLog, stepwiseLog;
    std::mt19937 rng(11);
    std::uint8_t level = 0;
    for (int i = 0; i < 400; ++i) {
        const std::size_t before = rig.traffic.accesses.size();
        BusBatch batch = randomBatch(rng, level);
        rig.port->run(batch);
        whole.frame(kBase, batch, wholeLog);
        for (std::size_t a = before; a < rig.traffic.accesses.size(); ++a) {
            const testing::Access& access = rig.traffic.accesses[a];
            access.kind == 'R' ? stepwise.read(access.address, access.value, stepwiseLog)
                               : stepwise.write(access.address, access.value, stepwiseLog);
        }
        ASSERT_EQ(wholeLog.events, stepwiseLog.events) << "batch " << i;
    }
    EXPECT_GT(wholeLog.events.size(), 200u);
}

}  // namespace
}  // namespace selvar::monitor
