// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel/coupling.h"

#include <algorithm>

#include "gain/checked_int16.h"

namespace selvar::panel {
namespace {

using gain::add16;
using gain::mul16;
using gain::sub16;

constexpr int kMinCode = 0;
constexpr int kMaxCode = 255;

Channel otherChannel(Channel channel) {
    return channel == Channel::Left ? Channel::Right : Channel::Left;
}

// One channel pinned to the bound it crossed; the other shifted by `shift`, which keeps the
// sum or the difference. The shifted channel is held within its range too: keeping the sum can
// push it out (Gang 510 with an odd Pan, or a low Gang with a wide Pan), and a chip code outside
// 0..255 cannot be sent. Pan then moves on the re-projection.
Placement pinned(Channel channel, int bound, int shiftedOther) {
    Placement placement;
    placement.assignments[0] = {channel, bound};
    placement.assignments[1] = {otherChannel(channel),
                                std::clamp(shiftedOther, kMinCode, kMaxCode)};
    placement.count = 2;
    placement.reproject = true;
    return placement;
}

// The tests of both placements, in their order, first match wins. `keepSum` chooses whether the
// other channel takes up the pinned channel's excess (sum kept) or gives it up (difference kept).
Placement place(int left, int right, bool keepSum) {
    const auto other = [keepSum](int otherValue, int excess) {
        return keepSum ? add16(otherValue, excess) : sub16(otherValue, excess);
    };
    if (left > kMaxCode) {
        return pinned(Channel::Left, kMaxCode, other(right, sub16(left, kMaxCode)));
    }
    if (left < kMinCode) {
        return pinned(Channel::Left, kMinCode, other(right, left));
    }
    if (right > kMaxCode) {
        return pinned(Channel::Right, kMaxCode, other(left, sub16(right, kMaxCode)));
    }
    if (right < kMinCode) {
        return pinned(Channel::Right, kMinCode, other(left, right));
    }
    Placement placement;
    placement.assignments[0] = {Channel::Left, left};
    placement.assignments[1] = {Channel::Right, right};
    placement.count = 2;
    return placement;
}

}  // namespace

GangPan projectOntoGangPan(int left, int right) {
    const int pan = sub16(right, left);
    int gang = 0;
    if (-kCentreBand < pan && pan < kCentreBand) {
        gang = add16(left, right);
    } else if (pan > 0) {
        gang = mul16(2, sub16(right, kLoudOffset));
    } else {
        gang = mul16(2, sub16(left, kLoudOffset));
    }
    return {gang, pan};
}

LeftRight projectOntoLeftRight(int gang, int pan) {
    const int half = gang / 2;
    if (-kCentreBand < pan && pan < kCentreBand) {
        // The odd code of an odd Pan goes to the side Pan favours.
        const int q = pan / 2;
        if (pan >= 0) {
            return {sub16(half, q), add16(half, sub16(pan, q))};
        }
        return {sub16(half, sub16(pan, q)), add16(half, q)};
    }
    if (pan >= kCentreBand) {
        const int right = add16(half, kLoudOffset);
        return {sub16(right, pan), right};
    }
    const int left = add16(half, kLoudOffset);
    return {left, add16(left, pan)};
}

LeftRight placedCodes(const Placement& placement) {
    LeftRight codes;
    for (std::size_t i = 0; i < placement.count; ++i) {
        const Placement::Assignment& a = placement.assignments[i];
        (a.channel == Channel::Left ? codes.left : codes.right) = a.value;
    }
    return codes;
}

Placement setLeftRightKeepGang(int left, int right) {
    return place(left, right, true);
}

Placement setLeftRightKeepPan(int left, int right) {
    return place(left, right, false);
}

}  // namespace selvar::panel
