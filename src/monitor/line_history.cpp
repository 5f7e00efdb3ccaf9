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

void LineHistory::clear() {
    slices_.fill({});
}

}  // namespace selvar::monitor
