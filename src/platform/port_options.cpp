#include "platform/port_options.h"

#include "platform/hardware_ports.h"
#include "platform/sys_calls.h"

namespace selvar::platform {

std::unique_ptr<PortProvider> makePortProvider(const PortOptions& options) {
    switch (options.backend) {
        case PortBackend::Ppdev:
            return std::make_unique<PpdevPortProvider>(options.ppdevDevice, realSystemCalls());
        case PortBackend::Direct:
            return std::make_unique<DirectPortProvider>(options.directBase, realSystemCalls());
        case PortBackend::Sim:
            break;
    }
    return std::make_unique<SimPortProvider>(options.sim);
}

}  // namespace selvar::platform
