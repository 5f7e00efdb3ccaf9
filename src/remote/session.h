#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "control/instrument.h"
#include "remote/scpi_errors.h"

namespace selvar::remote {

struct Node;
struct Unit;

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

    explicit Session(control::Instrument& instrument) : instrument_(instrument) {}

    // Runs every line the bytes complete (ended by "\n" or "\r\n") and hands its result to
    // `onLine` before the next one runs. A partial line waits for more bytes. Once a line looked
    // like HTTP the session is closed and ignores everything after it.
    void receive(std::string_view bytes, const LineHandler& onLine);
    // End of input: a last line without terminator runs too (scripts; a network front end
    // drops a partial line instead).
    void finish(const LineHandler& onLine);
    LineResult runLine(std::string_view line);

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

    void append(std::string_view piece, const LineHandler& onLine);
    void endLine(const LineHandler& onLine);
    UnitResult execute(const Unit& unit, Path& path, LineResult& line);
    void queue(int code, UnitResult& unit, LineResult& line, std::string detail = {});

    control::Instrument& instrument_;
    StatusModel status_;
    std::string pending_;
    bool discarding_ = false;
    bool closed_ = false;
};

}  // namespace selvar::remote
