// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/adapters/adapter_pins.h"

namespace selvar::platform {

// A USB or GPIO adapter standing in for a parallel port, as --parport LPTn=WHERE names it:
//   ftdi[:DEVICE][,pins=SIGNAL:PIN,...]   DEVICE in libftdi's string form (d:BUS/ADDR,
//                                         i:VID:PID[:INDEX], s:VID:PID:SERIAL); none: the first
//                                         FTDI device with an MPSSE
//   gpio:CHIP[,pins=SIGNAL:PIN,...]       CHIP a /dev/gpiochipN path, a chip name or label
// SIGNAL is cs, clk, data, miso, mute or zcd; pins= overrides any of the default pins.
struct AdapterConfig {
    enum class Kind { Ftdi, Gpio };
    Kind kind = Kind::Ftdi;
    std::string device;  // empty for the first FTDI device
    AdapterPins pins = kFtdiDefaultPins;
};

// Whether WHERE names an adapter rather than a ppdev device or an I/O address.
bool namesAdapter(std::string_view where);

// The adapter WHERE names, or nothing with the reason in error (naming the offending part: an
// unknown signal, a pin used twice, a pin the device lacks).
std::optional<AdapterConfig> parseAdapterConfig(std::string_view where, std::string& error);

// A value as a message says it back: its first 200 bytes, then "..." when there were more
// (an argument can be as long as the system allows; a message must stay readable).
std::string echoed(std::string_view value);

// The adapter as --parport takes it, every pin written out: parses back to the same adapter.
std::string formatAdapterConfig(const AdapterConfig& config);

}  // namespace selvar::platform
