#include "platform/port_listing.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace selvar::platform {
namespace {

const char kIoports[] =
    "0000-0cf7 : PCI Bus 0000:00\n"
    "  0070-0077 : rtc0\n"
    "  0378-037a : parport0\n"
    "  03c0-03df : vga+\n"
    "  0000-0000 : parport1\n"  // read without root: says nothing
    "d000-dfff : PCI Bus 0000:03\n"
    "  d010-d017 : parport2\n";

void writeFile(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

TEST(PortListing, TakesParportEntriesAndPciParallelControllersOnly) {
    const std::filesystem::path root = ::testing::TempDir() + "port_listing_root";
    std::filesystem::remove_all(root);
    writeFile(root / "proc/ioports", kIoports);
    const auto devices = root / "sys/bus/pci/devices";
    // A parallel controller with an I/O BAR and a memory BAR; a serial controller's I/O BAR.
    writeFile(devices / "0000:04:00.0/class", "0x070102\n");
    writeFile(devices / "0000:04:00.0/resource",
              "0x000000000000e000 0x000000000000e007 0x0000000000040101\n"
              "0x00000000fe000000 0x00000000fe000fff 0x0000000000040200\n"
              "0x0000000000000000 0x0000000000000000 0x0000000000000000\n");
    writeFile(devices / "0000:05:00.0/class", "0x070002\n");
    writeFile(devices / "0000:05:00.0/resource",
              "0x000000000000c000 0x000000000000c007 0x0000000000040101\n");

    const std::vector<ListedPort> listed = listParallelPorts(root.string());
    EXPECT_EQ(describeListedPorts(listed),
              "0x378-0x37a (parport0), 0xd010-0xd017 (parport2), 0xe000-0xe007 (PCI 0000:04:00.0)");
    const std::pair<std::uint16_t, bool> bases[] = {
        {0x378, true},   {0x379, false}, {0x377, false},  {0xd010, true}, {0xd015, true},
        {0xd016, false}, {0xe000, true}, {0xc000, false}, {0x3f8, false}, {0x70, false}};
    for (const auto& [base, expected] : bases) {
        EXPECT_EQ(listsPortAt(listed, base), expected) << std::hex << base;
    }
    EXPECT_EQ(describeListedPorts(listParallelPorts((root / "nothing").string())), "none");
}

}  // namespace
}  // namespace selvar::platform
