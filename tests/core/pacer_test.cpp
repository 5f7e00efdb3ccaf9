// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pacer.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace selvar::platform {
namespace {

// A clock that moves on by a fixed step each time it is read (the cost of reading it), and by
// whatever the test says the caller spent between accesses.
class FakeClock : public Clock {
  public:
    explicit FakeClock(std::int64_t step) : step_(step) {}
    std::int64_t nowNs() override {
        ++reads;
        now += step_;
        return now;
    }
    std::int64_t now = 1'000'000;
    int reads = 0;

  private:
    std::int64_t step_;
};

TEST(Pacer, ZeroPeriodNeverReadsTheClock) {
    FakeClock clock(10);
    Pacer pacer(0, clock);
    for (int i = 0; i < 1000; ++i) {
        pacer.pace();
    }
    EXPECT_EQ(clock.reads, 0);
}

TEST(Pacer, AccessesTakeOnePeriodEachWhateverTheCallerSpendsBetweenThem) {
    struct Case {
        std::int64_t clockStep;   // cost of one clock read
        std::int64_t callerCost;  // caller's own time between accesses, below one period
    };
    for (const Case c : {Case{1, 0}, Case{7, 0}, Case{25, 300}, Case{3, 990}}) {
        FakeClock clock(c.clockStep);
        Pacer pacer(1000, clock);
        const std::int64_t start = clock.now;
        constexpr int kAccesses = 10'000;
        for (int i = 0; i < kAccesses; ++i) {
            clock.now += c.callerCost;
            pacer.pace();
        }
        const std::int64_t elapsed = clock.now - start;
        // The first access anchors after the caller's first stint; every one ends at its
        // deadline, give or take one clock read.
        EXPECT_GE(elapsed, kAccesses * 1000 + c.callerCost);
        EXPECT_LE(elapsed, kAccesses * 1000 + c.callerCost + 2 * c.clockStep)
            << "step " << c.clockStep << " caller " << c.callerCost;
    }
}

TEST(Pacer, AShortStallIsCaughtUpByTheFollowingAccesses) {
    FakeClock clock(1);
    Pacer pacer(1000, clock);
    const std::int64_t start = clock.now;
    for (int i = 0; i < 100; ++i) {
        pacer.pace();
    }
    clock.now += 5'000;  // preempted for five periods, well below the idle limit
    for (int i = 0; i < 100; ++i) {
        pacer.pace();
    }
    EXPECT_LE(clock.now - start, 200 * 1000 + 2);
}

TEST(Pacer, AfterAnIdleGapTheNextAccessStillTakesAFullPeriod) {
    FakeClock clock(1);
    Pacer pacer(1000, clock);
    for (int i = 0; i < 10; ++i) {
        pacer.pace();
    }
    clock.now += Pacer::kIdleNs + 1'000'000;  // the operator did nothing for a millisecond
    for (int i = 0; i < 5; ++i) {
        const std::int64_t before = clock.now;
        pacer.pace();
        EXPECT_GE(clock.now - before, 1000) << "access " << i << " after the gap";
    }
}

}  // namespace
}  // namespace selvar::platform
