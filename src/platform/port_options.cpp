// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/port_options.h"

#include "platform/adapters/adapter_provider.h"
#include "platform/hardware_ports.h"
#include "platform/sys_calls.h"

namespace selvar::platform {

namespace {

std::unique_ptr<PortProvider> makeParallelPortProvider(const PortOptions& options) {
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

}  // namespace

std::unique_ptr<PortProvider> makePortProvider(const PortOptions& options) {
    auto parallel = makeParallelPortProvider(options);
    for (const auto& adapter : options.adapter) {
        if (adapter) {
            return std::make_unique<AdapterPortProvider>(options.adapter, std::move(parallel),
                                                         makeLibftdiTransport, realSystemCalls());
        }
    }
    return parallel;
}

}  // namespace selvar::platform
