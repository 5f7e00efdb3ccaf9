#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "remote/instrument.h"
#include "remote/scpi_errors.h"
#include "remote/scpi_lexer.h"

namespace selvar::remote {

// What a command handler gets: the instrument, the connection's status, the DUT its header
// named (1 when it named none), the node's argument and its one parameter, if any.
struct Call {
    Instrument& instrument;
    StatusModel& status;
    int dut = 1;
    int arg = 0;
    const Param* param = nullptr;
};

struct Outcome {
    int error = error::kNone;
    std::optional<std::string> reply;
    bool exit = false;  // SYSTem:EXIT: the front end decides how the program ends
};

using Handler = Outcome (*)(const Call&);

// One node of the command tree. The name is the long form; its upper-case head is the short.
struct Node {
    std::string_view name;
    std::vector<Node> children = {};
    Handler set = nullptr;
    Handler query = nullptr;
    bool setTakesParam = false;  // else the command form takes none
    int arg = 0;                 // tells the shared handlers which slider, field or line
    bool numbered = false;       // DUT<n>: takes a suffix 1 or 2
};

const Node& commandTree();
const std::vector<Node>& commonCommands();  // *IDN? and the other IEEE 488.2 commands
std::vector<Node> systemCommands();         // the SYSTem subtree

}  // namespace selvar::remote
