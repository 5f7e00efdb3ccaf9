// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

#include "control/instrument.h"
#include "remote/session.h"

namespace selvar::remote {

struct ScriptResult {
    int status = 0;  // 0 when no line queued an error, else 1
    bool exitRequested = false;
};

// Runs the SCPI lines of a script as its bytes arrive, one session for the whole script, so
// that a script read a piece at a time (a pipe, a FIFO) runs each line once it is complete and
// never holds its caller waiting for more. Each reply line goes to `reply` without terminator,
// each error the script queues to `err` as `NAME:LINE: code,"message"`. Stops after a line with
// SYSTem:EXIT. A line that grows past Session::kMaxLine is -363, as on a connection.
class ScriptRunner {
  public:
    using ReplySink = std::function<void(std::string_view line)>;

    ScriptRunner(std::string name, control::Instrument& instrument, ReplySink reply,
                 std::ostream& err);
    ScriptRunner(const ScriptRunner&) = delete;
    ScriptRunner& operator=(const ScriptRunner&) = delete;

    // Runs every line the bytes complete; a partial line waits for more.
    void receive(std::string_view bytes);
    // End of the script: a last line without terminator runs too.
    void finish();
    // A line asked to exit or looked like HTTP: nothing more runs.
    bool stopped() const { return session_.closed(); }
    // Runs nothing more, not even the rest of the bytes being received (its output is gone).
    void stop() { session_.close(); }
    const ScriptResult& result() const { return result_; }
    // The measurement's side of the program; without it the audio commands find no hardware.
    void setMeasurements(MeasurementHost* measurements) { session_.setMeasurements(measurements); }

  private:
    void onLine(const LineResult& line);

    std::string name_;
    Session session_;
    ReplySink reply_;
    std::ostream& err_;
    ScriptResult result_;
    int lineNumber_ = 0;
    LineHandler handler_;
};

}  // namespace selvar::remote
