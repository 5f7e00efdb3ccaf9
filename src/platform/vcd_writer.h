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

    // Simulated board where one access lasts accessNs (0: pacing off, one tick per access).
    static VcdTiming simulated(long long accessNs);
    // Real port: timestamps from a steady clock in nanoseconds.
    static VcdTiming hardware();
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

  private:
    enum Wire { kCs, kClk, kMosi, kMiso, kMute, kZcd, kWireCount };

    std::uint64_t nextTime();
    void writeTimestamp(std::uint64_t time);
    void setDataLines(std::uint8_t value, std::uint64_t time);
    void setWire(Wire wire, bool level, std::uint64_t time);

    TraceFile file_;
    VcdTiming timing_;
    std::chrono::steady_clock::time_point start_;
    std::uint16_t base_ = 0;
    std::uint64_t lastTime_ = 0;
    std::uint64_t writtenTime_ = 0;
    bool levels_[kWireCount] = {};
};

}  // namespace selvar::platform
