#pragma once

#include <QObject>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "control/instrument.h"
#include "entry/remote_options.h"

namespace selvar::remote {
class ScpiServer;
}

namespace selvar::entry {

// The front ends a run was asked for, over the started program: the SCPI server and the
// script. `end` ends the run as closing the entry window does (SYSTem:EXIT, or a windowless
// script run that has nothing left to serve).
class RemoteRun {
  public:
    RemoteRun(const RemoteOptions& options, control::Instrument& instrument,
              std::function<void()> end);
    ~RemoteRun();
    RemoteRun(const RemoteRun&) = delete;
    RemoteRun& operator=(const RemoteRun&) = delete;

    // Opens the script and starts serving; the script runs once the event loop runs. False
    // with the reason when either cannot be done.
    bool start(std::string& error);
    // 1 once the script has queued an error, else 0.
    int status() const { return status_; }

  private:
    bool listen(std::string& error);
    void runScript();

    const RemoteOptions& options_;
    control::Instrument& instrument_;
    std::function<void()> end_;
    QObject context_;  // for the queued script start
    std::unique_ptr<remote::ScpiServer> server_;
    std::ifstream scriptFile_;
    int status_ = 0;
};

}  // namespace selvar::entry
