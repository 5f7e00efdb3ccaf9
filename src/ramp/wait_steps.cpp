#include "ramp/wait_steps.h"

#include "gain/checked_int16.h"

namespace selvar::modPubShare {

void waitSteps(platform::PortIo& io, std::uint16_t portBase, int delay, int step,
               const std::atomic<bool>* stop) {
    const int units = gain::mul16(delay, step);
    if (units < 1) {
        return;
    }
    // The reads are the ramp's only clock; the port makes them, or waits as long by the clock
    // when it is an adapter whose reads would each be a USB round trip. A stop request cuts the
    // wait short.
    io.wait(portBase, static_cast<long>(units) * kReadsPerWaitUnit, stop);
}

}  // namespace selvar::modPubShare
