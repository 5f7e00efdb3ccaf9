// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace selvar::monitor {

// The six lines over the last few hundred milliseconds, in slices of one millisecond: for each
// slice, which lines were seen high and which low. Far too many edges pass in that time to keep
// them one by one; a slice seen both high and low is drawn as activity, as an analyser zoomed
// out draws it. Fixed size, no allocation: updated on every access.
class LineHistory {
  public:
    static constexpr std::size_t kSlices = 400;
    static constexpr std::uint64_t kSliceNs = 1'000'000;
    // Line bits: the data register's own bits for the driven lines, this one for the read-back.
    static constexpr std::uint8_t kReadBackBit = 0x80;

    struct Slice {
        std::uint8_t high = 0;
        std::uint8_t low = 0;
        bool operator==(const Slice&) const = default;
    };

    // ticksPerSlice: the clock's ticks in one slice (at least 1).
    explicit LineHistory(std::uint64_t ticksPerSlice) : ticksPerSlice_(ticksPerSlice) {}

    // The lines' levels (line bits) at time t; times never go back.
    void record(std::uint64_t t, std::uint8_t levels) {
        markSeen(t, {levels, static_cast<std::uint8_t>(~levels)});
    }
    // n accesses at t, t + step, ... that all left the lines at `levels`: a few steps a slice.
    void recordSpan(std::uint64_t t, std::uint64_t step, std::uint64_t n, std::uint8_t levels);
    // Lines seen high and low at times up to t, all in t's slice (see inCurrentSlice).
    void markSeen(std::uint64_t t, Slice seen) {
        if (t >= sliceEnd_) {
            advance(t);
        }
        slices_[current_].high |= seen.high;
        slices_[current_].low |= seen.low;
    }
    // Whether times t1 to t2 all fall in the slice of the last record.
    bool inCurrentSlice(std::uint64_t t1, std::uint64_t t2) const {
        return sliceEnd_ != 0 && t1 >= sliceEnd_ - ticksPerSlice_ && t2 < sliceEnd_;
    }

    // Slice age 0 is the current one; older slices have higher ages. Slices without any access
    // are empty (nothing seen high or low).
    const Slice& slice(std::size_t age) const {
        return slices_[(current_ + kSlices - age % kSlices) % kSlices];
    }
    void clear();

  private:
    void advance(std::uint64_t t);

    std::uint64_t ticksPerSlice_;
    std::uint64_t sliceEnd_ = 0;
    std::size_t current_ = 0;
    std::array<Slice, kSlices> slices_{};
};

}  // namespace selvar::monitor
