// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>

#include "control/instrument.h"
#include "entry/remote_options.h"

namespace selvar::remote {
class ScpiServer;
class MeasurementHost;
}  // namespace selvar::remote

namespace selvar::entry {

class ScriptFeed;

// The front ends a run was asked for, over the started program: the SCPI server and the
// script. `end` ends the run as closing the entry window does (SYSTem:EXIT, a windowless
// script run that has nothing left to serve, or a script whose output's reader went away).
class RemoteRun {
  public:
    RemoteRun(const RemoteOptions& options, control::Instrument& instrument,
              std::function<void()> end);
    ~RemoteRun();
    RemoteRun(const RemoteRun&) = delete;
    RemoteRun& operator=(const RemoteRun&) = delete;

    // Opens the script and starts serving; the script is read once the event loop runs. False
    // with the reason when either cannot be done.
    bool start(std::string& error);
    // 1 once the script has queued an error or could not be read or answered, else 0.
    int status() const { return status_; }
    // The measurement's side of the program, handed to the front ends start() makes.
    void setMeasurements(remote::MeasurementHost* measurements) { measurements_ = measurements; }

  private:
    bool listen(std::string& error);

    const RemoteOptions& options_;
    control::Instrument& instrument_;
    std::function<void()> end_;
    QObject context_;  // for the server's exit request
    std::unique_ptr<remote::ScpiServer> server_;
    std::unique_ptr<ScriptFeed> script_;
    remote::MeasurementHost* measurements_ = nullptr;
    int status_ = 0;
};

}  // namespace selvar::entry
