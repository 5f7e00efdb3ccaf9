// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/selected_port.h"
#include "platform/trace_file.h"

namespace selvar::platform {

// How a waveform turns accesses into time.
struct VcdTiming {
    std::string timescale;             // e.g. "1us"
    std::uint64_t ticksPerAccess = 1;  // simulated: each access advances this much
    bool steadyClock = false;          // hardware: ticks are nanoseconds of a steady clock
    std::uint64_t nsPerTick = 1;       // the timescale in nanoseconds

    // Simulated board where one access lasts accessNs (0: pacing off, one tick per access).
    static VcdTiming simulated(long long accessNs);
    // Real port: timestamps from a steady clock in nanoseconds.
    static VcdTiming hardware();
};

// The time of each access in a waveform's ticks, counted from the clock's creation: the one
// clock behind the trace file, the bus monitor's times and its saved waveforms.
class AccessClock {
  public:
    explicit AccessClock(VcdTiming timing);

    // The time of the next access: strictly later than the last one.
    std::uint64_t next() {
        std::uint64_t t = timing_.steadyClock ? steadyTicks() : last_ + timing_.ticksPerAccess;
        if (t <= last_) {
            t = last_ + 1;
        }
        last_ = t;
        return t;
    }
    std::uint64_t last() const { return last_; }
    // A frame's n accesses, the first at start (a next() taken as it began), have run: the
    // clock moves past them and gives the time between them - the timing's own step when
    // simulated, their span spread evenly on a steady clock.
    std::uint64_t spread(std::uint64_t start, std::uint64_t n) {
        if (n == 0) {
            return 0;
        }
        const std::uint64_t step =
            timing_.steadyClock ? steadyStep(start, n) : timing_.ticksPerAccess;
        skipTo(start + (n - 1) * step);
        return step;
    }
    // The next access comes after time t (a replay placing its accesses).
    void skipTo(std::uint64_t t) {
        if (t > last_) {
            last_ = t;
        }
    }
    const VcdTiming& timing() const { return timing_; }
    std::uint64_t nanoseconds(std::uint64_t ticks) const { return ticks * timing_.nsPerTick; }

  private:
    std::uint64_t steadyTicks() const;
    std::uint64_t steadyStep(std::uint64_t start, std::uint64_t n) const;

    VcdTiming timing_;
    std::chrono::steady_clock::time_point start_;
    std::uint64_t last_ = 0;
};

// Streams the serial bus of the selected port as a value-change dump: the data register's
// chip select, clock, data, MUTE and ZCD lines and the read-back line, each a 1-bit wire.
// Only changes are written, a timestamp only where something changed; the file stays a plain
// subset (no vectors, no x/z, no comments after the header) that waveform viewers and
// protocol decoders both read.
class VcdWriter : public AccessObserver {
  public:
    // Takes ownership of out (closed by the destructor).
    VcdWriter(std::FILE* out, VcdTiming timing, TraceReport report = {});
    ~VcdWriter() override;
    VcdWriter(const VcdWriter&) = delete;
    VcdWriter& operator=(const VcdWriter&) = delete;

    void onPortSelected(std::uint16_t base) override;
    void onRead(std::uint16_t address, std::uint8_t value) override;
    void onWrite(std::uint16_t address, std::uint8_t value) override;
    // The next access is written after time t, in ticks: for replays of accesses made earlier.
    void skipTo(std::uint64_t t) { clock_.skipTo(t); }

  private:
    enum Wire { kCs, kClk, kMosi, kMiso, kMute, kZcd, kWireCount };

    void writeTimestamp(std::uint64_t time);
    void setDataLines(std::uint8_t value, std::uint64_t time);
    void setWire(Wire wire, bool level, std::uint64_t time);

    TraceFile file_;
    AccessClock clock_;
    std::uint16_t base_ = 0;
    std::uint64_t writtenTime_ = 0;
    bool levels_[kWireCount] = {};
};

}  // namespace selvar::platform
