// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pacer.h"

#include <chrono>
#include <thread>

namespace selvar::platform {

namespace {

class SteadyClock final : public Clock {
  public:
    std::int64_t nowNs() override {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};

}  // namespace

void Clock::sleepNs(std::int64_t ns) {
    std::this_thread::sleep_for(std::chrono::nanoseconds(ns));
}

Clock& steadyClock() {
    static SteadyClock clock;
    return clock;
}

Pacer::Pacer(std::int64_t periodNs, Clock& clock) : periodNs_(periodNs), clock_(clock) {}

void Pacer::waitForNextDeadline() {
    std::int64_t now = clock_.nowNs();
    if (!anchored_ || now - deadline_ > kIdleNs) {
        deadline_ = now;
        anchored_ = true;
    }
    deadline_ += periodNs_;
    while (now < deadline_) {
        now = clock_.nowNs();
    }
}

}  // namespace selvar::platform
