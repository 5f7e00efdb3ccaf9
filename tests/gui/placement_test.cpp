// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/placement.h"

#include "entry/screen_fit.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace selvar::entry {
namespace {

TEST(TwipsIntDiv, RoundsEachOperandHalfToEvenThenTruncatesTowardZero) {
    struct Case {
        double a, b;
        long long quotient;
    };
    const Case cases[] = {
        {15360, 20, 768},    {4275, 20, 213},
        {4095, 10, 409},     {4109.5, 10, 411},  // 4110: rounded, not truncated, before dividing
        {4109.4, 10, 410},   {100, 10.5, 10},    // divisor 10, the even neighbour
        {100, 11.5, 8},                          // divisor 12
        {100, 9.5, 10},                          // divisor 10
        {-4105, 10, -410},                       // toward zero, not down
        {-4109.5, 10, -411}, {-7, 2, -3},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(twipsIntDiv(c.a, c.b), c.quotient) << c.a << " \\ " << c.b;
    }
    EXPECT_THROW(twipsIntDiv(5, 0.4), std::domain_error);
}

TEST(Placement, PutsEntryThenCascadesPanelsFromIt) {
    struct Case {
        const char* what;
        double screenWidth, screenHeight, entryWidth, dut1Height;
        WindowPosition entry, dut1, dut2;
    };
    const Case cases[] = {
        {"worked example", 15360, 11520, 4275, 4095, {768, 576}, {5256, 576}, {5665, 985}},
        {"800 x 600 at 96 dpi, no frames",
         12000,
         9000,
         4155,
         3690,
         {600, 450},
         {4962, 450},
         {5331, 819}},
        {"halves round up to even",
         15379.5,
         11539.5,
         4299.5,
         4109.5,
         {769, 577},
         {5284, 577},
         {5695, 988}},
        // The entry's width enters the sum rounded to even as well: 4274, not 4275.
        {"halves round down to even",
         15360.5,
         11520.5,
         4274.5,
         4094.5,
         {768, 576},
         {5255, 576},
         {5664, 985}},
        {"no clamping off screen", 1000, 800, 4155, 3690, {50, 40}, {4412, 40}, {4781, 409}},
    };
    for (const Case& c : cases) {
        const WindowPosition entry = placeEntry(c.screenWidth, c.screenHeight);
        const PanelPositions panels = placePanels(entry, c.entryWidth, c.dut1Height);
        EXPECT_EQ(entry, c.entry) << c.what;
        EXPECT_EQ(panels.dut1, c.dut1) << c.what;
        EXPECT_EQ(panels.dut2, c.dut2) << c.what;
    }
}

}  // namespace
}  // namespace selvar::entry

namespace selvar::entry {
namespace {

TEST(KeepOnScreen, MovesOnlyWhatWouldReachPastTheAvailableAreaAndNeverResizes) {
    const QRect area(100, 0, 1000, 700);  // a panel along the left edge takes 100 px
    struct Case {
        QPoint wanted;
        QSize outer;
        QPoint placed;
    };
    const Case cases[] = {
        {{200, 50}, {400, 300}, {200, 50}},    // fits: the rule's place
        {{900, 50}, {400, 300}, {700, 50}},    // past the right edge: back to it
        {{200, 600}, {400, 300}, {200, 400}},  // past the bottom
        {{50, -20}, {400, 300}, {100, 0}},     // before the left and top edges
        {{900, 600}, {1200, 900}, {100, 0}},   // larger than the area: top-left shown
    };
    for (const Case& c : cases) {
        EXPECT_EQ(keepOnScreen(area, c.wanted, c.outer), c.placed)
            << c.wanted.x() << "," << c.wanted.y();
    }
}

}  // namespace
}  // namespace selvar::entry
