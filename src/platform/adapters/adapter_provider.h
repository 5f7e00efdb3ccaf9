#pragma once

#include <array>
#include <memory>
#include <optional>

#include "platform/adapters/adapter_config.h"
#include "platform/adapters/ftdi_port.h"
#include "platform/selected_port.h"
#include "platform/sys_calls.h"

namespace selvar::platform {

// LPT1..3 where the command line mapped some of them onto adapters: those open their adapter,
// the others whatever the port backend gives.
class AdapterPortProvider : public PortProvider {
  public:
    AdapterPortProvider(std::array<std::optional<AdapterConfig>, 3> adapters,
                        std::unique_ptr<PortProvider> others, FtdiTransportFactory ftdi,
                        SystemCalls& sys);
    Opened open(int lpt, std::uint16_t base) override;

  private:
    std::array<std::optional<AdapterConfig>, 3> adapters_;
    std::unique_ptr<PortProvider> others_;
    FtdiTransportFactory ftdi_;
    SystemCalls& sys_;
};

}  // namespace selvar::platform
