// SPDX-License-Identifier: GPL-3.0-or-later
// The bus decoder's fast way through a frame (runs of writes read many steps at once) against
// its plain way (every access one by one): the same events, the same accesses and line levels,
// the same state after, for any batches.

#include <string>
#include <vector>

#include "chiplink/bus_decoder.h"
#include "fuzz_checks.h"

namespace {

using selvar::platform::BusBatch;

constexpr std::uint16_t kBase = 0x378;

// What a sink heard: the events in order, and the accesses' count and levels in all.
struct Heard {
    std::vector<std::string> events;
    std::size_t accesses = 0;
    std::uint8_t high = 0, low = 0;  // data-register bits seen high, seen low
    bool readBackHigh = false, readBackLow = false;

    void access(std::uint8_t level, bool readBack) {
        ++accesses;
        high |= level;
        low |= static_cast<std::uint8_t>(~level);
        (readBack ? readBackHigh : readBackLow) = true;
    }
    void writeRun(std::size_t n, bool readBack) {
        accesses += n;
        (readBack ? readBackHigh : readBackLow) = true;
    }
    void runLines(std::uint8_t h, std::uint8_t l) {
        high |= h;
        low |= l;
    }
    void frameStarted() { events.push_back("start " + std::to_string(accesses)); }
    void frameEnded(const selvar::chiplink::BusEvent& e) { add("end", e); }
    void pin(const selvar::chiplink::BusEvent& e) { add("pin", e); }
    void add(const char* what, const selvar::chiplink::BusEvent& e) {
        events.push_back(std::string(what) + " " + std::to_string(accesses) + " " +
                         std::to_string(e.dut2Word) + " " + std::to_string(e.dut1Word) + " " +
                         std::to_string(e.clockPulses) + " " + std::to_string(e.returned) + " " +
                         std::to_string(e.returnedBits) + " " + std::to_string(e.chainLength) +
                         " " + std::to_string(e.zcdHigh) + std::to_string(e.muteHigh));
    }
    bool operator==(const Heard&) const = default;
};

struct FastSink : Heard {
    bool takesRuns() const { return true; }
};
struct PlainSink : Heard {
    bool takesRuns() const { return false; }
};

// Two bytes a step: what it is and its value (a write's value, a read's or sample's result, a
// probe's level between pulses). A step that does not fit ends the batch.
bool nextBatch(const std::uint8_t*& data, const std::uint8_t* end, BusBatch& batch) {
    batch.clear();
    std::size_t samples = 0;
    while (end - data >= 2 && batch.size() < BusBatch::kCapacity) {
        const std::uint8_t op = data[0], value = data[1];
        if (op == 0xFF) {  // the next batch
            data += 2;
            break;
        }
        const unsigned kind = op % 16;
        if (kind < 11) {
            batch.writeData(value);
        } else if (kind == 11 && batch.probeLimit() < 0) {
            const auto limit = static_cast<std::uint8_t>(1 + op / 16);
            batch.probe(value, limit);
            batch.setProbeCount(1 + value % (limit + 1));
        } else if (kind < 14 && samples < BusBatch::kMaxSamples) {
            batch.setSampled(batch.sample(), (value & 1) != 0);
            ++samples;
        } else if (kind >= 14) {
            try {
                batch.setDataRead(batch.readData(), value);
            } catch (const std::length_error&) {
                batch.writeData(value);
            }
        } else {
            batch.writeData(value);
        }
        data += 2;
    }
    return batch.size() > 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = selvar::fuzz::textOf(data, size);
    selvar::chiplink::BusDecoder fast, plain;
    fast.portSelected(kBase);
    plain.portSelected(kBase);
    FastSink fastHeard;
    PlainSink plainHeard;
    const std::uint8_t* at = data;
    BusBatch batch;
    while (nextBatch(at, data + size, batch)) {
        fast.frame(kBase, batch, fastHeard);
        plain.frame(kBase, batch, plainHeard);
        using selvar::fuzz::require;
        require(fastHeard.events == plainHeard.events, "the same events", input);
        require(static_cast<const Heard&>(fastHeard) == static_cast<const Heard&>(plainHeard),
                "the same accesses and line levels", input);
        require(fastHeard.accesses == plainHeard.accesses, "as many accesses", input);
        require(
            fast.dataLevel() == plain.dataLevel() && fast.readBackHigh() == plain.readBackHigh(),
            "the same levels after", input);
    }
    return 0;
}
