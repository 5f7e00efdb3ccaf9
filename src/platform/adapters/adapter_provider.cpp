#include "platform/adapters/adapter_provider.h"

#include "platform/adapters/gpio_port.h"

namespace selvar::platform {

AdapterPortProvider::AdapterPortProvider(std::array<std::optional<AdapterConfig>, 3> adapters,
                                         std::unique_ptr<PortProvider> others,
                                         FtdiTransportFactory ftdi, SystemCalls& sys)
    : adapters_(std::move(adapters)),
      others_(std::move(others)),
      ftdi_(std::move(ftdi)),
      sys_(sys) {}

PortProvider::Opened AdapterPortProvider::open(int lpt, std::uint16_t base) {
    if (lpt < 1 || lpt > static_cast<int>(adapters_.size()) ||
        !adapters_[static_cast<std::size_t>(lpt - 1)]) {
        return others_->open(lpt, base);
    }
    const AdapterConfig& config = *adapters_[static_cast<std::size_t>(lpt - 1)];
    if (config.kind == AdapterConfig::Kind::Gpio) {
        return openGpioPort(lpt, base, config, sys_);
    }
    return openFtdiPort(lpt, base, config, ftdi_);
}

}  // namespace selvar::platform
