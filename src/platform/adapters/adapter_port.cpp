// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/adapters/adapter_port.h"

#include <algorithm>

#include "platform/port_register.h"
#include "platform/wiring.h"

namespace selvar::platform {

std::uint8_t AdapterPort::read(std::uint16_t address) {
    switch (registerOffset(base_, address)) {
        case 0:
            return latch_;
        case 1:
            return kParallelWiring.statusFor(sampleReadBack());
        default:
            return control_;
    }
}

void AdapterPort::write(std::uint16_t address, std::uint8_t value) {
    switch (registerOffset(base_, address)) {
        case 0:
            latch_ = value;
            drive(value);
            break;
        case 1:
            break;  // the status register is inputs only
        default:
            control_ = value;
            break;
    }
}

// The lines keep their levels meanwhile; only the time matters. A sleep, not a busy wait: a
// ramp's waits are milliseconds long and a sleep's overshoot is tens of microseconds.
// Slept in slices, so that a stop request is seen within one of them.
void AdapterPort::wait(std::uint16_t address, long reads, const std::atomic<bool>* stop) {
    registerOffset(base_, address);
    constexpr std::int64_t kSliceNs = 10'000'000;
    const std::int64_t end = clock_.nowNs() + std::int64_t{reads} * kAccessNs;
    for (std::int64_t now = clock_.nowNs(); now < end; now = clock_.nowNs()) {
        if (stop && stop->load(std::memory_order_relaxed)) {
            return;
        }
        clock_.sleepNs(std::min(end - now, kSliceNs));
    }
}

std::string adapterFailure(int lpt, const std::string& what, const std::string& why,
                           const std::string& fix) {
    std::string text = "LPT" + std::to_string(lpt) + ": " + what;
    if (!why.empty()) {
        text += ": " + why;
    }
    text += ".";
    if (!fix.empty()) {
        text += " " + fix;
    }
    return text;
}

}  // namespace selvar::platform
