// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace selvar::entry {

// Window geometry is in twips (1/1440 inch). Sizes measured in pixels are fractional twips at
// most screen resolutions, so the inputs are doubles and each operand is rounded where it is used.
inline double twipsOf(int pixels, double logicalDpi) {
    return pixels * 1440.0 / logicalDpi;
}

struct WindowPosition {
    long long left = 0;
    long long top = 0;

    friend bool operator==(const WindowPosition&, const WindowPosition&) = default;
};

// a \ b: each operand rounded to a whole number (halves to the even neighbour), then the
// quotient truncated toward zero. b must not round to 0.
long long twipsIntDiv(double a, double b);

// The entry window sits a twentieth of the screen's width and height from its top-left corner.
WindowPosition placeEntry(double screenWidth, double screenHeight);

struct PanelPositions {
    WindowPosition dut1;
    WindowPosition dut2;
};

// The DUT1 panel to the right of the entry window, a twentieth of the entry's width away, top
// edges aligned; the DUT2 panel cascaded from it by a tenth of DUT1's height, down and to the
// right. entryWidth and dut1Height are outer sizes, frame included. No clamping to the screen.
PanelPositions placePanels(WindowPosition entry, double entryWidth, double dut1Height);

}  // namespace selvar::entry
