// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "control/instrument.h"
#include "remote/scpi_errors.h"
#include "remote/scpi_lexer.h"

namespace selvar::remote {

class MeasurementHost;
struct Deferred;

// What a command handler gets: the instrument, the connection's status, the DUT its header
// named (1 when it named none), its first parameter, if any, and all of them; and the
// measurement's side of the program (null where there is none: every audio command then
// finds no hardware).
struct Call {
    control::Instrument& instrument;
    StatusModel& status;
    int dut = 1;
    const Param* param = nullptr;
    std::span<const Param> params = {};
    MeasurementHost* measurements = nullptr;
};

struct Outcome {
    int error = error::kNone;
    std::optional<std::string> reply = std::nullopt;
    bool exit = false;        // SYSTem:EXIT: the front end decides how the program ends
    std::string detail = {};  // follows the error's message in the queue
    // A query answered by a job (a measurement): its reply or error comes when the job ends,
    // and the connection waits for it before anything else it sent runs.
    std::shared_ptr<Deferred> deferred = nullptr;
};

// Filled in by the job behind a deferred reply, as it ends.
struct Deferred {
    std::optional<Outcome> outcome;
};

// A handler carries what it acts on (which slider, field or line) in itself, as the enumerator
// the instrument takes: no number stands in for a control on the way.
using Handler = std::function<Outcome(const Call&)>;

// One node of the command tree. The name is the long form; its upper-case head is the short.
struct Node {
    std::string_view name;
    std::vector<Node> children = {};
    Handler set = {};
    Handler query = {};
    bool setTakesParam = false;  // else the command form takes none
    bool numbered = false;       // DUT<n>: takes a suffix 1 or 2
    // The parameters the query form takes: at least queryMin, at most queryMax.
    int queryMin = 0;
    int queryMax = 0;
    // The command runs as a job (a measurement, a sweep): it waits for any job running and
    // holds its connection while its own runs.
    bool job = false;
};

const Node& commandTree();
Node settable(std::string_view name, Handler set, Handler query);  // a value and its query
Node rampField(std::string_view name, control::RampField field);   // DUT<n>:RAMP:TOP and kin
const std::vector<Node>& commonCommands();  // *IDN? and the other IEEE 488.2 commands
std::vector<Node> systemCommands();         // the SYSTem subtree
std::vector<Node> massMemoryCommands();     // the MMEMory subtree: saved setups
Node audioCommands();                       // the AUDio subtree: the sound card
Node calibrationFile(bool save);            // MMEMory:STORe|LOAD:CALibration
std::vector<Node> measurementCommands();    // DUT<n>:MEASure and DUT<n>:SWEep
std::vector<Node> limitCommands();          // the LIMit subtree: the gain limit

}  // namespace selvar::remote
