// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/command_line.h"

#include "entry/raw_arguments.h"
#include "platform/port_listing.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

#include "entry/usage_text.h"
#include "gain/mod_pub_share.h"
#include "platform/adapters/adapter_config.h"

namespace selvar::entry {

namespace {

using platform::PortBackend;

struct Parser {
    QCommandLineParser qt;
    QCommandLineOption help{{"h", "help"}, "Show this help and exit."};
    QCommandLineOption version{{"v", "version"}, "Show the version and exit."};
    QCommandLineOption portIo{"port-io",
                              "Port backend: sim (simulated board), ppdev (Linux /dev/parportN) "
                              "or direct (Linux I/O port access, needs root). Default: sim.",
                              "sim|ppdev|direct", "sim"};
    QCommandLineOption parport{
        "parport",
        "Where LPTn (n = 1..3) really is: a ppdev device "
        "(LPT1=/dev/parport1) or, for direct I/O, the hex base address of "
        "the port (LPT1=0xd010); or, with any --port-io, a USB or GPIO adapter: "
        "ftdi[:DEVICE][,pins=...] or gpio:CHIP[,pins=...]. Repeatable. Defaults: "
        "/dev/parport0..2; 378h, 278h, 3BCh.",
        "LPTn=WHERE"};
    QCommandLineOption listAdapters{
        "list-adapters",
        "List the parallel ports, FTDI devices and GPIO chips there are, and exit."};
    QCommandLineOption simChips{"sim-chips", "Chips on the simulated cable: 0, 1 or 2. Default: 2.",
                                "0|1|2", "2"};
    QCommandLineOption simIdleLine{
        "sim-idle-line", "Level of the simulated read-back line with no chip. Default: high.",
        "high|low", "high"};
    QCommandLineOption simAccessNs{"sim-access-ns",
                                   "Simulated duration of one port access in nanoseconds (0 to "
                                   "1000000). Default: 1000.",
                                   "N", "1000"};
    QCommandLineOption trace{"trace",
                             "Record every port access in FILE: an access log, or a waveform "
                             "of the bus when FILE ends in .vcd.",
                             "FILE"};
    QCommandLineOption forcePort{"force-port",
                                 "Direct I/O: use a --parport base address even where the system "
                                 "lists no parallel port."};
    QCommandLineOption quitAfterStart{"quit-after-start",
                                      "Close the entry window as soon as it is shown, as the "
                                      "operator would (for start-up measurements)."};
    QCommandLineOption monitor{"monitor", "Open the bus monitor at start-up."};
    QCommandLineOption measure{"measure", "Open the measurement window at start-up."};
    QCommandLineOption gainLimit{"gain-limit",
                                 "Never send any channel of any chip a gain above DB (-95.5 to "
                                 "31.5 on the 0.5 dB grid). Default: no limit.",
                                 "DB"};
    RemoteOptionSet remote;
    AudioOptionSet audio;
    // Every option the parser takes, under the heading the usage shows it: an option cannot be
    // taken without being listed.
    std::vector<OptionGroup> groups{
        {"Ports and adapters", {&portIo, &parport, &forcePort, &listAdapters}},
        {"Simulated board", {&simChips, &simIdleLine, &simAccessNs, &audio.simAnalog()}},
        {"Traces", {&trace, &monitor}},
        {"Safety", {&gainLimit}},
        {"Remote control", remote.options()},
        {"Measurement", withMeasure(audio.options())},
        {"Other", {&quitAfterStart, &help, &version}}};

    std::vector<const QCommandLineOption*> withMeasure(
        std::vector<const QCommandLineOption*> list) {
        list.insert(list.begin(), &measure);
        return list;
    }

    Parser() {
        for (const OptionGroup& group : groups) {
            for (const QCommandLineOption* option : group.options) {
                qt.addOption(*option);
            }
        }
    }
};

constexpr const char* kDescription =
    "Selvar Control: gain panels for one or two Selvar demo boards on a PC parallel port.";

std::string text(const QString& s) {
    return s.toStdString();
}

// An argument as a message says it back: cut short, as it came (bytes).
std::string echoed(const QString& s) {
    return platform::echoed(bytesFromArgument(s));
}

std::optional<long long> parseDecimal(const std::string& s) {
    long long value = 0;
    const char* end = s.data() + s.size();
    const auto [ptr, ec] = std::from_chars(s.data(), end, value);
    if (s.empty() || s.front() == '-' || ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    return value;
}

// An I/O base address in hex, written 0xd010, d010 or d010h; leading zeros are allowed in
// every form (0x0378 as well as 0378).
std::optional<long long> parseHexAddress(std::string s) {
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        s.erase(0, 2);
    } else if (!s.empty() && (s.back() == 'h' || s.back() == 'H')) {
        s.pop_back();
    }
    if (!s.empty()) {
        s.erase(0, std::min(s.find_first_not_of('0'), s.size() - 1));
    }
    if (s.empty() || s.size() > 4) {
        return std::nullopt;
    }
    long long value = 0;
    const char* end = s.data() + s.size();
    const auto [ptr, ec] = std::from_chars(s.data(), end, value, 16);
    if (ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    return value;
}

// The value of a single-valued option, or an error when it was given more than once.
std::optional<QString> single(const Parser& p, const QCommandLineOption& option,
                              std::string& error) {
    const QStringList values = p.qt.values(option);
    if (values.size() > 1) {
        error = "--" + text(option.names().constLast()) + " given more than once";
        return std::nullopt;
    }
    return p.qt.value(option);
}

bool applyParport(const QString& spec, PortBackend backend, platform::PortOptions& port,
                  std::array<bool, 3>& seen, std::string& error) {
    const std::string s = bytesFromArgument(spec);  // a device name is a file name: bytes
    const auto eq = s.find('=');
    const std::string name = eq == std::string::npos ? s : s.substr(0, eq);
    const std::string where = eq == std::string::npos ? std::string() : s.substr(eq + 1);
    // Plain ASCII "LPTn" only: other scripts' digits (a superscript one, say) are no LPT name.
    const bool lptName = name.size() == 4 && (name[0] | 0x20) == 'l' && (name[1] | 0x20) == 'p' &&
                         (name[2] | 0x20) == 't' && name[3] >= '0' && name[3] <= '9';
    const int lpt = lptName ? name[3] - '0' : -1;
    if (eq == std::string::npos || lpt < 1 || lpt > 3 || where.empty()) {
        error = "--parport " + platform::echoed(s) + ": expected LPTn=WHERE with n 1, 2 or 3";
        return false;
    }
    if (seen[lpt - 1]) {
        error = "--parport: LPT" + std::to_string(lpt) + " given more than once";
        return false;
    }
    seen[lpt - 1] = true;
    if (platform::namesAdapter(where)) {
        port.adapter[lpt - 1] = platform::parseAdapterConfig(where, error);
        if (!port.adapter[lpt - 1]) {
            error = "--parport " + platform::echoed(s) + ": " + error;
        }
        return port.adapter[lpt - 1].has_value();
    }
    if (backend == PortBackend::Sim) {
        error = "--parport applies to --port-io ppdev or direct only, unless it names an adapter";
        return false;
    }
    if (backend == PortBackend::Ppdev) {
        port.ppdevDevice[lpt - 1] = where;
        return true;
    }
    const auto base = parseHexAddress(where);
    // The port's three registers must all be addressable, and 0 is no port.
    if (!base || *base < 1 || *base > 0xFFFD) {
        error = "--parport " + platform::echoed(s) +
                ": not a hex I/O base address from 0x1 to 0xfffd (e.g. 0xd010)";
        return false;
    }
    port.directBase[lpt - 1] = static_cast<std::uint16_t>(*base);
    return true;
}

// A wrong base address in direct I/O writes into whatever device sits there (a disk or an
// interrupt controller), so only a port the system lists is taken unless forced.
bool directBasesListed(const Parser& p, const platform::PortOptions& port,
                       const std::array<bool, 3>& given, const std::string& systemRoot,
                       std::string& error) {
    if (port.backend != PortBackend::Direct) {
        if (p.qt.isSet(p.forcePort)) {
            error = "--force-port applies to --port-io direct only";
            return false;
        }
        return true;
    }
    if (p.qt.isSet(p.forcePort)) {
        return true;
    }
    std::optional<std::vector<platform::ListedPort>> listed;
    for (std::size_t i = 0; i < given.size(); ++i) {
        // An adapter's LPT has no base address to check: it works under any --port-io.
        if (!given[i] || port.adapter[i]) {
            continue;
        }
        if (!listed) {
            listed = platform::listParallelPorts(systemRoot);
        }
        const std::uint16_t base = port.directBase[i];
        if (!platform::listsPortAt(*listed, base)) {
            char where[80];
            std::snprintf(where, sizeof where, "LPT%zu: the system lists no parallel port at 0x%x",
                          i + 1, static_cast<unsigned>(base));
            error =
                "--parport " + std::string(where) +
                "; it lists: " + platform::describeListedPorts(*listed) +
                ". Give the base of a listed port, or --force-port if you are sure of the address";
            return false;
        }
    }
    return true;
}

// --port-io and --parport: where the port I/O goes.
bool interpretPorts(const Parser& p, const std::string& systemRoot, platform::PortOptions& port,
                    std::string& error) {
    const auto backend = single(p, p.portIo, error);
    if (!backend) {
        return false;
    }
    if (*backend == "sim") {
        port.backend = PortBackend::Sim;
    } else if (*backend == "ppdev") {
        port.backend = PortBackend::Ppdev;
    } else if (*backend == "direct") {
        port.backend = PortBackend::Direct;
    } else {
        error = "--port-io: '" + echoed(*backend) + "' is not sim, ppdev or direct";
        return false;
    }
    std::array<bool, 3> seen{};
    for (const QString& spec : p.qt.values(p.parport)) {
        if (!applyParport(spec, port.backend, port, seen, error)) {
            return false;
        }
    }
    return directBasesListed(p, port, seen, systemRoot, error);
}

// The --sim-* options, which only the simulated board takes.
bool interpretSimulation(const Parser& p, platform::PortOptions& port, std::string& error) {
    for (const QCommandLineOption* option : {&p.simChips, &p.simIdleLine, &p.simAccessNs}) {
        if (port.backend != PortBackend::Sim && p.qt.isSet(*option)) {
            error = "--" + text(option->names().constLast()) + " applies to --port-io sim only";
            return false;
        }
    }
    const auto chips = single(p, p.simChips, error);
    if (!chips) {
        return false;
    }
    if (*chips != "0" && *chips != "1" && *chips != "2") {
        error = "--sim-chips: '" + echoed(*chips) + "' is not 0, 1 or 2";
        return false;
    }
    port.sim.chips = chips->toInt();

    const auto idle = single(p, p.simIdleLine, error);
    if (!idle) {
        return false;
    }
    if (*idle != "high" && *idle != "low") {
        error = "--sim-idle-line: '" + echoed(*idle) + "' is not high or low";
        return false;
    }
    port.sim.idleLineHigh = *idle == "high";

    const auto ns = single(p, p.simAccessNs, error);
    if (!ns) {
        return false;
    }
    const auto accessNs = parseDecimal(text(*ns));
    if (!accessNs || *accessNs > kMaxSimAccessNs) {
        error = "--sim-access-ns: '" + echoed(*ns) + "' is not a whole number from 0 to " +
                std::to_string(kMaxSimAccessNs);
        return false;
    }
    port.sim.accessNs = *accessNs;
    return true;
}

// --gain-limit: a gain the chips have, as the remote command takes it.
bool interpretGainLimit(const Parser& p, std::optional<int>& code, std::string& error) {
    const auto given = single(p, p.gainLimit, error);
    if (!given || !p.qt.isSet(p.gainLimit)) {
        return given.has_value();
    }
    std::string digits = text(*given);
    if (digits.starts_with('+')) {
        digits.erase(0, 1);
    }
    double db = 0.0;
    const char* end = digits.data() + digits.size();
    const auto [ptr, ec] = std::from_chars(digits.data(), end, db);
    const double halfDb = db * 2.0;
    if (digits.empty() || ec != std::errc() || ptr != end || halfDb != std::floor(halfDb) ||
        halfDb < modPubShare::halfDbOfCode(1) || halfDb > modPubShare::halfDbOfCode(255)) {
        error = "--gain-limit: '" + echoed(*given) +
                "' is not a gain from -95.5 to 31.5 dB on the 0.5 dB grid";
        return false;
    }
    code = modPubShare::codeOfHalfDb(static_cast<int>(halfDb));
    return true;
}

bool interpret(const Parser& p, const std::string& systemRoot, RunOptions& out,
               std::string& error) {
    const QStringList positional = p.qt.positionalArguments();
    if (!positional.isEmpty()) {
        error = "unexpected argument '" + echoed(positional.first()) + "'";
        return false;
    }
    if (!interpretPorts(p, systemRoot, out.port, error) ||
        !interpretSimulation(p, out.port, error)) {
        return false;
    }
    const auto trace = single(p, p.trace, error);
    if (!trace) {
        return false;
    }
    if (p.qt.isSet(p.trace) && trace->isEmpty()) {
        error = "--trace: the file name is empty";
        return false;
    }
    out.tracePath = bytesFromArgument(*trace);
    out.quitAfterStart = p.qt.isSet(p.quitAfterStart);
    out.openMonitor = p.qt.isSet(p.monitor);
    out.openMeasure = p.qt.isSet(p.measure);
    return interpretGainLimit(p, out.gainLimit, error) &&
           p.remote.interpret(p.qt, out.remote, error) &&
           p.audio.interpret(p.qt, out.port.backend, out.audio, error);
}

}  // namespace

std::string usageErrorText(const std::string& reason) {
    return "selvar: " + reason + "\nTry 'selvar --help' for more information.\n";
}

CommandLine parseCommandLine(const QStringList& given, const std::string& systemRoot) {
    // A program can be started without even its own name (argc 0). Qt refuses such a list
    // without saying why; it means the same as no options.
    const QStringList arguments = given.isEmpty() ? QStringList{QStringLiteral("selvar")} : given;
    Parser p;
    CommandLine result;
    if (!p.qt.parse(arguments)) {
        result.action = CommandLine::Action::Error;
        result.message = echoed(p.qt.errorText());
        return result;
    }
    if (p.qt.isSet(p.help)) {
        result.action = CommandLine::Action::Help;
        // The usage line names the program these arguments came from.
        result.message = usageText(QFileInfo(arguments.first()).fileName(), kDescription, p.groups);
        return result;
    }
    if (p.qt.isSet(p.listAdapters)) {
        result.action = CommandLine::Action::ListAdapters;
        return result;
    }
    if (p.qt.isSet(p.audio.list())) {
        result.action = CommandLine::Action::ListAudio;
        return result;
    }
    if (p.qt.isSet(p.version)) {
        result.action = CommandLine::Action::Version;
        result.message = "selvar " SELVAR_VERSION;
        return result;
    }
    if (!interpret(p, systemRoot, result.options, result.message)) {
        result.action = CommandLine::Action::Error;
    }
    return result;
}

}  // namespace selvar::entry
