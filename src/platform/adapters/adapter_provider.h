// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>

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

// Why a GPIO adapter's pins= names a line its chip lacks ("--parport LPT1=...: zcd:28: ..."),
// or empty: a usage error, caught before any window opens, since the command line itself cannot
// know the chip's size.
std::string adapterPinsMissing(const std::array<std::optional<AdapterConfig>, 3>& adapters,
                               SystemCalls& sys);

// For --list-adapters: the parallel ports, FTDI devices and GPIO chips there are, one per line
// under each kind's heading ("none" under an empty one), each as --parport would name it.
std::string describeAdapters();

}  // namespace selvar::platform
