// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/bus_batch.h"

#include "platform/port_io.h"

namespace selvar::platform {

void runStepwise(PortIo& port, std::uint16_t base, BusBatch& batch) {
    runSteps(port, base, batch);
}

}  // namespace selvar::platform
