// SPDX-License-Identifier: GPL-3.0-or-later
#include <fcntl.h>
#include <linux/ioctl.h>
#include <linux/ppdev.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/hardware_ports.h"
#include "platform/port_options.h"
#include "platform/sys_calls.h"

namespace selvar::platform {
namespace {

// Plays the system: records each call as text and fails the calls a test asks it to.
class FakeSystemCalls : public SystemCalls {
  public:
    int open(const char* path, int flags) override {
        calls.push_back(std::string("open ") + path + ((flags & O_ACCMODE) == O_RDWR ? " rw" : ""));
        return fail(openErrno, 7);
    }
    int close(int fd) override {
        calls.push_back("close " + std::to_string(fd));
        return 0;
    }
    int ioctl(int fd, unsigned long request, void* arg) override {
        const auto byte = static_cast<unsigned char*>(arg);
        const std::string name = kNames.count(request) ? kNames.at(request) : "unknown";
        std::string call = "ioctl " + std::to_string(fd) + " " + name;
        if (request == PPWDATA || request == PPWCONTROL) {
            call += " " + std::to_string(*byte);
        }
        if (request == PPRDATA || request == PPRSTATUS || request == PPRCONTROL) {
            *byte = readValue;
        }
        calls.push_back(call);
        return request == PPCLAIM ? fail(claimErrno, 0) : 0;
    }
    bool hasPortIo() const override { return portIo; }
    int ioperm(unsigned long from, unsigned long count, int turnOn) override {
        calls.push_back("ioperm " + hex(from) + " " + std::to_string(count) + " " +
                        std::to_string(turnOn));
        return fail(iopermErrno, 0);
    }
    std::uint8_t inb(std::uint16_t port) override {
        calls.push_back("inb " + hex(port));
        return readValue;
    }
    void outb(std::uint8_t value, std::uint16_t port) override {
        calls.push_back("outb " + std::to_string(value) + " " + hex(port));
    }

    std::vector<std::string> calls;
    int openErrno = 0, claimErrno = 0, iopermErrno = 0;
    bool portIo = true;
    unsigned char readValue = 0x7F;

  private:
    static int fail(int err, int success) {
        if (err != 0) {
            errno = err;
            return -1;
        }
        return success;
    }
    static std::string hex(unsigned long v) {
        char text[16];
        std::snprintf(text, sizeof text, "%lx", v);
        return text;
    }
    inline static const std::map<unsigned long, std::string> kNames{
        {PPCLAIM, "PPCLAIM"},       {PPRELEASE, "PPRELEASE"}, {PPRDATA, "PPRDATA"},
        {PPWDATA, "PPWDATA"},       {PPRSTATUS, "PPRSTATUS"}, {PPRCONTROL, "PPRCONTROL"},
        {PPWCONTROL, "PPWCONTROL"},
    };
};

using Strings = std::vector<std::string>;

const std::array<std::string, 3> kDevices{"/dev/parport0", "/dev/parport1", "/dev/parport2"};

// A failed open gives no port, one message naming all of mentions, and exactly these calls.
void expectFailure(const PortProvider::Opened& opened, const FakeSystemCalls& sys,
                   const Strings& mentions, const Strings& calls) {
    EXPECT_EQ(opened.io, nullptr);
    for (const std::string& part : mentions) {
        EXPECT_NE(opened.error.find(part), std::string::npos)
            << "\"" << opened.error << "\" does not mention \"" << part << "\"";
    }
    EXPECT_EQ(sys.calls, calls) << opened.error;
}

TEST(PpdevPort, MapsTheThreeRegistersOntoTheDriversCalls) {
    FakeSystemCalls sys;
    PpdevPortProvider provider({"/dev/parport0", "/dev/parport5", "/dev/parport2"}, sys);
    {
        auto opened = provider.open(2, 0x278);
        ASSERT_NE(opened.io, nullptr) << opened.error;
        opened.io->write(0x278, 0x1B);
        EXPECT_EQ(opened.io->read(0x278), 0x7F);
        EXPECT_EQ(opened.io->read(0x279), 0x7F);
        opened.io->write(0x279, 0);  // input register: nothing to call
        opened.io->write(0x27A, 0);
        EXPECT_EQ(opened.io->read(0x27A), 0x7F);
    }
    const Strings expected{"open /dev/parport5 rw", "ioctl 7 PPCLAIM",   "ioctl 7 PPWDATA 27",
                           "ioctl 7 PPRDATA",       "ioctl 7 PPRSTATUS", "ioctl 7 PPWCONTROL 0",
                           "ioctl 7 PPRCONTROL",    "ioctl 7 PPRELEASE", "close 7"};
    EXPECT_EQ(sys.calls, expected);
}

TEST(PpdevPort, EveryOpenFailureSaysWhereWhyAndWhatToDo) {
    struct Case {
        int openErrno, claimErrno;
        Strings mentions;
        Strings calls;
    };
    const std::vector<Case> cases{
        {ENOENT,
         0,
         {"LPT1", "/dev/parport0", "No such file or directory", "sudo modprobe ppdev",
          "--parport LPT1="},
         {"open /dev/parport0 rw"}},
        {EACCES,
         0,
         {"LPT1", "/dev/parport0", "Permission denied", "sudo usermod -aG lp $USER"},
         {"open /dev/parport0 rw"}},
        {ENXIO,
         0,
         {"LPT1", "/dev/parport0", "No such device or address", "modprobe parport_pc"},
         {"open /dev/parport0 rw"}},
        {ENODEV,
         0,
         {"LPT1", "/dev/parport0", "No such device", "modprobe parport_pc"},
         {"open /dev/parport0 rw"}},
        {0,
         EBUSY,
         {"LPT1", "cannot claim /dev/parport0", "Device or resource busy", "rmmod lp"},
         {"open /dev/parport0 rw", "ioctl 7 PPCLAIM", "close 7"}},
    };
    for (const Case& c : cases) {
        FakeSystemCalls sys;
        sys.openErrno = c.openErrno;
        sys.claimErrno = c.claimErrno;
        PpdevPortProvider provider(kDevices, sys);
        expectFailure(provider.open(1, 0x378), sys, c.mentions, c.calls);
    }
}

TEST(DirectPort, MovesEachAccessToTheRealBaseAndHoldsPermissionForThreeRegistersOnly) {
    FakeSystemCalls sys;
    DirectPortProvider provider({0xD010, 0x278, 0x3BC}, sys);
    {
        auto opened = provider.open(1, 0x378);
        ASSERT_NE(opened.io, nullptr) << opened.error;
        opened.io->write(0x378, 0x1B);
        EXPECT_EQ(opened.io->read(0x379), 0x7F);
        opened.io->write(0x37A, 0);
        EXPECT_THROW(opened.io->write(0x37B, 0), PortAccessRefused);
        EXPECT_THROW(opened.io->read(0x377), PortAccessRefused);
    }
    const Strings expected{"ioperm d010 3 1", "outb 27 d010", "inb d011", "outb 0 d012",
                           "ioperm d010 3 0"};
    EXPECT_EQ(sys.calls, expected);
}

TEST(DirectPort, EveryOpenFailureSaysWhereWhyAndWhatToDo) {
    struct Case {
        bool portIo;
        int iopermErrno;
        std::uint16_t realBase;
        Strings mentions;
        Strings calls;
    };
    const std::vector<Case> cases{
        {true,
         EPERM,
         0x378,
         {"LPT2", "0x378-0x37a", "Operation not permitted", "root", "--port-io ppdev", "group lp"},
         {"ioperm 378 3 1"}},
        {true, EINVAL, 0x378, {"LPT2", "0x378-0x37a", "Invalid argument"}, {"ioperm 378 3 1"}},
        {true,
         ENOSYS,
         0x378,
         {"LPT2", "Function not implemented", "no direct port access", "--port-io ppdev"},
         {"ioperm 378 3 1"}},
        {true, 0, 0xFFFE, {"LPT2", "0xfffe"}, {}},
        {false, 0, 0x378, {"LPT2", "not available on this architecture"}, {}},
    };
    for (const Case& c : cases) {
        FakeSystemCalls sys;
        sys.portIo = c.portIo;
        sys.iopermErrno = c.iopermErrno;
        DirectPortProvider provider({0x378, c.realBase, 0x3BC}, sys);
        expectFailure(provider.open(2, 0x278), sys, c.mentions, c.calls);
    }
}

TEST(PortOptions, TheSimulatedBackendIsTheDefaultAndHonoursItsBoardSettings) {
    PortOptions options;
    options.sim = {.chips = 0, .idleLineHigh = true, .accessNs = 0};
    const auto provider = makePortProvider(options);
    auto opened = provider->open(2, 0x278);
    ASSERT_NE(opened.io, nullptr);
    EXPECT_EQ(opened.io->read(0x279), 0x7F);  // no chip, line stuck high
    opened.io->write(0x278, 0x42);
    EXPECT_EQ(opened.io->read(0x278), 0x42);
}

}  // namespace
}  // namespace selvar::platform
