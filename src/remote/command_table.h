// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "control/instrument.h"
#include "remote/scpi_errors.h"
#include "remote/scpi_lexer.h"

namespace selvar::remote {

// What a command handler gets: the instrument, the connection's status, the DUT its header
// named (1 when it named none) and its one parameter, if any.
struct Call {
    control::Instrument& instrument;
    StatusModel& status;
    int dut = 1;
    const Param* param = nullptr;
};

struct Outcome {
    int error = error::kNone;
    std::optional<std::string> reply = std::nullopt;
    bool exit = false;        // SYSTem:EXIT: the front end decides how the program ends
    std::string detail = {};  // follows the error's message in the queue
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
};

const Node& commandTree();
Node settable(std::string_view name, Handler set, Handler query);  // a value and its query
Node rampField(std::string_view name, control::RampField field);   // DUT<n>:RAMP:TOP and kin
const std::vector<Node>& commonCommands();  // *IDN? and the other IEEE 488.2 commands
std::vector<Node> systemCommands();         // the SYSTem subtree
std::vector<Node> massMemoryCommands();     // the MMEMory subtree: saved setups
std::vector<Node> limitCommands();          // the LIMit subtree: the gain limit

}  // namespace selvar::remote
