#include "ramp/wait_steps.h"

#include "gain/checked_int16.h"

namespace selvar::modPubShare {

void waitSteps(platform::PortIo& io, std::uint16_t portBase, int delay, int step) {
    const int units = gain::mul16(delay, step);
    if (units < 1) {
        return;
    }
    // The reads are the ramp's only clock: each value goes to a volatile sink so that no
    // optimiser, even one that sees through the backend, can drop a read.
    [[maybe_unused]] volatile std::uint8_t sink = 0;
    const long reads = static_cast<long>(units) * kReadsPerWaitUnit;
    for (long i = 0; i < reads; ++i) {
        sink = io.read(portBase);
    }
}

}  // namespace selvar::modPubShare
