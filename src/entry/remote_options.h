// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCommandLineOption>
#include <optional>
#include <string>
#include <vector>

class QCommandLineParser;

namespace selvar::entry {

// How the program is driven from outside: a SCPI server, a script, no windows.
struct RemoteOptions {
    std::optional<int> scpiPort;      // 0: any free port
    std::vector<std::string> listen;  // addresses to serve on; empty: loopback only
    int idleTimeoutS = 600;           // a client idle this long is closed; 0: never
    bool noGui = false;
    std::string scriptPath;  // empty: no script; "-": standard input
};

// The remote options of the command line, kept apart from the port options.
class RemoteOptionSet {
  public:
    std::vector<const QCommandLineOption*> options() const {
        return {&scpiPort_, &scpiListen_, &scpiIdleTimeout_, &noGui_, &script_};
    }
    // False with the reason when a value or a combination is wrong.
    bool interpret(const QCommandLineParser& parser, RemoteOptions& out, std::string& error) const;

  private:
    QCommandLineOption scpiPort_{"scpi-port",
                                 "Serve SCPI on TCP port N (1 to 65535, 0: a free one, said on "
                                 "standard error), on 127.0.0.1 and ::1 only. Default: off.",
                                 "N"};
    QCommandLineOption scpiListen_{"scpi-listen",
                                   "Serve SCPI on ADDR instead of the loopback addresses; "
                                   "repeatable. Anyone who can reach ADDR controls the chips.",
                                   "ADDR"};
    QCommandLineOption scpiIdleTimeout_{
        "scpi-idle-timeout",
        "Close a SCPI client that has sent nothing and has no reply pending for S seconds "
        "(0 to 1000000; 0: never), freeing its place. Default: 600.",
        "S"};
    QCommandLineOption noGui_{"no-gui",
                              "Show no window and need no display; needs --scpi-port or --script."};
    QCommandLineOption script_{"script",
                               "Run the SCPI lines of FILE (-: standard input) after the start-up; "
                               "exit status 1 if any queued an error.",
                               "FILE|-"};
};

}  // namespace selvar::entry
