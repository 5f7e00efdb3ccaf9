// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace selvar::platform {

// An I/O range the system says is a parallel port, and who says so.
struct ListedPort {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    std::string source;  // "parport0" or "PCI 0000:03:00.0"
};

// Direct I/O reaches any port in the machine, the disk or interrupt controllers included, so a
// base address is used only where the system itself lists a parallel port: /proc/ioports
// entries named parport*, and the I/O ranges of PCI devices of class 0x0701xx (parallel
// controllers). root is the file system root the listings are read under ("/" but in tests).
std::vector<ListedPort> listParallelPorts(const std::string& root = "/");

// The parport* entries of a /proc/ioports text. Ranges shown as zeros (read without root)
// say nothing and are left out.
std::vector<ListedPort> parseIoports(std::string_view text);

// Whether base, base + 1 and base + 2 all lie in one listed range.
bool listsPortAt(const std::vector<ListedPort>& listed, std::uint16_t base);

// "0x378-0x37a (parport0), 0xd010-0xd017 (PCI 0000:03:00.0)", or "none".
std::string describeListedPorts(const std::vector<ListedPort>& listed);

// For --list-adapters: the parallel ports there are, one per line. The ppdev devices
// (/dev/parport*), then the ports /proc/ioports names parport* and the PCI parallel
// controllers, as their I/O ranges. Read without root, /proc/ioports shows a port but not its
// range, and the line says so rather than leave the port out.
std::vector<std::string> describeParallelPorts(const std::string& root = "/");

}  // namespace selvar::platform
