// SPDX-License-Identifier: GPL-3.0-or-later
#include "ramp/wait_steps.h"

#include <gtest/gtest.h>

#include "gain/checked_int16.h"

namespace selvar::modPubShare {
namespace {

class CountingPort : public platform::PortIo {
  public:
    std::uint8_t read(std::uint16_t address) override {
        ++reads;
        if (address != kBase) {
            ++strayAccesses;
        }
        return 0x5a;
    }
    void write(std::uint16_t, std::uint8_t) override { ++strayAccesses; }

    static constexpr std::uint16_t kBase = 0x278;
    long reads = 0;
    long strayAccesses = 0;
};

TEST(WaitSteps, ReadsTheDataRegisterTwoThousandTimesPerUnitOfDelayTimesStep) {
    struct Case {
        int delay, step;
        long reads;
    };
    const Case cases[] = {{5, 1, 10'000}, {5, 5, 50'000}, {0, 6, 0},  {50, 6, 600'000},
                          {1, 1, 2'000},  {-1, 3, 0},     {2, -3, 0}, {20, 0, 0}};
    for (const auto& c : cases) {
        CountingPort port;
        waitSteps(port, CountingPort::kBase, c.delay, c.step);
        EXPECT_EQ(port.reads, c.reads) << c.delay << " x " << c.step;
        EXPECT_EQ(port.strayAccesses, 0);
    }
}

TEST(WaitSteps, RefusesADelayTimesStepBeyondSixteenBitsBeforeReading) {
    CountingPort port;
    EXPECT_THROW(waitSteps(port, CountingPort::kBase, 200, 200), gain::Int16Overflow);
    EXPECT_EQ(port.reads, 0);
}

}  // namespace
}  // namespace selvar::modPubShare
