// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/screen_fit.h"

#include <algorithm>

namespace selvar::entry {

namespace {

int fitAxis(int wanted, int size, int areaStart, int areaSize) {
    const int lastStart = areaStart + areaSize - size;
    return std::max(areaStart, std::min(wanted, lastStart));
}

}  // namespace

QPoint keepOnScreen(const QRect& available, QPoint wanted, QSize outer) {
    if (available.isEmpty()) {
        return wanted;
    }
    return {fitAxis(wanted.x(), outer.width(), available.left(), available.width()),
            fitAxis(wanted.y(), outer.height(), available.top(), available.height())};
}

}  // namespace selvar::entry
