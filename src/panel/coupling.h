// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>

namespace selvar::panel {

// Gang and Pan projected from Left and Right.
struct GangPan {
    int gang = 0;
    int pan = 0;
};

// Left and Right proposed from Gang and Pan (may lie outside 0..255 before placement).
struct LeftRight {
    int left = 0;
    int right = 0;
};

inline constexpr int kCentreBand = 24;  // |Pan| below this: Gang = L + R
inline constexpr int kLoudOffset = 12;  // outside it Gang follows the louder channel - 12

GangPan projectOntoGangPan(int left, int right);
LeftRight projectOntoLeftRight(int gang, int pan);

enum class Channel { Left, Right };

// The slider assignments a placement makes, in the order it makes them, and whether the
// pinned result is projected back onto Gang and Pan afterwards. Both channels are always listed
// and always lie in 0..255; the window skips an assignment of a slider's current value, which
// would send nothing. First comes Left when nothing is pinned, else the pinned channel.
struct Placement {
    struct Assignment {
        Channel channel;
        int value;
    };
    std::array<Assignment, 2> assignments{};
    std::size_t count = 0;
    bool reproject = false;
};

// The codes Left and Right hold once the placement is made (the last assignment of each).
LeftRight placedCodes(const Placement& placement);

// After a Gang move: keeps the sum L + R. When pinning one channel would push the other out of
// 0..255, the other is pinned to its own bound too (Pan then moves on re-projection).
Placement setLeftRightKeepGang(int left, int right);
// After a Pan move: keeps the difference R - L (for Gang 0..510 and Pan -255..255 the shifted
// channel always stays in range).
Placement setLeftRightKeepPan(int left, int right);

}  // namespace selvar::panel
