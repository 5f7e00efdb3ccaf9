// SPDX-License-Identifier: GPL-3.0-or-later
// The adapter half of --parport LPTn=WHERE. Every parse either refuses with a reason or gives an
// adapter whose six pins are distinct and on the device, so no wrong pin is ever driven; it is
// deterministic, and an accepted adapter written out with every pin explicit reads back the same.

#include <cstdint>
#include <set>
#include <string>

#include "fuzz_checks.h"
#include "platform/adapters/adapter_config.h"

namespace {

using selvar::fuzz::require;
using namespace selvar::platform;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = selvar::fuzz::textOf(data, size);
    std::string error;
    const auto config = parseAdapterConfig(input, error);
    std::string again;
    const auto second = parseAdapterConfig(input, again);
    require(config.has_value() == second.has_value() && error == again, "deterministic", input);
    if (!config) {
        require(!error.empty(), "a refusal says why", input);
        return 0;
    }
    require(namesAdapter(input), "an accepted adapter is recognised as one", input);
    const int limit = config->kind == AdapterConfig::Kind::Gpio ? kGpioPinLimit : kFtdiPinCount;
    std::set<int> pins;
    for (const int pin : config->pins.pin) {
        require(pin >= 0 && pin < limit, "every pin is on the device", input);
        pins.insert(pin);
    }
    require(pins.size() == config->pins.pin.size(), "no pin is used twice", input);
    const auto reread = parseAdapterConfig(formatAdapterConfig(*config), error);
    require(reread && reread->kind == config->kind && reread->device == config->device &&
                reread->pins.pin == config->pins.pin,
            "the canonical form reads back the same", input);
    return 0;
}
