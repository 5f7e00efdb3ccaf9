// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace selvar::platform {

// A monotonic time source in nanoseconds; tests drive the pacer and the adapters' waits with
// their own.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual std::int64_t nowNs() = 0;
    // Gives up the processor for about ns (the thread's own sleep unless a test says otherwise).
    virtual void sleepNs(std::int64_t ns);
};

// The process's steady clock (stateless, shared).
Clock& steadyClock();

// Makes every port access last a given time, as a real parallel-port access does (about a
// microsecond), so that whatever counts accesses as time - the chips' serial timing, the
// ramp's wait - runs as long on the simulated board as on hardware.
//
// A sleep per access would be far too coarse; instead pace() busy-waits on the clock up to a
// deadline that advances by one period per access. Time the caller spends between accesses
// is absorbed into the period, and a short stall is caught up by the next accesses, so the
// average over a long run is exact. After a longer pause (the caller was idle, not slow) the
// deadline restarts from now rather than letting a burst of unpaced accesses catch up.
class Pacer {
  public:
    // A caller away longer than this was idle; the deadline restarts from now.
    static constexpr std::int64_t kIdleNs = 50'000;

    // periodNs 0 (or less) turns pacing off; the clock is then never read.
    explicit Pacer(std::int64_t periodNs, Clock& clock = steadyClock());

    void pace() {
        if (periodNs_ > 0) {
            waitForNextDeadline();
        }
    }
    std::int64_t periodNs() const { return periodNs_; }

  private:
    void waitForNextDeadline();

    std::int64_t periodNs_;
    Clock& clock_;
    std::int64_t deadline_ = 0;
    bool anchored_ = false;
};

}  // namespace selvar::platform
