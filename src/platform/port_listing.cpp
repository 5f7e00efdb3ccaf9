// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/port_listing.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace selvar::platform {

namespace {

constexpr unsigned long long kIoResourceFlag = 0x100;  // IORESOURCE_IO in a sysfs resource line
constexpr unsigned kParallelClass = 0x0701;            // base class 07, subclass 01

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string_view trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return s.substr(first, s.find_last_not_of(" \t\n") - first + 1);
}

bool readHex(std::string_view s, unsigned long long& value) {
    if (s.starts_with("0x")) {
        s.remove_prefix(2);
    }
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value, 16);
    return error == std::errc{} && end == s.data() + s.size() && !s.empty();
}

// The I/O ranges of a PCI parallel controller: "start end flags" per resource line.
void addPciDevice(const std::filesystem::path& device, std::vector<ListedPort>& listed) {
    unsigned long long deviceClass = 0;
    if (!readHex(trim(slurp(device / "class")), deviceClass) ||
        (deviceClass >> 8) != kParallelClass) {
        return;
    }
    std::istringstream resources(slurp(device / "resource"));
    std::string start, end, flags;
    while (resources >> start >> end >> flags) {
        unsigned long long first = 0, last = 0, bits = 0;
        if (readHex(start, first) && readHex(end, last) && readHex(flags, bits) &&
            (bits & kIoResourceFlag) != 0 && first != 0 && last >= first && last <= 0xFFFF) {
            listed.push_back({static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(last),
                              "PCI " + device.filename().string()});
        }
    }
}

// Every parport* entry of a /proc/ioports text, those shown as zeros (read without root) too.
std::vector<ListedPort> ioportsEntries(std::string_view text) {
    std::vector<ListedPort> listed;
    while (!text.empty()) {
        const auto newline = text.find('\n');
        const std::string_view line = text.substr(0, newline);
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
        const auto colon = line.find(" : ");
        const auto dash = line.find('-');
        if (colon == std::string_view::npos || dash == std::string_view::npos || dash > colon) {
            continue;
        }
        const std::string_view name = trim(line.substr(colon + 3));
        unsigned long long first = 0, last = 0;
        if (name.starts_with("parport") && readHex(trim(line.substr(0, dash)), first) &&
            readHex(trim(line.substr(dash + 1, colon - dash - 1)), last) && last >= first &&
            last <= 0xFFFF) {
            listed.push_back({static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(last),
                              std::string(name)});
        }
    }
    return listed;
}

// The PCI parallel controllers' I/O ranges, in the order of their bus addresses.
void addPciPorts(const std::filesystem::path& root, std::vector<ListedPort>& listed) {
    std::vector<std::filesystem::path> devices;
    std::error_code error;
    for (const auto& entry :
         std::filesystem::directory_iterator(root / "sys/bus/pci/devices", error)) {
        devices.push_back(entry.path());
    }
    std::sort(devices.begin(), devices.end());
    for (const auto& device : devices) {
        addPciDevice(device, listed);
    }
}

// The ppdev devices under root/dev, parport2 before parport10.
std::vector<std::string> ppdevDevices(const std::filesystem::path& root) {
    std::vector<std::pair<unsigned long, std::string>> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(root / "dev", error)) {
        const std::string name = entry.path().filename().string();
        const std::string_view digits =
            std::string_view(name).substr(std::min(name.size(), std::size_t{7}));
        unsigned long number = 0;
        const auto [end, ec] =
            std::from_chars(digits.data(), digits.data() + digits.size(), number);
        if (name.starts_with("parport") && !digits.empty() && ec == std::errc{} &&
            end == digits.data() + digits.size()) {
            found.emplace_back(number, "/dev/" + name);
        }
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> names;
    for (auto& [number, name] : found) {
        names.push_back(std::move(name));
    }
    return names;
}

// "0x378-0x37a (parport0)".
std::string describeListedPort(const ListedPort& port) {
    char range[32];
    std::snprintf(range, sizeof range, "0x%x-0x%x", port.first, port.last);
    return range + (" (" + port.source + ")");
}

}  // namespace

std::vector<ListedPort> parseIoports(std::string_view text) {
    std::vector<ListedPort> listed = ioportsEntries(text);
    std::erase_if(listed, [](const ListedPort& port) { return port.last == 0; });
    return listed;
}

std::vector<ListedPort> listParallelPorts(const std::string& root) {
    const std::filesystem::path base(root);
    std::vector<ListedPort> listed = parseIoports(slurp(base / "proc/ioports"));
    addPciPorts(base, listed);
    return listed;
}

std::vector<std::string> describeParallelPorts(const std::string& root) {
    const std::filesystem::path base(root);
    std::vector<std::string> lines = ppdevDevices(base);
    std::vector<ListedPort> listed = ioportsEntries(slurp(base / "proc/ioports"));
    addPciPorts(base, listed);
    for (const ListedPort& port : listed) {
        lines.push_back(port.last == 0 ? port.source + " (its I/O range is shown to root only)"
                                       : describeListedPort(port));
    }
    return lines;
}

bool listsPortAt(const std::vector<ListedPort>& listed, std::uint16_t base) {
    for (const ListedPort& port : listed) {
        if (base >= port.first && base + 2u <= port.last) {
            return true;
        }
    }
    return false;
}

std::string describeListedPorts(const std::vector<ListedPort>& listed) {
    if (listed.empty()) {
        return "none";
    }
    std::string text;
    for (const ListedPort& port : listed) {
        text += (text.empty() ? "" : ", ") + describeListedPort(port);
    }
    return text;
}

}  // namespace selvar::platform
