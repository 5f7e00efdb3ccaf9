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
         "s.scpi:2: -113,\"Undefined header\"\ns.scpi:4: -224,\"Illegal parameter value\"\n",
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
    for (const Case& c : cases) {
        testing::FakeInstrument instrument;
        std::istringstream in(c.script);
        std::ostringstream out;
        std::ostringstream err;
        const ScriptResult result = runScript(in, "s.scpi", instrument, out, err);
        EXPECT_EQ(out.str(), c.out) << c.script.substr(0, 40);
        EXPECT_EQ(err.str(), c.err) << c.script.substr(0, 40);
        EXPECT_EQ(result.status, c.status) << c.script.substr(0, 40);
        EXPECT_EQ(result.exitRequested, c.script.find("EXIT") != std::string::npos);
        EXPECT_EQ(instrument.calls, c.calls) << c.script.substr(0, 40);
    }
}

}  // namespace
}  // namespace selvar::remote
