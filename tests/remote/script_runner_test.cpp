// SPDX-License-Identifier: GPL-3.0-or-later
#include "remote/script_runner.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "fake_instrument.h"

namespace selvar::remote {
namespace {

TEST(ScriptRunner, PrintsRepliesAndNumberedErrorsAndSaysWhetherAnyErrorWasQueued) {
    struct Case {
        std::string script;
        std::string out;
        std::string err;
        int status;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {"*OPC?\r\nDUT1:GAIN:LEFT -10.5\nDUT1:CODE:LEFT?\n",
         "1\n171\n",
         "",
         0,
         {"moveSlider 1 0 171"}},
        {"*OPC?\nFOO\n\nDUT1:GAIN:LEFT 0.3;*OPC?\n",
         "1\n1\n",
         "s.scpi:2: -113,\"Undefined header;FOO\"\n"
         "s.scpi:4: -224,\"Illegal parameter value;0.3 dB is not on the 0.5 dB grid\"\n",
         1,
         {}},
        {"DUT1:MAXA", "", "", 0, {"setMaxAtten 1"}},  // the last line needs no terminator
        {"*OPC?\nSYST:EXIT\n*RST\n", "1\n", "", 0, {}},
        {std::string(5000, ' ') + "\nDUT1:UNIT\n",
         "",
         "s.scpi:1: -363,\"Input buffer overrun\"\n",
         1,
         {"set0dB 1"}},
        {"*RST\nPOST / HTTP/1.1\n*RST\n",
         "",
         "s.scpi:2: looks like HTTP; the script stops here\n",
         1,
         {"resetAll"}},
    };
    // Whole, and a byte at a time as a slow pipe delivers it: the same lines run alike.
    for (const Case& c : cases) {
        for (const std::size_t piece : {c.script.size(), std::size_t{1}}) {
            testing::FakeInstrument instrument;
            std::string out;
            std::ostringstream err;
            ScriptRunner runner(
                "s.scpi", instrument, [&out](std::string_view line) { (out += line) += '\n'; },
                err);
            for (std::size_t at = 0; at < c.script.size() && !runner.stopped(); at += piece) {
                runner.receive(std::string_view(c.script).substr(at, piece));
            }
            runner.finish();
            const std::string what =
                c.script.substr(0, 40) + " in pieces of " + std::to_string(piece);
            EXPECT_EQ(out, c.out) << what;
            EXPECT_EQ(err.str(), c.err) << what;
            EXPECT_EQ(runner.result().status, c.status) << what;
            EXPECT_EQ(runner.result().exitRequested, c.script.find("EXIT") != std::string::npos);
            EXPECT_EQ(instrument.calls, c.calls) << what;
        }
    }
}

}  // namespace
}  // namespace selvar::remote
