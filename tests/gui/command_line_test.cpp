// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/command_line.h"

#include "entry/raw_arguments.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace selvar::entry {
namespace {

using platform::PortBackend;
using Action = CommandLine::Action;

CommandLine parse(const std::vector<QString>& options) {
    QStringList arguments{"/usr/local/bin/selvar"};
    for (const QString& o : options) {
        arguments << o;
    }
    return parseCommandLine(arguments);
}

TEST(CommandLine, AcceptsGoodOptionsAndFillsThePortOptions) {
    struct Case {
        std::vector<QString> args;
        std::function<void(const RunOptions&)> check;
    };
    const Case cases[] = {
        {{},
         [](const RunOptions& o) {
             EXPECT_EQ(o.port.backend, PortBackend::Sim);
             EXPECT_EQ(o.port.sim.chips, 2);
             EXPECT_TRUE(o.port.sim.idleLineHigh);
             EXPECT_EQ(o.port.sim.accessNs, 1000);
             EXPECT_EQ(o.tracePath, "");
             EXPECT_FALSE(o.quitAfterStart);
             EXPECT_FALSE(o.openMonitor);
             EXPECT_EQ(o.audio.output, "");
             EXPECT_EQ(o.audio.input, "");
             EXPECT_EQ(o.audio.dut, 1);
             EXPECT_EQ(o.audio.simAnalog, audio::SimAnalogOptions{});
         }},
        {{"--sim-chips", "0", "--sim-idle-line", "low", "--sim-access-ns", "0"},
         [](const RunOptions& o) {
             EXPECT_EQ(o.port.sim.chips, 0);
             EXPECT_FALSE(o.port.sim.idleLineHigh);
             EXPECT_EQ(o.port.sim.accessNs, 0);
         }},
        {{"--port-io=sim", "--sim-chips=1", "--sim-access-ns=1000000", "--trace", "bus.vcd"},
         [](const RunOptions& o) {
             EXPECT_EQ(o.port.sim.chips, 1);
             EXPECT_EQ(o.port.sim.accessNs, 1000000);
             EXPECT_EQ(o.tracePath, "bus.vcd");
         }},
        {{"--port-io", "ppdev", "--parport", "LPT2=/dev/parport5"},
         [](const RunOptions& o) {
             EXPECT_EQ(o.port.backend, PortBackend::Ppdev);
             const std::array<std::string, 3> devices{"/dev/parport0", "/dev/parport5",
                                                      "/dev/parport2"};
             EXPECT_EQ(o.port.ppdevDevice, devices);
         }},
        {{"--port-io", "direct", "--parport", "LPT1=0xd010", "--parport", "lpt3=3BCh",
          "--force-port"},
         [](const RunOptions& o) {
             EXPECT_EQ(o.port.backend, PortBackend::Direct);
             const std::array<std::uint16_t, 3> bases{0xd010, 0x278, 0x3bc};
             EXPECT_EQ(o.port.directBase, bases);
         }},
        {{"--port-io", "direct", "--parport", "LPT2=0x1", "--parport", "LPT3=fffd", "--force-port"},
         [](const RunOptions& o) {
             const std::array<std::uint16_t, 3> bases{0x378, 0x1, 0xfffd};
             EXPECT_EQ(o.port.directBase, bases);
         }},
        {{"--port-io", "direct", "--parport", "LPT1=0x00378", "--parport", "LPT2=00278h",
          "--parport", "LPT3=0X0000d010", "--force-port"},
         [](const RunOptions& o) {
             const std::array<std::uint16_t, 3> bases{0x378, 0x278, 0xd010};
             EXPECT_EQ(o.port.directBase, bases);
         }},
        // File names are bytes: stray bytes, a character beyond the BMP, an encoded surrogate.
        {{"--trace", argumentFromBytes("caf\xe9 \xf0\x90\x82\x80\xed\xa0\x80\xff.log")},
         [](const RunOptions& o) {
             EXPECT_EQ(o.tracePath, "caf\xe9 \xf0\x90\x82\x80\xed\xa0\x80\xff.log");
         }},
        {{"--quit-after-start"}, [](const RunOptions& o) { EXPECT_TRUE(o.quitAfterStart); }},
        {{"--parport", "LPT2=gpio:gpiochip0,pins=mute:5"},
         [](const RunOptions& o) {
             EXPECT_EQ(o.port.backend, PortBackend::Sim);
             EXPECT_FALSE(o.port.adapter[0]);
             ASSERT_TRUE(o.port.adapter[1]);
             EXPECT_EQ(o.port.adapter[1]->device, "gpiochip0");
             EXPECT_EQ(o.port.adapter[1]->pins[platform::Signal::Mute], 5);
         }},
        {{"--port-io", "ppdev", "--parport", "LPT1=ftdi", "--parport", "LPT3=/dev/parport7"},
         [](const RunOptions& o) {
             ASSERT_TRUE(o.port.adapter[0]);
             EXPECT_EQ(o.port.adapter[0]->kind, platform::AdapterConfig::Kind::Ftdi);
             EXPECT_EQ(o.port.ppdevDevice[2], "/dev/parport7");
         }},
        {{"--monitor"}, [](const RunOptions& o) { EXPECT_TRUE(o.openMonitor); }},
        {{"--measure"}, [](const RunOptions& o) { EXPECT_TRUE(o.openMeasure); }},
        {{"--gain-limit", "+6"}, [](const RunOptions& o) { EXPECT_EQ(o.gainLimit, 204); }},
        {{"--gain-limit=-95.5"}, [](const RunOptions& o) { EXPECT_EQ(o.gainLimit, 1); }},
        {{}, [](const RunOptions& o) { EXPECT_EQ(o.gainLimit, std::nullopt); }},
        {{"--no-gui", "--scpi-port", "5025", "--scpi-listen", "::", "--scpi-listen", "10.0.0.2"},
         [](const RunOptions& o) {
             EXPECT_TRUE(o.remote.noGui);
             EXPECT_EQ(o.remote.scpiPort, 5025);
             EXPECT_EQ(o.remote.listen, (std::vector<std::string>{"::", "10.0.0.2"}));
             EXPECT_EQ(o.remote.idleTimeoutS, 600);
         }},
        {{"--scpi-port", "0", "--scpi-idle-timeout", "0"},
         [](const RunOptions& o) { EXPECT_EQ(o.remote.idleTimeoutS, 0); }},
        {{"--scpi-port", "0", "--scpi-idle-timeout", "1000000"},
         [](const RunOptions& o) { EXPECT_EQ(o.remote.idleTimeoutS, 1000000); }},
        {{"--sim-analog", "noise=-90,card-gain=-0.73:+0.21,errors=e.csv", "--audio-dut=2",
          "--audio-out", "sim", "--calibration", "card.cal"},
         [](const RunOptions& o) {
             EXPECT_EQ(o.audio.simAnalog.noiseDbfs, -90.0);
             EXPECT_EQ(o.audio.simAnalog.cardGainLeftDb, -0.73);
             EXPECT_EQ(o.audio.simAnalog.cardGainRightDb, 0.21);
             EXPECT_EQ(o.audio.simAnalog.errorsFile, "e.csv");
             EXPECT_EQ(o.audio.dut, 2);
             EXPECT_EQ(o.audio.output, "sim");
             EXPECT_EQ(o.audio.calibrationPath, "card.cal");
         }},
        {{"--port-io", "ppdev", "--audio-out", "card_out", "--audio-in", "card_in"},
         [](const RunOptions& o) {
             EXPECT_EQ(o.audio.output, "card_out");
             EXPECT_EQ(o.audio.input, "card_in");
         }},
        {{"--no-gui", "--script", "-"},
         [](const RunOptions& o) {
             EXPECT_EQ(o.remote.scriptPath, "-");
             EXPECT_FALSE(o.remote.scpiPort);
         }},
    };
    for (const Case& c : cases) {
        const CommandLine cl = parse(c.args);
        SCOPED_TRACE(QStringList(c.args.begin(), c.args.end()).join(' ').toStdString());
        ASSERT_EQ(cl.action, Action::Run) << cl.message;
        c.check(cl.options);
    }
}

TEST(CommandLine, RefusesBadOptionsAndValuesWithTheReason) {
    struct Case {
        std::vector<QString> args;
        std::string reason;  // part of the message
    };
    const Case cases[] = {
        {{"--bogus"}, "Unknown option 'bogus'"},
        {{"--port-io"}, "Missing value after '--port-io'"},
        {{"--port-io", "serial"}, "'serial' is not sim, ppdev or direct"},
        {{"--port-io", "sim", "--port-io", "ppdev"}, "--port-io given more than once"},
        {{"extra"}, "unexpected argument 'extra'"},
        {{"--gain-limit", "6.3"}, "--gain-limit: '6.3' is not a gain from -95.5 to 31.5 dB"},
        {{"--gain-limit", "32"}, "'32' is not a gain from -95.5 to 31.5 dB"},
        {{"--gain-limit", "-96"}, "'-96' is not a gain from -95.5 to 31.5 dB"},
        {{"--parport", "LPT1=/dev/parport0"}, "--parport applies to --port-io ppdev or direct"},
        {{"--port-io", "ppdev", "--parport", "LPT4=/dev/parport3"}, "expected LPTn=WHERE"},
        {{"--port-io", "ppdev", "--parport", "LPT0=/dev/parport0"}, "expected LPTn=WHERE"},
        {{"--port-io", "ppdev", "--parport", "LPT\u00b9=/dev/parport0"}, "expected LPTn=WHERE"},
        {{"--port-io", "ppdev", "--parport", "LPT\uff11=/dev/parport0"}, "expected LPTn=WHERE"},
        {{"--port-io", "ppdev", "--parport", "LPT1"}, "expected LPTn=WHERE"},
        {{"--port-io", "ppdev", "--parport", "LPT1="}, "expected LPTn=WHERE"},
        {{"--port-io", "ppdev", "--parport", "COM1=/dev/ttyS0"}, "expected LPTn=WHERE"},
        {{"--port-io", "ppdev", "--parport", "LPT1=/a", "--parport", "lpt1=/b"},
         "LPT1 given more than once"},
        {{"--port-io", "direct", "--parport", "LPT1=0xfffe"}, "not a hex I/O base address"},
        {{"--port-io", "direct", "--parport", "LPT1=0"}, "not a hex I/O base address"},
        {{"--port-io", "direct", "--parport", "LPT1=0x10000"}, "not a hex I/O base address"},
        {{"--port-io", "direct", "--parport", "LPT1=0x0010000"}, "not a hex I/O base address"},
        {{"--port-io", "direct", "--parport", "LPT1=/dev/parport0"}, "not a hex I/O base address"},
        {{"--port-io", "direct", "--parport", "LPT1=0x"}, "not a hex I/O base address"},
        {{"--port-io", "direct", "--parport", "LPT1=-378"}, "not a hex I/O base address"},
        {{"--port-io", "direct", "--parport", "LPT1=0x37 8"}, "not a hex I/O base address"},
        {{"--sim-chips", "3"}, "--sim-chips: '3' is not 0, 1 or 2"},
        {{"--sim-chips", "02"}, "--sim-chips: '02' is not 0, 1 or 2"},
        {{"--sim-idle-line", "HIGH"}, "'HIGH' is not high or low"},
        {{"--sim-access-ns", "-1"}, "--sim-access-ns: '-1' is not a whole number"},
        {{"--sim-access-ns", "1000001"}, "not a whole number from 0 to 1000000"},
        {{"--sim-access-ns", "1e3"}, "not a whole number"},
        {{"--sim-access-ns", " 5"}, "not a whole number"},
        {{"--sim-access-ns", ""}, "not a whole number"},
        {{"--sim-access-ns", "99999999999999999999999"}, "not a whole number"},
        {{"--port-io", "ppdev", "--sim-chips", "1"}, "--sim-chips applies to --port-io sim only"},
        {{"--port-io", "direct", "--sim-access-ns", "0"}, "--sim-access-ns applies to"},
        {{"--trace="}, "--trace: the file name is empty"},
        {{"--parport", "LPT1=ftdi,pins=cs:0"}, "LPT1=ftdi,pins=cs:0: pins: pin 0 used by both"},
        {{"--parport", "LPT1=gpio:"}, "name the chip"},
        {{"--no-gui"}, "--no-gui needs --scpi-port or --script"},
        {{"--scpi-port", "65536"}, "is not a port from 0 to 65535"},
        {{"--scpi-port", "+80"}, "is not a port from 0 to 65535"},
        {{"--scpi-port", "1", "--scpi-port", "2"}, "--scpi-port given more than once"},
        {{"--scpi-port", "1", "--scpi-listen", "localhost"}, "'localhost' is not an IP address"},
        {{"--scpi-listen", "0.0.0.0"}, "--scpi-listen needs --scpi-port"},
        {{"--scpi-idle-timeout", "60"}, "--scpi-idle-timeout needs --scpi-port"},
        {{"--scpi-port", "0", "--scpi-idle-timeout", "1000001"}, "from 0 to 1000000"},
        {{"--scpi-port", "0", "--scpi-idle-timeout", "-1"}, "from 0 to 1000000"},
        {{"--script="}, "--script: the file name is empty"},
        {{"--sim-analog", "noise=-90,hum=1"}, "--sim-analog: unknown setting 'hum'"},
        {{"--sim-analog", "noise=3"}, "--sim-analog: invalid value '3' for noise"},
        {{"--sim-analog", "card-gain=1"}, "invalid value '1' for card-gain"},
        {{"--port-io", "ppdev", "--sim-analog", "noise=-90"},
         "--sim-analog applies to --port-io sim only"},
        {{"--audio-dut", "3"}, "--audio-dut: '3' is not 1 or 2"},
        {{"--audio-out="}, "--audio-out: the name is empty"},
        {{"--calibration", "a", "--calibration", "b"}, "--calibration given more than once"},
        {{"--port-io", "ppdev", "--audio-in", "sim"}, "--audio-in sim: the simulated analog path"},
        {{"--audio-out", "sim", "--audio-in", "card_in"}, "sim is both ends or neither"},
        {{"--sim-analog", "h2=" + QString(100000, '9')},
         "invalid value '" + std::string(200, '9') + "...' for h2"},
        {{"--parport", "LPT1=ftdi:i:0x0403:0x6014:99999999999999999999"},
         "INDEX '99999999999999999999' is not a number"},
        // Values are said back cut short, however long they came.
        {{"--port-io", QString(100000, 'x')},
         "--port-io: '" + std::string(200, 'x') + "...' is not sim"},
        {{"--parport", "LPT1=gpio:chip,pins=" + QString(100000, 'q')},
         "pins: '" + std::string(200, 'q') + "...' is not SIGNAL:PIN"},
    };
    for (const Case& c : cases) {
        const CommandLine cl = parse(c.args);
        const std::string args = QStringList(c.args.begin(), c.args.end()).join(' ').toStdString();
        EXPECT_EQ(cl.action, Action::Error) << args;
        EXPECT_NE(cl.message.find(c.reason), std::string::npos)
            << args.substr(0, 300) << ": got \"" << cl.message.substr(0, 1000) << "\"";
        EXPECT_LT(cl.message.size(), 1000u) << args.substr(0, 300);
    }
}

TEST(CommandLine, HelpAndVersionAnswerBeforeAnythingElse) {
    for (const char* option : {"-h", "--help"}) {
        const CommandLine cl = parse({option, "--port-io", "serial"});
        EXPECT_EQ(cl.action, Action::Help);
        EXPECT_EQ(cl.message.rfind("Usage: selvar [options]", 0), 0u) << cl.message;
        for (const char* name : {"--port-io", "--parport", "--sim-chips", "--sim-idle-line",
                                 "--sim-access-ns", "--trace", "--version"}) {
            EXPECT_NE(cl.message.find(name), std::string::npos) << name;
        }
    }
    for (const char* option : {"-v", "--version"}) {
        const CommandLine cl = parse({option});
        EXPECT_EQ(cl.action, Action::Version);
        EXPECT_EQ(cl.message, "selvar " SELVAR_VERSION);
    }
}

// execve allows an empty argv; that is the program started with no options.
TEST(CommandLine, RunsWithTheDefaultsWhenStartedWithoutEvenItsName) {
    const CommandLine cl = parseCommandLine({});
    ASSERT_EQ(cl.action, Action::Run) << cl.message;
    EXPECT_EQ(cl.options.port.backend, PortBackend::Sim);
    EXPECT_EQ(cl.options.port.sim.chips, 2);
}

// Direct I/O takes a base address only where the system lists a parallel port.
TEST(CommandLine, TakesDirectBasesTheSystemListsOrForced) {
    QTemporaryDir root;
    const auto write = [&root](const QString& path, const char* text) {
        QDir(root.path()).mkpath(QFileInfo(root.filePath(path)).path());
        QFile file(root.filePath(path));
        return file.open(QIODevice::WriteOnly) && file.write(text) > 0;
    };
    // parport0; parport1 read without root (zeros say nothing); a serial port; a PCI parallel
    // controller (class 0701xx) with an I/O and a memory range, and a PCI serial controller.
    ASSERT_TRUE(write("proc/ioports",
                      "0000-0cf7 : PCI Bus 0000:00\n  0378-037a : parport0\n"
                      "  0000-0000 : parport1\n  03f8-03ff : serial\n"));
    const QString pci = "sys/bus/pci/devices/0000:0%1:00.0/%2";
    ASSERT_TRUE(write(pci.arg(4).arg("class"), "0x070102\n"));
    ASSERT_TRUE(write(pci.arg(4).arg("resource"),
                      "0x000000000000e000 0x000000000000e007 0x40101\n"
                      "0x00000000fe000000 0x00000000fe000fff 0x40200\n"));
    ASSERT_TRUE(write(pci.arg(5).arg("class"), "0x070002\n"));
    ASSERT_TRUE(
        write(pci.arg(5).arg("resource"), "0x000000000000c000 0x000000000000c007 0x40101\n"));
    struct Case {
        QStringList args;
        std::string refusal;  // empty: accepted
    };
    const Case cases[] = {
        {{"--parport", "LPT1=0x378", "--parport", "LPT2=0xe000", "--parport", "LPT3=e005"}, ""},
        {{"--parport", "LPT2=0x3f8"},
         "LPT2: the system lists no parallel port at 0x3f8; it lists: 0x378-0x37a (parport0), "
         "0xe000-0xe007 (PCI 0000:04:00.0)"},
        {{"--parport", "LPT1=0x378", "--parport", "LPT3=0x379"}, "no parallel port at 0x379"},
        {{"--parport", "LPT1=0xe006"}, "no parallel port at 0xe006"},
        {{"--parport", "LPT1=0xc000"}, "no parallel port at 0xc000"},
        {{"--parport", "LPT1=0xfe000"}, "not a hex I/O base address"},
        {{"--parport", "LPT2=0x3f8", "--force-port"}, ""},
        {{"--parport", "LPT1=0x378", "--parport", "LPT2=ftdi"}, ""},  // no base to check
        {{"--force-port", "--port-io", "ppdev"}, "--force-port applies to --port-io direct only"},
    };
    for (const Case& c : cases) {
        QStringList arguments{"selvar", "--port-io", "direct"};
        if (c.args.contains("ppdev")) {
            arguments = {"selvar"};
        }
        const CommandLine cl = parseCommandLine(arguments + c.args, root.path().toStdString());
        SCOPED_TRACE(c.args.join(' ').toStdString());
        if (c.refusal.empty()) {
            EXPECT_EQ(cl.action, Action::Run) << cl.message;
        } else {
            EXPECT_EQ(cl.action, Action::Error);
            EXPECT_NE(cl.message.find(c.refusal), std::string::npos) << cl.message;
        }
    }
}

}  // namespace
}  // namespace selvar::entry
