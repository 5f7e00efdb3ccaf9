// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>

#include "platform/adapters/adapter_config.h"
#include "platform/adapters/ftdi_transport.h"
#include "platform/selected_port.h"

namespace selvar::platform {

using FtdiTransportFactory = std::function<std::unique_ptr<FtdiTransport>()>;

// MPSSE encoding: every line level is held by repeating its SET_BITS_LOW command, so that the
// chips see each level for at least a parallel-port access (about 1 us). The command processor
// takes at least 50 ns per 3-byte command at its 60 MHz clock, so 20 copies last at least 1 us.
// (Its clock-for-n-cycles commands would pulse ADBUS0, which is the chips' clock line.)
inline constexpr int kMpsseHoldCommands = 20;
// Synchronous bit-bang (devices without an MPSSE): one byte per line update at this rate or
// slower, and at most this many bytes out before their answers are read back, so that the
// device's 256-byte receive buffer never overflows.
inline constexpr int kBitbangBytesPerSecond = 31'250;
inline constexpr std::size_t kBitbangChunk = 128;

// Opens the FTDI adapter config names as LPTn: the device, its mode (MPSSE, else synchronous
// bit-bang), with only the wiring's five output pins driven and every output low. On failure
// the port is absent and the message says why and what to do.
PortProvider::Opened openFtdiPort(int lpt, std::uint16_t base, const AdapterConfig& config,
                                  const FtdiTransportFactory& makeTransport);

}  // namespace selvar::platform
