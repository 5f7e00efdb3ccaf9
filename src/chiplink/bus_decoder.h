// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "chiplink/write_runs.h"
#include "platform/bus_batch.h"
#include "platform/wiring.h"

namespace selvar::chiplink {

// What a stretch of port accesses did on the chips' bus, told from the accesses alone (not
// from the chip link's own account): the one decoder behind the bus monitor, the saved
// captures and the tests.
struct BusEvent {
    enum class Kind {
        Pin,       // one line operation: a data-register read, then one write that changes at
                   // most ZCD and MUTE
        Gain,      // a chip-select frame that sampled nothing: a gain-word transfer
        ReadBack,  // a chip-select frame that sampled the read-back line
    };
    Kind kind = Kind::Pin;
    bool zcdHigh = false;  // ZCD and MUTE levels after the event
    bool muteHigh = false;
    // Frames: the last 32 bits clocked in, first bit highest: the DUT2 word, then the DUT1 word.
    std::uint16_t dut2Word = 0;
    std::uint16_t dut1Word = 0;
    int clockPulses = 0;
    // Read-backs: the first 32 samples of the line, first highest, and how many there were.
    std::uint32_t returned = 0;
    int returnedBits = 0;
    // Read-backs: the pulses the marker took to come out (16 a chip), or the probe's limit + 1
    // when it never did.
    int chainLength = 0;
};

// Fed every access of one port in order; gives each event as it completes. At most one event
// completes per access; a line operation is known to be complete only at the next access, so
// finish() gives the last one.
//
// Two ways in, one decoding: access by access (read, write), or a frame run whole (frame),
// which tells a sink as it goes:
//   access(dataLevel, readBackHigh)  after every access, with the lines' levels it left;
//   frameStarted()                   after the access that dropped chip select;
//   frameEnded(event)                after the access that raised it;
//   pin(event)                       when a line operation turned out complete;
// and, when its takesRuns() says so, runs of writes that keep chip select at once:
//   writeRun(n, readBackHigh)        after n such writes;
//   runLines(high, low)              at the end: the data-register bits the runs' writes set
//                                    and those they cleared.
class BusDecoder {
  public:
    void portSelected(std::uint16_t base);
    std::optional<BusEvent> read(std::uint16_t address, std::uint8_t value);
    std::optional<BusEvent> write(std::uint16_t address, std::uint8_t value);
    std::optional<BusEvent> finish();

    template <class Sink>
    void read(std::uint16_t address, std::uint8_t value, Sink& sink) {
        state_.read(address, value, sink);
    }
    template <class Sink>
    void write(std::uint16_t address, std::uint8_t value, Sink& sink) {
        state_.write(address, value, sink);
    }
    // The accesses a parallel port made for a batch run at base, as if fed one by one. Inline
    // and on a copy of the state, so that a frame decodes in registers.
    // Batch: a BusBatch, or a PackedBatch whose memory goes on for kRunSteps steps past it.
    template <class Sink, class Batch = platform::BusBatch>
    [[gnu::always_inline]] inline void frame(std::uint16_t base, const Batch& batch, Sink& sink);

    // Whether another read of address giving what the last read gave would change nothing
    // (a wait): true but for a sample of the read-back line inside a frame.
    bool readAgainChangesNothing(std::uint16_t address) const {
        return address != state_.base + 1 || (state_.level & kChipSelect) != 0;
    }

    // Data-register level as the accesses left it, and the read-back line as last read.
    std::uint8_t dataLevel() const { return state_.level; }
    bool readBackHigh() const { return state_.readBackHigh; }

  private:
    static constexpr platform::ParallelWiring kWiring = platform::kParallelWiring;
    static constexpr std::uint8_t kChipSelect = kWiring.mask(platform::Signal::ChipSelect);
    static constexpr std::uint8_t kClock = kWiring.mask(platform::Signal::Clock);
    static constexpr std::uint8_t kData = kWiring.mask(platform::Signal::Data);
    static constexpr std::uint8_t kPinLines =
        kWiring.mask(platform::Signal::Zcd) | kWiring.mask(platform::Signal::Mute);
    static constexpr int kReturnedBits = 32;

    struct State {
        std::uint16_t base = 0;
        std::uint8_t level = 0;
        std::uint8_t pendingLevel = 0;  // the levels a pending line operation left
        bool pendingPin = false;
        bool lastWasDataRead = false;
        bool readBackHigh = false;
        bool lastSampleHigh = false;
        std::uint32_t shifted = 0;
        int clockPulses = 0;
        std::uint32_t returned = 0;
        int samples = 0;

        // Always inlined: a frame's loop must not make a call per access.
        template <class Sink>
        [[gnu::always_inline]] inline void read(std::uint16_t address, std::uint8_t value,
                                                Sink& sink);
        template <class Sink>
        [[gnu::always_inline]] inline void write(std::uint16_t address, std::uint8_t value,
                                                 Sink& sink);
#if SELVAR_WRITE_RUNS
        // Data-register writes that keep chip select as it is, the bulk of a frame, taken
        // many at once: the same as as many write() calls. Reads the next kRunSteps steps
        // (all within the batch's array) but takes at most `most`; gives how many it took,
        // 0 when the next step is no such write.
        template <class Sink>
        [[gnu::always_inline]] inline std::size_t writeRun(const platform::BusBatch::Step* steps,
                                                           std::size_t most, RunLines& lines,
                                                           Sink& sink);
#endif
        [[gnu::always_inline]] inline BusEvent frameEvent() const;
    };
    // A batch's accesses, replayed into the state.
    template <class Sink>
    struct StateFeed {
        State& state;
        Sink& sink;
        void read(std::uint16_t address, std::uint8_t value) { state.read(address, value, sink); }
        void write(std::uint16_t address, std::uint8_t value) { state.write(address, value, sink); }
    };
    static BusEvent eventAtLevel(BusEvent::Kind kind, std::uint8_t level) {
        BusEvent e;
        e.kind = kind;
        e.zcdHigh = kWiring.level(level, platform::Signal::Zcd);
        e.muteHigh = kWiring.level(level, platform::Signal::Mute);
        return e;
    }

    State state_;
};

BusEvent BusDecoder::State::frameEvent() const {
    BusEvent e = eventAtLevel(samples > 0 ? BusEvent::Kind::ReadBack : BusEvent::Kind::Gain, level);
    e.dut2Word = static_cast<std::uint16_t>(shifted >> 16);
    e.dut1Word = static_cast<std::uint16_t>(shifted & 0xFFFF);
    e.clockPulses = clockPulses;
    if (samples > 0) {
        e.returnedBits = samples < kReturnedBits ? samples : kReturnedBits;
        e.returned = returned;
        const int probes = samples - e.returnedBits;
        e.chainLength = lastSampleHigh && probes > 0 ? probes : probes + 1;
    }
    return e;
}

template <class Sink>
void BusDecoder::State::read(std::uint16_t address, std::uint8_t value, Sink& sink) {
    if (pendingPin) {
        pendingPin = false;
        sink.pin(eventAtLevel(BusEvent::Kind::Pin, pendingLevel));
    }
    lastWasDataRead = address == base;
    if (address == base) {
        level = value;  // a data read shows the levels the port really drives
    } else if (address == base + 1) {
        readBackHigh = kWiring.readBackLevel(value);
        if ((level & kChipSelect) == 0) {
            lastSampleHigh = readBackHigh;
            if (samples < kReturnedBits) {
                returned = (returned << 1) | (readBackHigh ? 1u : 0u);
            }
            ++samples;
        }
    }
    sink.access(level, readBackHigh);
}

// A write right after a line operation's write belongs to something else (a frame's first
// writes look the same), so the operation counts only when no write follows it.
template <class Sink>
void BusDecoder::State::write(std::uint16_t address, std::uint8_t value, Sink& sink) {
    pendingPin = false;
    const bool afterDataRead = lastWasDataRead;
    lastWasDataRead = false;
    if (address != base) {
        sink.access(level, readBackHigh);
        return;
    }
    const std::uint8_t before = level;
    level = value;
    const bool csLow = (value & kChipSelect) == 0;
    const bool wasCsLow = (before & kChipSelect) == 0;
    if (csLow && !wasCsLow) {
        shifted = 0;
        clockPulses = 0;
        returned = 0;
        samples = 0;
        lastSampleHigh = false;
    }
    // Branch-free: most of a frame's accesses are clock edges.
    const bool shift = csLow && (before & kClock) == 0 && (value & kClock) != 0;
    shifted = shift ? (shifted << 1) | ((value & kData) != 0 ? 1u : 0u) : shifted;
    clockPulses += shift ? 1 : 0;
    sink.access(level, readBackHigh);
    if (csLow == wasCsLow) {
        if (afterDataRead && ((value ^ before) & ~kPinLines) == 0) {
            pendingPin = true;
            pendingLevel = level;
        }
    } else if (csLow) {
        sink.frameStarted();
    } else {
        // The data latch powers up at 0, chip select low: the chips see a frame from then on.
        sink.frameEnded(frameEvent());
    }
}

#if SELVAR_WRITE_RUNS
template <class Sink>
std::size_t BusDecoder::State::writeRun(const platform::BusBatch::Step* steps, std::size_t most,
                                        RunLines& lines, Sink& sink) {
    // A write that changes chip select, or that may complete a line operation (one after a
    // data read, changing at most ZCD and MUTE), is taken one by one.
    // So is a lone write: reading a run costs more than one step.
    using platform::BusBatch;
    const std::uint8_t changed = steps[0].value ^ level;
    if (most < 2 || steps[0].op != BusBatch::Op::WriteData || (changed & kChipSelect) != 0 ||
        (lastWasDataRead && (changed & ~kPinLines) == 0) ||
        steps[1].op != BusBatch::Op::WriteData ||
        ((steps[1].value ^ steps[0].value) & kChipSelect) != 0) {
        return 0;
    }
    const WriteRun run = readWriteRun(steps, most, level, lines);
    if (run.length == 0) {
        return 0;
    }
    shifted = (shifted << run.clocked) | run.clockedIn;
    clockPulses += run.clocked;
    level = run.lastValue;
    pendingPin = false;  // a write ends a line operation's chance, as in write()
    lastWasDataRead = false;
    sink.writeRun(run.length, readBackHigh);
    return run.length;
}
#endif

template <class Sink, class Batch>
void BusDecoder::frame(std::uint16_t base, const Batch& batch, Sink& sink) {
    State s = state_;
    platform::ReplayCursor cursor;
    const std::size_t size = batch.size();
#if SELVAR_WRITE_RUNS
    const bool runs = base == s.base && sink.takesRuns();
    RunLines lines;
#endif
    for (std::size_t i = 0; i < size; ++i) {
#if SELVAR_WRITE_RUNS
        if (runs && i + kRunSteps <= platform::BusBatch::kCapacity) {
            const std::size_t n = s.writeRun(batch.begin() + i, size - i, lines, sink);
            if (n > 0) {
                i += n - 1;
                continue;
            }
        }
#endif
        platform::replayStep(batch, i, base, cursor, StateFeed<Sink>{s, sink});
    }
    state_ = s;
#if SELVAR_WRITE_RUNS
    if (runs) {
        sink.runLines(lines.high(), lines.low());
    }
#endif
}

}  // namespace selvar::chiplink
