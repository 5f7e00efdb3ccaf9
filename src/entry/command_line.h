// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>
#include <optional>
#include <string>

#include "entry/audio_options.h"
#include "entry/remote_options.h"
#include "platform/port_options.h"

namespace selvar::entry {

// What the program runs with, as the command line chose it.
struct RunOptions {
    platform::PortOptions port;
    std::string tracePath;        // empty: no trace
    bool quitAfterStart = false;  // close the entry window as soon as it is shown
    bool openMonitor = false;     // show the bus monitor at start-up
    bool openMeasure = false;     // show the measurement window at start-up
    RemoteOptions remote;
    AudioOptions audio;
    std::optional<int> gainLimit;  // the highest gain code any channel may be sent; none: no limit
};

struct CommandLine {
    enum class Action { Run, Help, Version, Error, ListAdapters, ListAudio };
    Action action = Action::Run;
    RunOptions options;
    // Help: the usage text. Version: the version line. Error: the reason, one line.
    std::string message;
};

// Exit status of a bad option or value.
inline constexpr int kUsageExitStatus = 2;
// Largest --sim-access-ns: a millisecond per access already makes start-up take seconds.
inline constexpr long long kMaxSimAccessNs = 1'000'000;

// What a usage error prints on standard error: the reason and where to read more. The whole
// usage would bury the one line that says what went wrong.
std::string usageErrorText(const std::string& reason);

// Parses the arguments (the first is the program's name) without touching the window system,
// so help, version and usage errors work without a display. Direct I/O base addresses are
// checked against the parallel ports the system lists under systemRoot ("/" but in tests).
CommandLine parseCommandLine(const QStringList& arguments, const std::string& systemRoot = "/");

}  // namespace selvar::entry
