// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel/coupling.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace selvar::panel {
namespace {

// The four slider values of a panel, changed as the window applies a projection.
struct Sliders {
    int left = 0, right = 0, gang = 0, pan = 0;

    void apply(const Placement& placement) {
        for (std::size_t i = 0; i < placement.count; ++i) {
            const auto& a = placement.assignments[i];
            (a.channel == Channel::Left ? left : right) = a.value;
        }
        if (placement.reproject) {
            const GangPan gp = projectOntoGangPan(left, right);
            gang = gp.gang;
            pan = gp.pan;
        }
    }
    // A Gang (keepGang) or Pan move: project Gang and Pan, place, re-project when asked.
    void moved(bool keepGang) {
        const LeftRight lr = projectOntoLeftRight(gang, pan);
        apply(keepGang ? setLeftRightKeepGang(lr.left, lr.right)
                       : setLeftRightKeepPan(lr.left, lr.right));
    }
};

TEST(Coupling, ProjectsLeftRightOntoGangPanAndBackForEveryPairOfCodes) {
    for (int left = 0; left <= 255; ++left) {
        for (int right = 0; right <= 255; ++right) {
            const GangPan gp = projectOntoGangPan(left, right);
            ASSERT_GE(gp.gang, 0);
            ASSERT_LE(gp.gang, 510);
            ASSERT_EQ(gp.pan, right - left);
            const LeftRight lr = projectOntoLeftRight(gp.gang, gp.pan);
            ASSERT_EQ(lr.left, left) << "R " << right;
            ASSERT_EQ(lr.right, right) << "L " << left;
        }
    }
}

TEST(Coupling, ProjectsTheWorkedExamplesOntoGangPan) {
    struct Case {
        int left, right, gang, pan;
    };
    const Case cases[] = {{192, 192, 384, 0},  {255, 255, 510, 0},  {0, 0, 0, 0},
                          {100, 150, 276, 50}, {100, 111, 211, 11}, {101, 100, 201, -1},
                          {0, 255, 486, 255},  {255, 0, 486, -255}, {1, 0, 1, -1},
                          {0, 24, 24, 24},     {0, 23, 23, 23},     {24, 0, 24, -24}};
    for (const auto& c : cases) {
        const GangPan gp = projectOntoGangPan(c.left, c.right);
        EXPECT_EQ(gp.gang, c.gang) << c.left << "/" << c.right;
        EXPECT_EQ(gp.pan, c.pan) << c.left << "/" << c.right;
    }
}

TEST(Coupling, ProposesLeftRightFromGangPanWithTheOddCodeOnPansSide) {
    struct Case {
        int gang, pan, left, right;
    };
    const Case cases[] = {{300, 50, 112, 162}, {385, 0, 192, 192}, {510, 0, 255, 255},
                          {500, 20, 240, 260}, {0, 255, -243, 12}, {384, 1, 192, 193},
                          {384, -1, 193, 192}, {385, 2, 191, 193}, {384, -40, 204, 164},
                          {510, 1, 255, 256}};
    for (const auto& c : cases) {
        const LeftRight lr = projectOntoLeftRight(c.gang, c.pan);
        EXPECT_EQ(lr.left, c.left) << c.gang << "/" << c.pan;
        EXPECT_EQ(lr.right, c.right) << c.gang << "/" << c.pan;
    }
}

std::string describe(const Placement& p) {
    std::string text;
    for (std::size_t i = 0; i < p.count; ++i) {
        text += p.assignments[i].channel == Channel::Left ? "L" : "R";
        text += std::to_string(p.assignments[i].value) + " ";
    }
    return text + (p.reproject ? "reproject" : "keep");
}

TEST(Coupling, PlacesPinningTheCrossingChannelFirst) {
    struct Case {
        bool keepGang;
        int left, right;
        const char* placement;
    };
    const Case cases[] = {
        {true, 112, 162, "L112 R162 keep"},
        {true, 240, 260, "R255 L245 reproject"},   // sum 500 kept
        {false, 240, 260, "R255 L235 reproject"},  // difference 20 kept
        {false, -243, 12, "L0 R255 reproject"},
        {true, 300, 100, "L255 R145 reproject"},
        {false, 300, 100, "L255 R55 reproject"},
        {true, 10, -5, "R0 L5 reproject"},
        {false, 10, -5, "R0 L15 reproject"},
        // Keeping the sum would push the other channel out of range: it is pinned as well.
        {true, 255, 256, "R255 L255 reproject"},
        {true, 256, 255, "L255 R255 reproject"},
        {true, -243, 12, "L0 R0 reproject"},
        {true, 12, -243, "R0 L0 reproject"},
    };
    for (const auto& c : cases) {
        const Placement p = c.keepGang ? setLeftRightKeepGang(c.left, c.right)
                                       : setLeftRightKeepPan(c.left, c.right);
        EXPECT_EQ(describe(p), c.placement) << c.left << "/" << c.right;
    }
}

TEST(Coupling, GangAndPanMovesEndAsTheWorkedExamplesSay) {
    struct Case {
        bool gangMoved;
        Sliders before;
        Sliders after;
    };
    const Case cases[] = {
        {true, {100, 150, 300, 50}, {112, 162, 300, 50}},
        {true, {192, 192, 385, 0}, {192, 192, 385, 0}},
        {true, {0, 0, 510, 0}, {255, 255, 510, 0}},
        {true, {0, 0, 500, 20}, {245, 255, 500, 10}},
        {false, {0, 0, 500, 20}, {235, 255, 490, 20}},
        {false, {0, 0, 0, 255}, {0, 255, 486, 255}},
        // The two placements whose kept sum does not fit: Pan moves on the re-projection.
        {true, {0, 0, 510, 1}, {255, 255, 510, 0}},
        {true, {0, 0, 510, -23}, {255, 255, 510, 0}},
        {true, {0, 255, 0, 255}, {0, 0, 0, 0}},
        {true, {255, 0, 0, -255}, {0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        Sliders s = c.before;
        s.moved(c.gangMoved);
        EXPECT_EQ(s.left, c.after.left) << c.before.gang << "/" << c.before.pan;
        EXPECT_EQ(s.right, c.after.right) << c.before.gang << "/" << c.before.pan;
        EXPECT_EQ(s.gang, c.after.gang) << c.before.gang << "/" << c.before.pan;
        EXPECT_EQ(s.pan, c.after.pan) << c.before.gang << "/" << c.before.pan;
    }
}

TEST(Coupling, EveryGangAndPanMoveLeavesBothChannelsInRange) {
    for (const bool gangMoved : {true, false}) {
        for (int gang = 0; gang <= 510; ++gang) {
            for (int pan = -255; pan <= 255; ++pan) {
                Sliders s{0, 0, gang, pan};
                const LeftRight proposal = projectOntoLeftRight(gang, pan);
                s.moved(gangMoved);
                ASSERT_TRUE(s.left >= 0 && s.left <= 255 && s.right >= 0 && s.right <= 255)
                    << (gangMoved ? "Gang" : "Pan") << " move to " << gang << "/" << pan;
                if (gangMoved) {
                    // The sum is kept whenever two codes can hold it.
                    ASSERT_EQ(s.left + s.right, std::clamp(proposal.left + proposal.right, 0, 510))
                        << gang << "/" << pan;
                } else {
                    ASSERT_EQ(s.right - s.left, pan) << gang << "/" << pan;
                }
                // Gang and Pan keep the values set unless a channel had to be pinned.
                const bool pinned = s.left != proposal.left || s.right != proposal.right;
                const GangPan expected =
                    pinned ? projectOntoGangPan(s.left, s.right) : GangPan{gang, pan};
                ASSERT_EQ(s.gang, expected.gang) << gang << "/" << pan;
                ASSERT_EQ(s.pan, expected.pan) << gang << "/" << pan;
            }
        }
    }
}

}  // namespace
}  // namespace selvar::panel
