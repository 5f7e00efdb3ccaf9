// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/line_history.h"

namespace selvar::monitor {

void LineHistory::advance(std::uint64_t t) {
    // A long pause empties every slice at most once.
    std::uint64_t steps = sliceEnd_ == 0 ? 1 : (t - sliceEnd_) / ticksPerSlice_ + 1;
    if (steps > kSlices) {
        steps = kSlices;
    }
    for (std::uint64_t i = 0; i < steps; ++i) {
        current_ = (current_ + 1) % kSlices;
        slices_[current_] = {};
    }
    sliceEnd_ = (t / ticksPerSlice_ + 1) * ticksPerSlice_;
}

void LineHistory::recordSpan(std::uint64_t t, std::uint64_t step, std::uint64_t n,
                             std::uint8_t levels) {
    if (n == 0) {
        return;
    }
    step = step == 0 ? 1 : step;
    const std::uint64_t last = t + (n - 1) * step;
    // Only the last kSlices slices can still be seen.
    const std::uint64_t kept = kSlices * ticksPerSlice_;
    if (last - t > kept) {
        t += (last - t - kept) / step * step;
    }
    for (;;) {
        record(t, levels);
        if (sliceEnd_ > last) {
            return;
        }
        t += (sliceEnd_ - t + step - 1) / step * step;  // the first access in the next slice
    }
}

void LineHistory::clear() {
    slices_.fill({});
}

}  // namespace selvar::monitor
