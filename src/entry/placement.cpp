// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/placement.h"

#include <cmath>
#include <stdexcept>

namespace selvar::entry {

namespace {

// Spelled out rather than std::nearbyint, whose result depends on the rounding mode in force.
long long roundHalfEven(double x) {
    const double lower = std::floor(x);
    const double fraction = x - lower;
    long long whole = static_cast<long long>(lower);
    if (fraction > 0.5 || (fraction == 0.5 && whole % 2 != 0)) {
        ++whole;
    }
    return whole;
}

}  // namespace

long long twipsIntDiv(double a, double b) {
    const long long divisor = roundHalfEven(b);
    if (divisor == 0) {
        throw std::domain_error("integer division by zero");
    }
    return roundHalfEven(a) / divisor;  // C++ division truncates toward zero
}

WindowPosition placeEntry(double screenWidth, double screenHeight) {
    return {twipsIntDiv(screenWidth, 20), twipsIntDiv(screenHeight, 20)};
}

PanelPositions placePanels(WindowPosition entry, double entryWidth, double dut1Height) {
    // Sums are formed on whole twips, so the width is rounded like an operand of \.
    const long long besideEntry =
        roundHalfEven(entryWidth) + entry.left + twipsIntDiv(entryWidth, 20);
    const long long cascade = twipsIntDiv(dut1Height, 10);
    return {{besideEntry, entry.top}, {besideEntry + cascade, entry.top + cascade}};
}

}  // namespace selvar::entry
