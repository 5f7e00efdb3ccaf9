#pragma once

#include <iosfwd>
#include <string_view>

#include "control/instrument.h"

namespace selvar::remote {

struct ScriptResult {
    int status = 0;  // 0 when no line queued an error, else 1
    bool exitRequested = false;
};

// Runs the SCPI lines of a script, one session for the whole script: each reply line goes to
// `out`, each error the script queues to `err` as `NAME:LINE: code,"message"`. Stops after a
// line with SYSTem:EXIT.
ScriptResult runScript(std::istream& in, std::string_view name, control::Instrument& instrument,
                       std::ostream& out, std::ostream& err);

}  // namespace selvar::remote
