// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/port_listing.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace selvar::platform {
namespace {

namespace fs = std::filesystem;

// A file system root of its own, holding the given files, removed at the end.
class FakeRoot {
  public:
    explicit FakeRoot(const std::map<std::string, std::string>& files) {
        std::string made = (fs::temp_directory_path() / "selvar-root-XXXXXX").string();
        if (::mkdtemp(made.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        path_ = made;
        for (const auto& [file, text] : files) {
            fs::create_directories((path_ / file).parent_path());
            std::ofstream(path_ / file) << text;
        }
    }
    ~FakeRoot() { fs::remove_all(path_); }
    std::string path() const { return path_.string(); }

  private:
    fs::path path_;
};

TEST(ParallelPortList, NamesTheDevicesAndTheRangesTheSystemLists) {
    struct Case {
        std::map<std::string, std::string> files;
        std::vector<std::string> lines;
    };
    const std::string pci = "sys/bus/pci/devices/0000:04:00.0/";
    const Case cases[] = {
        {{}, {}},
        // Only parport<number> is a ppdev device; numbers in order, not as text.
        {{{"dev/parport10", ""},
          {"dev/parport2", ""},
          {"dev/parport", ""},
          {"dev/parportx", ""},
          {"dev/lp0", ""}},
         {"/dev/parport2", "/dev/parport10"}},
        // Read without root, /proc/ioports shows zeros: the port is there, its range unknown.
        {{{"dev/parport0", ""},
          {"proc/ioports",
           "0000-0cf7 : PCI Bus 0000:00\n  0378-037a : parport0\n"
           "  0000-0000 : parport1\n  03f8-03ff : serial\n"},
          {pci + "class", "0x070102\n"},
          {pci + "resource", "0x000000000000e000 0x000000000000e007 0x40101\n"}},
         {"/dev/parport0", "0x378-0x37a (parport0)",
          "parport1 (its I/O range is shown to root only)", "0xe000-0xe007 (PCI 0000:04:00.0)"}},
    };
    for (const Case& c : cases) {
        const FakeRoot root(c.files);
        EXPECT_EQ(describeParallelPorts(root.path()), c.lines) << c.files.size() << " files";
    }
}

}  // namespace
}  // namespace selvar::platform
