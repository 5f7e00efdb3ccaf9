// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <algorithm>
#include <string>

#include "entry/command_line.h"

namespace selvar::entry {
namespace {

// The program itself, started the way a user starts it on a machine without a display.
struct ProgramRun {
    int exitCode = -1;
    std::string out, err;
};

// No sound server can be reached: Qt Multimedia, started, finds none at this address.
constexpr const char* kNoSoundServer = "unix:/nonexistent/selvar-test/native";

ProgramRun runSelvar(const QStringList& arguments, bool offscreen = false) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PULSE_SERVER", kNoSoundServer);
    env.remove("QT_QPA_PLATFORM");
    env.remove("WAYLAND_DISPLAY");
    env.insert("DISPLAY", "");
    if (offscreen) {
        env.insert("QT_QPA_PLATFORM", "offscreen");
    }
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(SELVAR_BINARY, arguments);
    ProgramRun run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

TEST(SelvarProgram, AnswersHelpVersionAndUsageErrorsWithoutADisplay) {
    const ProgramRun help = runSelvar({"--help"});
    EXPECT_EQ(help.exitCode, 0) << help.err;
    EXPECT_NE(help.out.find("Usage: selvar [options]"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("--sim-access-ns"), std::string::npos);

    // Every heading, each over at least one line: what was found, or "none".
    const ProgramRun adapters = runSelvar({"--list-adapters"});
    EXPECT_EQ(adapters.exitCode, 0) << adapters.err;
    for (const char* heading : {"\nParallel ports (", "\nFTDI devices (", "\nGPIO chips ("}) {
        const auto at = ("\n" + adapters.out).find(heading);
        ASSERT_NE(at, std::string::npos) << heading << " in:\n" << adapters.out;
        const auto next = adapters.out.find('\n', at);
        EXPECT_EQ(adapters.out.substr(std::min(next, adapters.out.size()), 3), "\n  ")
            << adapters.out;
    }

    // Headings over "none" and the simulated path: nothing hangs or crashes without a server.
    const ProgramRun audio = runSelvar({"--list-audio"});
    EXPECT_EQ(audio.exitCode, 0) << audio.err;
    const std::string noDevice =
        "  none on the sound server\n  sim  the simulated board's analog path (with --port-io "
        "sim)\n";
    EXPECT_EQ(audio.out, "Outputs (--audio-out DEVICE):\n" + noDevice +
                             "Inputs (--audio-in DEVICE):\n" + noDevice);

    const ProgramRun version = runSelvar({"--version"});
    EXPECT_EQ(version.exitCode, 0) << version.err;
    EXPECT_EQ(version.out, "selvar " SELVAR_VERSION "\n");

    struct Bad {
        QStringList args;
        std::string reason;
    };
    const Bad bad[] = {{{"--frobnicate"}, "Unknown option 'frobnicate'"},
                       {{"--sim-chips", "7"}, "'7' is not 0, 1 or 2"},
                       {{"--port-io", "direct", "--parport", "LPT1=0xzz"}, "not a hex"},
                       {{"--parport", "LPT1=ftdi,pins=zcd:8"}, "zcd:8: the device has pins 0 to 7"},
                       {{"--sim-analog", "errors=/nonexistent/errors.csv"},
                        "--sim-analog errors=/nonexistent/errors.csv: cannot read"}};
    for (const Bad& b : bad) {
        const ProgramRun run = runSelvar(b.args);
        EXPECT_EQ(run.exitCode, kUsageExitStatus) << b.args.join(' ').toStdString();
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.rfind("selvar: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find(b.reason), std::string::npos) << run.err;
        // The reason on one line, then where to read more: not the whole usage.
        const std::string afterReason =
            run.err.substr(std::min(run.err.find('\n'), run.err.size()));
        EXPECT_EQ(afterReason, "\nTry 'selvar --help' for more information.\n") << run.err;
    }
}

TEST(SelvarProgram, RefusesFilesItCannotCreateOrRead) {
    QTemporaryDir dir;
    struct Case {
        QStringList args;
        std::string said;
    };
    const Case cases[] = {
        {{"--trace", dir.filePath("no/such/dir/bus.log")}, "bus.log"},
        {{"--calibration", dir.path()},
         "--calibration " + dir.path().toStdString() + ": cannot read: Is a directory"},
        {{"--calibration", dir.filePath("card.cal")}, "card.cal: cannot read: No such file"},
    };
    for (const Case& c : cases) {
        // Offscreen: with no display at all, that is said (and checked) first.
        const ProgramRun run = runSelvar(c.args, true);
        EXPECT_EQ(run.exitCode, 1) << c.args.join(' ').toStdString();
        EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
    }
}

TEST(SelvarProgram, SaysOnceThatAnAdapterIsMissingAndRunsOn) {
    // A serial number no adapter has, too long to be said whole.
    const std::string device = "s:0x0403:0x6014:" + std::string(300, 'Z');
    const ProgramRun run = runSelvar(
        {"--parport", QString::fromStdString("LPT1=ftdi:" + device), "--quit-after-start"}, true);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::string said = "LPT1: cannot open the FTDI adapter " + device.substr(0, 200) + "...";
    const auto at = run.err.find(said);
    EXPECT_NE(at, std::string::npos) << run.err;
    EXPECT_EQ(run.err.find(said, at + 1), std::string::npos) << run.err;
}

TEST(SelvarProgram, StartsResetsAndExitsCleanlyLeavingACompleteTrace) {
    struct Case {
        const char* file;
        QString first, last;
    };
    // The start-up reset ends with a read-back, whose last write raises chip select.
    const Case cases[] = {{"bus.log", "W 379 00", "W 378 12"},
                          {"bus.vcd", "$version Selvar Control bus trace $end", ""}};
    for (const Case& c : cases) {
        QTemporaryDir dir;
        const QString path = dir.filePath(c.file);
        const ProgramRun run =
            runSelvar({"--quit-after-start", "--sim-access-ns", "0", "--trace", path}, true);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        // Qt Multimedia starts on first use only: a plain start never looks for a sound server.
        EXPECT_EQ(run.err.find("pa_context"), std::string::npos) << run.err;
        QFile trace(path);
        ASSERT_TRUE(trace.open(QIODevice::ReadOnly | QIODevice::Text)) << c.file;
        const QStringList lines =
            QString::fromUtf8(trace.readAll()).split('\n', Qt::SkipEmptyParts);
        ASSERT_GE(lines.size(), 2) << c.file;
        EXPECT_EQ(lines.first(), c.first) << c.file;
        if (!c.last.isEmpty()) {
            EXPECT_EQ(lines[1], "W 37a 00");
            EXPECT_EQ(lines.last(), c.last);
        }
    }
}

}  // namespace
}  // namespace selvar::entry
