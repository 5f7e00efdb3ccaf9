// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/adapters/adapter_config.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <vector>

namespace selvar::platform {

namespace {

constexpr std::string_view kPinsKey = ",pins=";
constexpr const char* kDeviceForms =
    "ftdi: DEVICE is d:BUS/ADDR, i:VID:PID[:INDEX] or s:VID:PID:SERIAL";

// 'what' and then rest, built by appending: GCC 12 at -O3 sees an overlapping copy (a false
// -Wrestrict) when a one-character literal is put in front of a string.
std::string quoted(std::string_view what, std::string_view rest) {
    std::string text = "'";
    text.append(what).append("'").append(rest);
    return text;
}

std::optional<int> parsePin(std::string_view text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || text.size() > 5 || ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    return value;
}

// A number as libftdi reads a device field: decimal, hex after 0x, octal after a leading 0 (BUS
// and ADDR decimal only); no sign or blanks. Beyond `max` it would wrap into another number.
bool isDeviceNumber(std::string_view text, unsigned long long max, bool decimalOnly) {
    int base = 10;
    if (!decimalOnly && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    } else if (!decimalOnly && text.size() > 1 && text[0] == '0') {
        base = 8;
    }
    unsigned long long value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
    return !text.empty() && text.front() != '-' && ec == std::errc() && ptr == end && value <= max;
}

// TEXT cut at each separator into at most n fields, the last taking the rest.
std::vector<std::string_view> splitFields(std::string_view text, char separator, std::size_t n) {
    std::vector<std::string_view> fields;
    while (fields.size() + 1 < n && text.find(separator) != std::string_view::npos) {
        fields.push_back(text.substr(0, text.find(separator)));
        text.remove_prefix(fields.back().size() + 1);
    }
    fields.push_back(text);
    return fields;
}

// The fields of d:BUS/ADDR, i:VID:PID[:INDEX] and s:VID:PID:SERIAL: a wrong number is a usage
// error now rather than a device not found (or another one) once the port is selected.
bool checkFtdiDevice(std::string_view device, std::string& error) {
    struct Field {
        const char* name;
        unsigned long long max;
    };
    const bool bus = device.starts_with("d:");
    const bool serial = device.starts_with("s:");
    const auto parts = splitFields(device.substr(2), bus ? '/' : ':', bus ? 2 : 3);
    const bool shaped = bus      ? parts.size() == 2
                        : serial ? parts.size() == 3 && !parts[2].empty()
                                 : parts.size() >= 2;
    if (!shaped) {
        error = kDeviceForms;
        return false;
    }
    const std::array<Field, 3> fields =
        bus ? std::array<Field, 3>{Field{"BUS", UINT_MAX}, Field{"ADDR", UINT_MAX}, Field{}}
            : std::array<Field, 3>{Field{"VID", 0xFFFF}, Field{"PID", 0xFFFF},
                                   Field{"INDEX", INT_MAX}};
    for (std::size_t i = 0; i < (serial ? 2 : parts.size()); ++i) {
        if (!isDeviceNumber(parts[i], fields[i].max, bus)) {
            error = "ftdi: " + std::string(fields[i].name) + " '" + echoed(parts[i]) +
                    "' is not a number from 0 to " + std::to_string(fields[i].max);
            return false;
        }
    }
    return true;
}

std::optional<Signal> signalNamed(std::string_view name) {
    for (const SignalName& n : kSignalNames) {
        if (name == n.name) {
            return n.signal;
        }
    }
    return std::nullopt;
}

// Applies "cs:3,clk:0,..." over the defaults; every signal at most once, every pin on the device.
bool applyPins(std::string_view list, int pinCount, AdapterPins& pins, std::string& error) {
    std::array<bool, kSignalCount> given{};
    while (true) {
        const std::size_t comma = list.find(',');
        const std::string_view item = list.substr(0, comma);
        const std::size_t colon = item.find(':');
        const auto signal = signalNamed(item.substr(0, colon));
        if (colon == std::string_view::npos || !signal) {
            error = "pins: '" + echoed(item) +
                    "' is not SIGNAL:PIN with SIGNAL cs, clk, data, miso, mute or zcd";
            return false;
        }
        const auto pin = parsePin(item.substr(colon + 1));
        if (!pin || *pin < 0 || *pin >= pinCount) {
            error = "pins: " + echoed(item) + ": the device has pins 0 to " +
                    std::to_string(pinCount - 1);
            return false;
        }
        auto& seen = given[static_cast<std::size_t>(*signal)];
        if (seen) {
            error = "pins: " + std::string(signalName(*signal)) + " given more than once";
            return false;
        }
        seen = true;
        pins[*signal] = *pin;
        if (comma == std::string_view::npos) {
            return true;
        }
        list.remove_prefix(comma + 1);
    }
}

// After the overrides, two signals on one pin would short an output against another line.
bool checkDistinct(const AdapterPins& pins, std::string& error) {
    for (std::size_t i = 0; i < kSignalNames.size(); ++i) {
        for (std::size_t j = i + 1; j < kSignalNames.size(); ++j) {
            const SignalName a = kSignalNames[i], b = kSignalNames[j];
            if (pins[a.signal] == pins[b.signal]) {
                error = "pins: pin " + std::to_string(pins[a.signal]) + " used by both " + a.name +
                        " and " + b.name;
                return false;
            }
        }
    }
    return true;
}

}  // namespace

bool namesAdapter(std::string_view where) {
    return where == "ftdi" || where.starts_with("ftdi:") || where.starts_with("ftdi,") ||
           where.starts_with("gpio:");
}

std::optional<AdapterConfig> parseAdapterConfig(std::string_view where, std::string& error) {
    const std::size_t pinsAt = where.find(kPinsKey);
    std::string_view head = where.substr(0, pinsAt);
    AdapterConfig config;
    int pinCount = kFtdiPinCount;
    if (head.starts_with("gpio:")) {
        config.kind = AdapterConfig::Kind::Gpio;
        config.pins = kGpioDefaultPins;
        pinCount = kGpioPinLimit;
        head.remove_prefix(5);
        if (head.empty()) {
            error = "gpio: name the chip (gpio:gpiochip0 or gpio:/dev/gpiochip0)";
            return std::nullopt;
        }
    } else if (head == "ftdi" || head.starts_with("ftdi:")) {
        head.remove_prefix(head.size() > 4 ? 5 : 4);
        // libftdi's own forms; anything else it would only refuse once the port is selected.
        const bool named =
            head.starts_with("d:") || head.starts_with("i:") || head.starts_with("s:");
        if (where.starts_with("ftdi:") && (head.size() < 3 || !named)) {
            error = kDeviceForms;
            return std::nullopt;
        }
    } else {
        error = quoted(echoed(where), " is not ftdi[:DEVICE][,pins=...] or gpio:CHIP[,pins=...]");
        return std::nullopt;
    }
    // The name goes to libftdi or the kernel as it stands: plain printable ASCII only, so that
    // what is opened is what was typed and what the usage and the traces show.
    if (!std::all_of(head.begin(), head.end(), [](char c) { return c > ' ' && c < 0x7F; })) {
        error = quoted(echoed(where.substr(0, pinsAt)),
                       ": the device or chip name may hold only printable ASCII characters");
        return std::nullopt;
    }
    if (config.kind == AdapterConfig::Kind::Ftdi && !head.empty() &&
        !checkFtdiDevice(head, error)) {
        return std::nullopt;
    }
    config.device = std::string(head);
    if (pinsAt != std::string_view::npos &&
        !applyPins(where.substr(pinsAt + kPinsKey.size()), pinCount, config.pins, error)) {
        return std::nullopt;
    }
    if (!checkDistinct(config.pins, error)) {
        return std::nullopt;
    }
    return config;
}

std::string echoed(std::string_view value) {
    constexpr std::size_t kMaxEcho = 200;
    if (value.size() <= kMaxEcho) {
        return std::string(value);
    }
    // Not inside a UTF-8 sequence: back up over its continuation bytes.
    std::size_t cut = kMaxEcho;
    while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    return std::string(value.substr(0, cut)) + "...";
}

std::string formatAdapterConfig(const AdapterConfig& config) {
    std::string text = config.kind == AdapterConfig::Kind::Gpio ? "gpio:" + config.device
                       : config.device.empty()                  ? std::string("ftdi")
                                                                : "ftdi:" + config.device;
    std::string_view separator = kPinsKey;
    for (const SignalName& n : kSignalNames) {
        text += std::string(separator) + n.name + ":" + std::to_string(config.pins[n.signal]);
        separator = ",";
    }
    return text;
}

}  // namespace selvar::platform
