#include "ramp/wait_steps.h"

#include "gain/checked_int16.h"

namespace selvar::modPubShare {

namespace {
// At the slowest pacing (1 ms per access) a stop is seen within 16 ms.
constexpr long kReadsPerStopCheck = 16;
}  // namespace

void waitSteps(platform::PortIo& io, std::uint16_t portBase, int delay, int step,
               const std::atomic<bool>* stop) {
    const int units = gain::mul16(delay, step);
    if (units < 1) {
        return;
    }
    // The reads are the ramp's only clock: each value goes to a volatile sink so that no
    // optimiser, even one that sees through the backend, can drop a read.
    [[maybe_unused]] volatile std::uint8_t sink = 0;
    const long reads = static_cast<long>(units) * kReadsPerWaitUnit;
    for (long i = 0; i < reads; ++i) {
        if (stop && i % kReadsPerStopCheck == 0 && stop->load(std::memory_order_relaxed)) {
            return;
        }
        sink = io.read(portBase);
    }
}

}  // namespace selvar::modPubShare
