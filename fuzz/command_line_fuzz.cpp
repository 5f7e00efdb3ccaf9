// SPDX-License-Identifier: GPL-3.0-or-later
// The command line as the program receives it: the input, split at NUL bytes (which no argument
// can contain), is argv; the first piece is the program's name. Every parse either runs with
// options inside their ranges, refuses with a reason, or answers help, version or a listing;
// it is deterministic, and options it runs with survive being written out again canonically.
// No application object exists, as in main when it parses.

#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "entry/command_line.h"
#include "entry/raw_arguments.h"
#include "fuzz_checks.h"
#include "sim_analog_format.h"

namespace {

using selvar::entry::CommandLine;
using selvar::entry::parseCommandLine;
using selvar::entry::RunOptions;
using selvar::fuzz::require;
using selvar::platform::PortBackend;
using selvar::platform::PortOptions;
using Action = CommandLine::Action;

QStringList argumentsOf(std::string_view input) {
    QStringList arguments;
    if (input.empty()) {
        return arguments;  // argc 0: execve allows it
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = input.find('\0', start);
        const std::string_view piece = input.substr(start, end - start);
        arguments << selvar::entry::argumentFromBytes(std::string(piece).c_str());
        if (end == std::string_view::npos) {
            return arguments;
        }
        start = end + 1;
    }
}

bool sameAdapters(const PortOptions& p, const PortOptions& q) {
    for (std::size_t i = 0; i < p.adapter.size(); ++i) {
        const auto& a = p.adapter[i];
        const auto& b = q.adapter[i];
        if (a.has_value() != b.has_value() ||
            (a && (a->kind != b->kind || a->device != b->device || a->pins.pin != b->pins.pin))) {
            return false;
        }
    }
    return true;
}

bool sameOptions(const RunOptions& a, const RunOptions& b) {
    const PortOptions& p = a.port;
    const PortOptions& q = b.port;
    return p.backend == q.backend && p.ppdevDevice == q.ppdevDevice &&
           p.directBase == q.directBase && sameAdapters(p, q) && p.sim.chips == q.sim.chips &&
           p.sim.idleLineHigh == q.sim.idleLineHigh && p.sim.accessNs == q.sim.accessNs &&
           a.tracePath == b.tracePath && a.quitAfterStart == b.quitAfterStart &&
           a.openMonitor == b.openMonitor && a.remote.scpiPort == b.remote.scpiPort &&
           a.remote.listen == b.remote.listen && a.remote.noGui == b.remote.noGui &&
           a.remote.scriptPath == b.remote.scriptPath &&
           a.remote.idleTimeoutS == b.remote.idleTimeoutS && a.audio.output == b.audio.output &&
           a.audio.input == b.audio.input && a.audio.dut == b.audio.dut &&
           a.audio.calibrationPath == b.audio.calibrationPath &&
           a.audio.simAnalog == b.audio.simAnalog;
}

bool sameResult(const CommandLine& a, const CommandLine& b) {
    return a.action == b.action && a.message == b.message && sameOptions(a.options, b.options);
}

void appendAudio(QStringList& args, const selvar::entry::AudioOptions& audio, bool simulated) {
    for (const auto& [name, value] :
         {std::pair{"--audio-out=", &audio.output}, std::pair{"--audio-in=", &audio.input},
          std::pair{"--calibration=", &audio.calibrationPath}}) {
        if (!value->empty()) {
            args << name + selvar::entry::argumentFromBytes(value->c_str());
        }
    }
    args << QStringLiteral("--audio-dut=%1").arg(audio.dut);
    if (simulated) {
        args << "--sim-analog=" + selvar::entry::argumentFromBytes(
                                      selvar::fuzz::formatSimAnalog(audio.simAnalog).c_str());
    }
}

// The options written out the way a careful user would: every value explicit, in the
// --name=value form so no value can be taken for an option.
QStringList canonicalArguments(const QString& program, const RunOptions& o) {
    QStringList args{program};
    const PortOptions& port = o.port;
    switch (port.backend) {
        case PortBackend::Sim:
            args << "--port-io=sim" << QStringLiteral("--sim-chips=%1").arg(port.sim.chips)
                 << (port.sim.idleLineHigh ? "--sim-idle-line=high" : "--sim-idle-line=low")
                 << QStringLiteral("--sim-access-ns=%1").arg(port.sim.accessNs);
            break;
        case PortBackend::Ppdev:
        case PortBackend::Direct: {
            const bool ppdev = port.backend == PortBackend::Ppdev;
            // Bases taken once are taken again whatever the system lists.
            args << (ppdev ? "--port-io=ppdev" : "--port-io=direct");
            if (!ppdev) {
                args << "--force-port";
            }
            for (int i = 0; i < 3; ++i) {
                const QString where =
                    ppdev ? selvar::entry::argumentFromBytes(port.ppdevDevice[i].c_str())
                          : "0x" + QString::number(port.directBase[i], 16);
                if (!port.adapter[i]) {
                    args << QStringLiteral("--parport=LPT%1=").arg(i + 1) + where;
                }
            }
            break;
        }
    }
    for (int i = 0; i < 3; ++i) {
        if (port.adapter[i]) {
            args << QStringLiteral("--parport=LPT%1=").arg(i + 1) +
                        QString::fromStdString(
                            selvar::platform::formatAdapterConfig(*port.adapter[i]));
        }
    }
    if (!o.tracePath.empty()) {
        args << "--trace=" + selvar::entry::argumentFromBytes(o.tracePath.c_str());
    }
    if (o.quitAfterStart) {
        args << "--quit-after-start";
    }
    if (o.openMonitor) {
        args << "--monitor";
    }
    if (o.remote.scpiPort) {
        args << QStringLiteral("--scpi-port=%1").arg(*o.remote.scpiPort);
    }
    for (const std::string& address : o.remote.listen) {
        args << "--scpi-listen=" + QString::fromStdString(address);
    }
    if (o.remote.noGui) {
        args << "--no-gui";
    }
    if (!o.remote.scriptPath.empty()) {
        args << "--script=" + selvar::entry::argumentFromBytes(o.remote.scriptPath.c_str());
    }
    if (o.remote.scpiPort) {
        args << QStringLiteral("--scpi-idle-timeout=%1").arg(o.remote.idleTimeoutS);
    }
    appendAudio(args, o.audio, port.backend == PortBackend::Sim);
    return args;
}

void checkRun(const RunOptions& o, std::string_view input) {
    static const PortOptions defaults;
    const PortOptions& port = o.port;
    require(port.backend == PortBackend::Sim || port.backend == PortBackend::Ppdev ||
                port.backend == PortBackend::Direct,
            "backend is sim, ppdev or direct", input);
    require(port.sim.chips >= 0 && port.sim.chips <= 2, "sim chips 0..2", input);
    require(port.sim.accessNs >= 0 && port.sim.accessNs <= selvar::entry::kMaxSimAccessNs,
            "sim access ns within its cap", input);
    require(std::none_of(port.ppdevDevice.begin(), port.ppdevDevice.end(),
                         [](const std::string& d) { return d.empty(); }),
            "every ppdev device named", input);
    require(std::all_of(port.directBase.begin(), port.directBase.end(),
                        [](std::uint16_t b) { return b != 0 && b + 2 <= 0xFFFF; }),
            "every direct base nonzero with its three registers addressable", input);
    // Options for another backend are refused, never quietly kept.
    if (port.backend != PortBackend::Sim) {
        require(port.sim.chips == defaults.sim.chips &&
                    port.sim.idleLineHigh == defaults.sim.idleLineHigh &&
                    port.sim.accessNs == defaults.sim.accessNs,
                "sim settings untouched for a real port", input);
    }
    if (port.backend != PortBackend::Ppdev) {
        require(port.ppdevDevice == defaults.ppdevDevice, "ppdev devices untouched", input);
    }
    if (port.backend != PortBackend::Direct) {
        require(port.directBase == defaults.directBase, "direct bases untouched", input);
    }
    // A windowless run always has something to drive it; other addresses only with a port.
    const selvar::entry::RemoteOptions& r = o.remote;
    require(!r.noGui || r.scpiPort || !r.scriptPath.empty(), "no-gui has a driver", input);
    require(r.listen.empty() || r.scpiPort, "listen addresses only with a port", input);
    require(!r.scpiPort || (*r.scpiPort >= 0 && *r.scpiPort <= 65535), "port in range", input);
    const selvar::entry::AudioOptions& a = o.audio;
    require(a.dut == 1 || a.dut == 2, "audio DUT 1 or 2", input);
    const bool simOut = a.output == selvar::entry::kSimAudioDevice;
    const bool simIn = a.input == selvar::entry::kSimAudioDevice;
    require(!(simOut || simIn) || port.backend == PortBackend::Sim, "sim audio on a sim port",
            input);
    require(!(simOut || simIn) || ((simOut || a.output.empty()) && (simIn || a.input.empty())),
            "sim audio is both ends or neither", input);
    if (port.backend != PortBackend::Sim) {
        require(a.simAnalog == selvar::audio::SimAnalogOptions{},
                "sim analog settings untouched for a real port", input);
    }
}

// The usage names the program as it was started (its file name), or "selvar" when it was
// started without a name, and lists every option.
void checkUsage(const std::string& usage, const QStringList& arguments, std::string_view input) {
    const QString program =
        arguments.isEmpty() ? QStringLiteral("selvar") : QFileInfo(arguments.first()).fileName();
    require(usage.starts_with("Usage: " + (program + " [options]").toStdString()),
            "usage line names the program", input);
    for (const char* name :
         {"--help",        "--version",          "--port-io",       "--parport",
          "--sim-chips",   "--sim-idle-line",    "--sim-access-ns", "--trace",
          "--force-port",  "--quit-after-start", "--list-adapters", "--monitor",
          "--scpi-port",   "--scpi-listen",      "--no-gui",        "--script",
          "--sim-analog",  "--audio-out",        "--audio-in",      "--audio-dut",
          "--calibration", "--list-audio"}) {
        require(usage.find(name) != std::string::npos, "usage lists every option", input);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = selvar::fuzz::textOf(data, size);
    const QStringList arguments = argumentsOf(input);
    const CommandLine result = parseCommandLine(arguments);

    switch (result.action) {
        case Action::Run:
            require(result.message.empty(), "a run carries no message", input);
            checkRun(result.options, input);
            break;
        case Action::Error: {
            require(!result.message.empty(), "an error says why", input);
            // One line, unless it quotes an argument that itself has a line break.
            const bool argumentBreaksLines =
                std::any_of(arguments.begin(), arguments.end(),
                            [](const QString& a) { return a.contains('\n'); });
            require(argumentBreaksLines || result.message.find('\n') == std::string::npos,
                    "an error is one line", input);
            break;
        }
        case Action::Help:
            checkUsage(result.message, arguments, input);
            break;
        case Action::Version:
            require(result.message == "selvar " SELVAR_VERSION, "version line", input);
            break;
        case Action::ListAdapters:
        case Action::ListAudio:
            require(result.message.empty(), "a listing carries no message", input);
            break;
        default:
            require(false, "action is run, error, help, version or list", input);
    }

    require(sameResult(parseCommandLine(arguments), result), "parsing is deterministic", input);

    if (result.action == Action::Run) {
        const QString program = arguments.isEmpty() ? QStringLiteral("selvar") : arguments.first();
        const CommandLine again = parseCommandLine(canonicalArguments(program, result.options));
        require(again.action == Action::Run && sameOptions(again.options, result.options),
                "options written out canonically parse to the same options", input);
    }
    return 0;
}
