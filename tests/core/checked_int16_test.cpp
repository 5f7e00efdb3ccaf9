// SPDX-License-Identifier: GPL-3.0-or-later
#include "gain/checked_int16.h"

#include <gtest/gtest.h>

namespace selvar::gain {
namespace {

TEST(CheckedInt16, KeepsValuesInRangeAndRefusesOverflow) {
    struct Case {
        long long a, b;
        bool overflows;
    };
    const Case cases[] = {{32767, 0, false},
                          {32767, 1, true},
                          {-32768, 0, false},
                          {-32768, -1, true},
                          {255, 255, false}};
    for (const auto& c : cases) {
        if (c.overflows) {
            EXPECT_THROW(add16(c.a, c.b), Int16Overflow) << c.a << "+" << c.b;
        } else {
            EXPECT_EQ(add16(c.a, c.b), c.a + c.b);
        }
    }
    EXPECT_THROW(mul16(300, 300), Int16Overflow);
    EXPECT_EQ(sub16(0, 32768), -32768);
}

}  // namespace
}  // namespace selvar::gain
