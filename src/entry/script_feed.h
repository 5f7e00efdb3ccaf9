// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>

#include "control/instrument.h"
#include "remote/script_runner.h"

class QSocketNotifier;

namespace selvar::entry {

// A script read from its descriptor only when the event loop says bytes (or its end) are
// there, never waiting in a read: a script that waits for input (a FIFO with no writer yet, a
// pipe left open, a terminal) or never ends (/dev/zero) leaves the program answering
// termination signals and SCPI clients. Replies go to standard output, errors to standard
// error.
class ScriptFeed : public QObject {
    Q_OBJECT
  public:
    struct Outcome {
        int status = 0;  // 1 once a line queued an error, the script or a reply failed
        bool exitRequested = false;
        bool outputGone = false;  // standard output's reader went away: end the run now
    };

    // Opens the script ("-": standard input); null with the reason when it cannot be read.
    // `ended` is called once, when the script has ended, and not from within this call.
    static std::unique_ptr<ScriptFeed> open(const std::string& path,
                                            control::Instrument& instrument,
                                            std::function<void(const Outcome&)> ended,
                                            std::string& error);
    ~ScriptFeed() override;

    // The measurement's side of the program; set before the event loop runs the script.
    void setMeasurements(remote::MeasurementHost* measurements) {
        runner_.setMeasurements(measurements);
    }

  private:
    ScriptFeed(int fd, std::string name, control::Instrument& instrument,
               std::function<void(const Outcome&)> ended);
    void readSome();
    void writeReply(std::string_view line);
    void end();

    int fd_;
    std::string name_;
    remote::ScriptRunner runner_;
    std::function<void(const Outcome&)> ended_;
    QSocketNotifier* notifier_;
    Outcome outcome_;
    bool outputFailed_ = false;  // said once; later replies are dropped
};

}  // namespace selvar::entry
