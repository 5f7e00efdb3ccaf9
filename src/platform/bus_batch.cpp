#include "platform/bus_batch.h"

#include "platform/port_io.h"
#include "platform/wiring.h"

namespace selvar::platform {

void runStepwise(PortIo& port, std::uint16_t base, BusBatch& batch) {
    constexpr ParallelWiring w = kParallelWiring;
    const auto status = static_cast<std::uint16_t>(base + 1);
    std::size_t sample = 0;
    for (const BusBatch::Step& step : batch) {
        switch (step.op) {
            case BusBatch::Op::WriteData:
                port.write(base, step.value);
                break;
            case BusBatch::Op::ReadData:
                port.read(base);
                break;
            case BusBatch::Op::Sample:
                batch.setSampled(sample++, w.readBackLevel(port.read(status)));
                break;
            case BusBatch::Op::Probe: {
                const auto high = static_cast<std::uint8_t>(step.value | w.mask(Signal::Clock));
                int n = 1;
                for (; n <= step.limit; ++n) {
                    if (w.readBackLevel(port.read(status))) {
                        break;
                    }
                    port.write(base, high);
                    port.write(base, step.value);
                }
                batch.setProbeCount(n);
                break;
            }
        }
    }
}

}  // namespace selvar::platform
