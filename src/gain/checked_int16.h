// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <limits>
#include <stdexcept>

namespace selvar::gain {

// The gain arithmetic is defined on 16-bit signed integers that fail loudly on overflow
// rather than wrap; these helpers are the one place that rule lives.
class Int16Overflow : public std::overflow_error {
  public:
    using std::overflow_error::overflow_error;
};

inline std::int16_t checkedInt16(long long value) {
    if (value < std::numeric_limits<std::int16_t>::min() ||
        value > std::numeric_limits<std::int16_t>::max()) {
        throw Int16Overflow("16-bit overflow");
    }
    return static_cast<std::int16_t>(value);
}

inline std::int16_t add16(long long a, long long b) {
    return checkedInt16(a + b);
}
inline std::int16_t sub16(long long a, long long b) {
    return checkedInt16(a - b);
}
inline std::int16_t mul16(long long a, long long b) {
    return checkedInt16(a * b);
}

}  // namespace selvar::gain
