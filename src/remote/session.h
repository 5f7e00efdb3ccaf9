// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "control/instrument.h"
#include "remote/scpi_errors.h"

namespace selvar::remote {

struct Node;
struct Unit;
struct Outcome;
struct Deferred;
class MeasurementHost;

// What one program message unit (one command between ';') gave.
struct UnitResult {
    bool query = false;
    bool replied = false;
    std::vector<int> errors = {};
};

// What one line gave. A query's reply and an error never come from the same unit.
struct LineResult {
    std::vector<UnitResult> units = {};
    std::string reply = {};                 // the line's replies joined by ';', without terminator
    std::vector<int> errors = {};           // every error the line queued, in order
    std::vector<std::string> details = {};  // each of those errors' detail, in the same order
    bool exitRequested = false;
    bool refusedAsHttp = false;  // nothing ran; the connection must close
};

using LineHandler = std::function<void(const LineResult&)>;

// One connection's SCPI conversation: assembles lines from the bytes received, runs each line's
// commands in order against the instrument, and keeps the connection's error queue and status.
class Session {
  public:
    static constexpr std::size_t kMaxLine = 4096;  // bytes, without the terminator

    // How the session waits for a job (a ramp) that is running. Await: each command waits
    // for it where it stands (a script, read line by line). Hold: the session stops where it
    // is and resume() carries on (a network client, whose server serves the others meanwhile):
    // the connection that started the job waits with all its commands; any other goes on with
    // commands that touch no port and stops at the first that does.
    enum class JobWait { Await, Hold };
    // Bytes kept while held; a front end stops reading beyond this.
    static constexpr std::size_t kMaxHeldBytes = 64 * 1024;

    explicit Session(control::Instrument& instrument, JobWait jobWait = JobWait::Await)
        : instrument_(instrument), jobWait_(jobWait) {}

    // The measurement's side of the program; without it the audio commands find no hardware.
    void setMeasurements(MeasurementHost* measurements) { measurements_ = measurements; }

    // Runs every line the bytes complete (ended by "\n" or "\r\n") and hands its result to
    // `onLine` before the next one runs. A partial line waits for more bytes. Once a line looked
    // like HTTP the session is closed and ignores everything after it.
    void receive(std::string_view bytes, const LineHandler& onLine);
    // End of input: a last line without terminator runs too (scripts; a network front end
    // drops a partial line instead).
    void finish(const LineHandler& onLine);
    LineResult runLine(std::string_view line);

    // Whether the session stopped at a command that waits for the running job. Bytes that
    // arrive meanwhile are kept; an ABORt line among them stops the job as soon as it is read.
    bool held() const { return held_.has_value(); }
    std::size_t heldBytes() const { return backlog_.size(); }
    // Carries on from where the session stopped, as far as the running job lets it.
    void resume(const LineHandler& onLine);

    // Ignores all further input; a front end calls it from `onLine` to stop after that line.
    void close() { closed_ = true; }
    bool closed() const { return closed_; }
    const StatusModel& status() const { return status_; }

  private:
    struct Path {
        const Node* node;
        int dut;
        bool viaDut;
    };

    // A line on its way through its commands.
    struct Progress {
        std::string line;
        std::size_t pos = 0;
        Path path;
        LineResult result = {};
        std::shared_ptr<Deferred> deferred = {};  // the last unit's outcome, still to come
    };

    void receiveFrom(std::string_view bytes, const LineHandler& onLine, bool read);
    void append(std::string_view piece, const LineHandler& onLine);
    void endLine(const LineHandler& onLine);
    void advance(Progress progress, const LineHandler& onLine);
    bool runUnits(Progress& progress);  // false: held at the command at progress.pos
    bool mayRunNow(const Node& node, bool query);
    void keep(std::string_view bytes, bool read);
    UnitResult execute(const Unit& unit, Path& path, LineResult& line,
                       std::shared_ptr<Deferred>& deferred);
    void settle(Outcome outcome, UnitResult& result, LineResult& line);
    bool settleDeferred(Progress& p);  // false: held until the job answers
    void queue(int code, UnitResult& unit, LineResult& line, std::string detail = {});

    control::Instrument& instrument_;
    JobWait jobWait_;
    MeasurementHost* measurements_ = nullptr;
    bool ownsJob_ = false;  // this connection started the running job
    std::optional<Progress> held_;
    std::string backlog_;      // bytes received while held
    std::size_t scanned_ = 0;  // how far backlog_ was looked through for ABORt lines
    StatusModel status_;
    std::string pending_;
    bool discarding_ = false;
    bool closed_ = false;
};

}  // namespace selvar::remote
