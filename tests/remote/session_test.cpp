// SPDX-License-Identifier: GPL-3.0-or-later
#include "remote/session.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_instrument.h"

namespace selvar::remote {
namespace {

using control::Slider;
using control::Topology;
using testing::FakeInstrument;

struct Exchange {
    std::vector<std::string> replies;
    std::vector<int> errors;
    bool exit = false;
    bool refused = false;
};

Exchange send(Session& session, std::string_view bytes) {
    Exchange exchange;
    session.receive(bytes, [&](const LineResult& line) {
        if (!line.reply.empty()) {
            exchange.replies.push_back(line.reply);
        }
        exchange.errors.insert(exchange.errors.end(), line.errors.begin(), line.errors.end());
        exchange.exit = exchange.exit || line.exitRequested;
        exchange.refused = exchange.refused || line.refusedAsHttp;
    });
    return exchange;
}

struct Case {
    std::string line;
    std::string reply;  // the line's reply, "" for none
    std::vector<int> errors;
    std::vector<std::string> calls;
};

// One line on a fresh session against the dual topology, all controls at 0.
TEST(ScpiSession, AnswersEachCommandAsTheTableSays) {
    const std::string idn = "Orvane,Selvar Control,0,0.1.0";
    const Case cases[] = {
        {"*IDN?", idn, {}, {}},
        {"*idn?", idn, {}, {}},
        {"DUT1:GAIN:LEFT -10.5", "", {}, {"moveSlider 1 0 171"}},
        {"dut1:gain:left -10.5", "", {}, {"moveSlider 1 0 171"}},
        {"DUT:GAIN:LEFT -1.05E1", "", {}, {"moveSlider 1 0 171"}},
        {"  :DUT2:GAIN:RIGHT\t+0.0 ", "", {}, {"moveSlider 2 1 192"}},
        {"DUT1:GAIN:LEFT -10.3", "", {-224}, {}},
        {"DUT1:GAIN:LEFT -10.50000000000000000001", "", {-224}, {}},
        {"DUT1:GAIN:LEFT 31.7", "", {-224}, {}},
        {"DUT1:GAIN:LEFT 32", "", {-222}, {}},
        {"DUT1:GAIN:LEFT -96.5", "", {-222}, {}},
        {"DUT1:GAIN:LEFT 1e999999", "", {-222}, {}},
        {"DUT1:GAIN:LEFT 1e-999999", "", {-224}, {}},
        {"DUT1:GAIN:LEFT -96", "", {}, {"moveSlider 1 0 0"}},
        {"DUT1:GAIN:LEFT -inf", "", {}, {"moveSlider 1 0 0"}},
        {"DUT1:GAIN:RIGH NINF", "", {}, {"moveSlider 1 1 0"}},
        {"DUT1:GAIN:LEFT -9.9E37", "", {}, {"moveSlider 1 0 0"}},
        {"DUT1:GAIN:GANG -99e+36", "", {}, {"moveSlider 1 2 0"}},
        {"DUT1:GAIN:LEFT -9.8E37", "", {-222}, {}},
        {"DUT1:GAIN:PAN -9.9E37", "", {-222}, {}},
        {"DUT1:GAIN:LEFT MAX", "", {}, {"moveSlider 1 0 255"}},
        {"DUT1:GAIN:LEFT minimum", "", {}, {"moveSlider 1 0 0"}},
        {"DUT1:GAIN:GANG -10.5", "", {}, {"moveSlider 1 2 342"}},
        {"DUT1:GAIN:GANG MAX", "", {}, {"moveSlider 1 2 510"}},
        {"DUT1:GAIN:PAN -127.5", "", {}, {"moveSlider 1 3 -255"}},
        {"DUT1:GAIN:PAN 0.5", "", {}, {"moveSlider 1 3 1"}},
        {"DUT1:GAIN:PAN NINF", "", {-224}, {}},
        {"DUT1:GAIN:PAN 128", "", {-222}, {}},
        {"DUT1:CODE:LEFT 171", "", {}, {"moveSlider 1 0 171"}},
        {"DUT1:CODE:RIGH 1.0", "", {}, {"moveSlider 1 1 1"}},
        {"DUT1:CODE:LEFT 1.5", "", {-224}, {}},
        {"DUT1:CODE:LEFT 256", "", {-222}, {}},
        {"DUT1:GAIN:LEFT", "", {-109}, {}},
        {"DUT1:GAIN:LEFT 1,2", "", {-108}, {}},
        {"DUT1:GAIN:LEFT 'x'", "", {-104}, {}},
        {"DUT1:GAIN:LEFT abc", "", {-224}, {}},
        {"DUT1:GAIN:LEFT -10 DB", "", {}, {"moveSlider 1 0 172"}},
        {"DUT1:GAIN:LEFT -10.5dB", "", {}, {"moveSlider 1 0 171"}},
        {"DUT1:GAIN:PAN 1.5db", "", {}, {"moveSlider 1 3 3"}},
        {"DUT1:GAIN:LEFT -10 V", "", {-131}, {}},
        {"DUT1:GAIN:LEFT -9.9E37 V", "", {-131}, {}},
        {"DUT1:CODE:LEFT 10 DB", "", {-131}, {}},
        {"MUTE 1 dB", "", {-131}, {}},
        {"DUT1:GAIN:LEFT -10 DB x", "", {-102}, {}},
        {"DUT1:GAIN:LEFT DEF", "", {}, {"moveSlider 1 0 0"}},
        {"DUT1:GAIN:GANG default", "", {}, {"moveSlider 1 2 0"}},
        {"DUT1:GAIN:PAN DEF", "", {}, {"moveSlider 1 3 0"}},
        {"DUT1:GAIN:LEFT -10.3;:SYST:ERR?",
         "-224,\"Illegal parameter value;-10.3 dB is not on the 0.5 dB grid\"",
         {-224},
         {}},
        {"DUT1:GAIN:PAN 128dB;:SYST:ERR?",
         "-222,\"Data out of range;128 dB is outside -127.5..127.5 dB\"",
         {-222},
         {}},
        {"PORT LPT4;:SYST:ERR?",
         "-224,\"Illegal parameter value;LPT4 is not LPT1|LPT2|LPT3\"",
         {-224},
         {}},
        {"DUT1:GAIN:LEFT 1e", "", {-102}, {}},
        {"DUT1:GAIN:LEFT? MAX", "", {-108}, {}},
        {"DUT1:GAIN:LEF 0", "", {-113}, {}},
        {"DUT1:GAIN:LEFT0 0", "", {-113}, {}},
        {"DUT3:GAIN:LEFT 0", "", {-114}, {}},
        {"*FOO?\nSYST:ERR?", "-113,\"Undefined header;*FOO?\"", {-113}, {}},
        {"DUT1::GAIN:LEFT 0", "", {-102}, {}},
        {"DUT1:MAXA", "", {}, {"setMaxAtten 1"}},
        {"DUT2:UNITY", "", {}, {"set0dB 2"}},
        {"DUT1:MAXA?", "", {-113}, {}},
        {"DUT1:MAXA 1", "", {-108}, {}},
        {"DUT1:READ?", "171,-1", {}, {"interrogate 1"}},
        {"BUS:LENG?", "0", {}, {}},
        {"MUTE ON", "", {}, {"setPin 0 1"}},
        {"MUTE 0", "", {}, {"setPin 0 0"}},
        {"ZCDETECT 1", "", {}, {"setPin 1 1"}},
        {"MUTE 2", "", {-224}, {}},
        {"MUTE?", "0", {}, {}},
        {"DUT1:RAMP:TOP -10", "", {}, {"enterRampField 1 0 '-10'"}},
        {"DUT1:RAMP:TOP -10.5 dB", "", {}, {"enterRampField 1 0 '-10.5'"}},
        {"DUT1:RAMP:STEP 1", "", {}, {"enterRampField 1 2 '1'"}},
        {"DUT1:RAMP:DEL 2MS", "", {}, {"enterRampField 1 3 '2'"}},
        {"DUT1:RAMP:DEL 2 dB", "", {-131}, {}},
        {"DUT1:RAMP:TOP MIN", "", {}, {"enterRampField 1 0 '-96.0'"}},
        {"DUT1:RAMP:BOTT DEF", "", {}, {"enterRampField 1 1 '-30'"}},
        {"DUT1:RAMP:STEP MAX", "", {}, {"enterRampField 1 2 '3.0'"}},
        {"DUT1:RAMP:DEL DEF", "", {}, {"enterRampField 1 3 '5'"}},
        {"DUT1:RAMP:DEL 3;:SYST:ERR?",
         "-222,\"Data out of range;delay 3 replaced by 0 ms\"",
         {-222},
         {"enterRampField 1 3 '3'"}},
        {"DUT1:RAMP:STEP 0.7", "", {-222}, {"enterRampField 1 2 '0.7'"}},
        {"DUT1:RAMP:TOP 40", "", {-222}, {"enterRampField 1 0 '40'"}},
        {"DUT1:RAMP:STEP 'a;\"b';:SYST:ERR?",
         "-222,\"Data out of range;step a;\"\"b replaced by 0.5 dB\"",
         {-222},
         {"enterRampField 1 2 'a;\"b'"}},
        {"DUT1:RAMP:DEL?", "0.0", {}, {}},
        {"DUT1:RAMP:TARG GANG", "", {}, {"selectRampTarget 1 3"}},
        {"DUT1:RAMP:TARG PAN", "", {-224}, {}},
        {"DUT1:RAMP:TARG?", "NONE", {}, {}},
        {"DUT2:RAMP:UP", "", {}, {"ramp 2 up"}},
        {"DUT1:WIND SHOW", "", {}, {"showPanel 1 1"}},
        {"DUT1:WINDOW?", "HIDE", {}, {}},
        {"DUT1:PAN SHOW", "", {}, {"showPanel 1 1"}},
        {"DUT1:PANEL?", "HIDE", {}, {}},
        {"TOP SING", "", {}, {"selectTopology 0"}},
        {"TOPOLOGY?", "DUAL", {}, {}},
        {"PORT LPT2", "", {}, {"selectPort 1"}},
        {"PORT?", "LPT1", {}, {}},
        {"PORT LPT4", "", {-224}, {}},
        {"PORT 1", "", {-104}, {}},
        {"*RST", "", {}, {"resetAll"}},
        {"*FOO", "", {-113}, {}},
        {"*ESE 256", "", {-222}, {}},
        {"*ESE 1.5", "", {-224}, {}},
        {"*TST?", "0", {}, {}},
        {"SYST:VERS?", "1999.0", {}, {}},
        {"SYSTEM:ERROR?", "0,\"No error\"", {}, {}},
        {"SYST:ERR:NEXT?", "0,\"No error\"", {}, {}},
        {"SYST:ERR:COUN?", "0", {}, {}},
        {"SYST:ERR:ALL?", "0,\"No error\"", {}, {}},
        {"DUT1:GAIN:LEFT 99;:DUT1:CODE:LEFT 1.5;:SYST:ERR:ALL?;COUN?",
         "-222,\"Data out of range;99 dB is outside -96..31.5 dB\","
         "-224,\"Illegal parameter value;1.5 is not on the 1 grid\";0",
         {-222, -224},
         {}},
        {"*OPT?", "SIM,GPIO", {}, {}},
        {"", "", {}, {}},
        {" ; ;", "", {}, {}},
        {"'unterminated", "", {-102}, {}},
        {"\x01", "", {-102}, {}},
        // Several commands on one line, and the path rule between them.
        {"*IDN?;*OPC?", idn + ";1", {}, {}},
        {"DUT1:RAMP:TARG LEFT;BOTT -30;:DUT1:RAMP:DOWN",
         "",
         {},
         {"selectRampTarget 1 1", "enterRampField 1 1 '-30'", "ramp 1 down"}},
        {"DUT2:GAIN:LEFT 0;RIGH 0", "", {}, {"moveSlider 2 0 192", "moveSlider 2 1 192"}},
        {"DUT1:RAMP:TOP 1;TOP 2", "", {}, {"enterRampField 1 0 '1'", "enterRampField 1 0 '2'"}},
        {"DUT2:GAIN:LEFT 0;TOP SING", "", {}, {"moveSlider 2 0 192", "selectTopology 0"}},
        {"DUT1:GAIN:LEFT 1;*RST;RIGH 1",
         "",
         {},
         {"moveSlider 1 0 194", "resetAll", "moveSlider 1 1 194"}},
        // An execution error lets the line go on; a command error ends it.
        {"DUT1:GAIN:LEFT 99;*OPC?", "1", {-222}, {}},
        {"*IDN?;FOO;*RST", idn, {-113}, {}},
    };
    for (const Case& c : cases) {
        FakeInstrument instrument;
        Session session(instrument);
        const Exchange exchange = send(session, c.line + "\n");
        const std::vector<std::string> replies =
            c.reply.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.reply};
        EXPECT_EQ(exchange.replies, replies) << c.line;
        EXPECT_EQ(exchange.errors, c.errors) << c.line;
        EXPECT_EQ(instrument.calls, c.calls) << c.line;
    }
}

TEST(ScpiSession, QueriesAnswerTheValueLabelsReading) {
    FakeInstrument instrument;
    instrument.sliders = {{{1, Slider::Left}, 0}, {{1, Slider::Right}, 171},
                          {{1, Slider::Gang}, 1}, {{1, Slider::Pan}, -255},
                          {{2, Slider::Gang}, 0}, {{2, Slider::Right}, 255}};
    Session session(instrument);
    const Exchange exchange =
        send(session, "DUT1:GAIN:LEFT?;RIGH?;GANG?;PAN?\nDUT2:GAIN:GANG?;RIGH?;:DUT1:CODE:RIGH?\n");
    EXPECT_EQ(exchange.replies,
              (std::vector<std::string>{"-9.9E37;-10.5;-96.0;-127.5", "-9.9E37;31.5;171"}));
}

TEST(ScpiSession, RefusesDut2CommandsInTheSingleTopology) {
    FakeInstrument instrument;
    instrument.currentTopology = Topology::Single;
    Session session(instrument);
    const Exchange exchange =
        send(session, "DUT2:GAIN:LEFT 0\nDUT2:GAIN:LEFT?\nDUT1:GAIN:LEFT 0;RIGH?\n");
    EXPECT_EQ(exchange.errors, (std::vector<int>{-221, -221}));
    EXPECT_EQ(exchange.replies, (std::vector<std::string>{"-9.9E37"}));
    EXPECT_EQ(instrument.calls, (std::vector<std::string>{"moveSlider 1 0 192"}));
}

// A gain for DUT2 while the last read-back found one chip still runs, and says it reached none.
TEST(ScpiSession, AGainForDut2OnAOneChipChainRunsAndQueuesHardwareMissing) {
    const std::string missing = "-241,\"Hardware missing;chain holds 1 chip\"";
    const Case cases[] = {
        {"DUT2:GAIN:RIGH 0;:SYST:ERR?", missing, {-241}, {"moveSlider 2 1 192"}},
        {"DUT2:CODE:LEFT 7", "", {-241}, {"moveSlider 2 0 7"}},
        {"DUT2:MAXA", "", {-241}, {"setMaxAtten 2"}},
        {"DUT2:GAIN:LEFT 99", "", {-222}, {}},
        {"DUT2:GAIN:LEFT?", "-9.9E37", {}, {}},
        {"DUT1:GAIN:LEFT 0", "", {}, {"moveSlider 1 0 192"}},
    };
    for (const Case& c : cases) {
        FakeInstrument instrument;
        instrument.chain = 16;
        Session session(instrument);
        const Exchange exchange = send(session, c.line + "\n");
        EXPECT_EQ(exchange.replies,
                  c.reply.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.reply})
            << c.line;
        EXPECT_EQ(exchange.errors, c.errors) << c.line;
        EXPECT_EQ(instrument.calls, c.calls) << c.line;
    }
}

// A setup file's outcome is its SCPI error, with the reason after the semicolon.
TEST(ScpiSession, SetupFilesQueueTheirOutcomeWithTheReason) {
    using Status = control::SetupFileResult::Status;
    struct SetupCase {
        std::string line;
        control::SetupFileResult result;
        std::string reply;
        std::vector<std::string> calls;
    };
    const SetupCase cases[] = {
        {"MMEM:STOR:STAT \"a.json\"", {}, "0,\"No error\"", {"saveSetup a.json"}},
        {"MMEMory:LOAD:STATe 'b c.json'", {}, "0,\"No error\"", {"loadSetup b c.json"}},
        {"MMEM:LOAD:STAT \"gone\"",
         {Status::NotFound, "No such file or directory"},
         "-256,\"File name not found;No such file or directory\"",
         {"loadSetup gone"}},
        {"MMEM:LOAD:STAT \"x\"",
         {Status::Refused, "not JSON"},
         "-257,\"File name error;not JSON\"",
         {"loadSetup x"}},
        {"MMEM:STOR:STAT \"/ro/x\"",
         {Status::NotWritten, "Read-only file system"},
         "-250,\"Mass storage error;Read-only file system\"",
         {"saveSetup /ro/x"}},
        {"MMEM:LOAD:STAT x", {}, "-104,\"Data type error;the file name is a quoted string\"", {}},
        {"MMEMory:STORe:RESults \"r.csv\"", {}, "0,\"No error\"", {"saveResults r.csv"}},
        {"MMEM:STOR:REP \"/gone/r.pdf\"",
         {Status::NotFound, "No such file or directory"},
         "-256,\"File name not found;No such file or directory\"",
         {"saveReport /gone/r.pdf"}},
        {"MMEM:STOR:RES \"/ro/r.csv\"",
         {Status::NotWritten, "Read-only file system"},
         "-257,\"File name error;Read-only file system\"",
         {"saveResults /ro/r.csv"}},
    };
    for (const SetupCase& c : cases) {
        FakeInstrument instrument;
        instrument.setupResult = c.result;
        Session session(instrument);
        const Exchange exchange = send(session, c.line + "\nSYST:ERR?\n");
        EXPECT_EQ(exchange.replies, std::vector<std::string>{c.reply}) << c.line;
        EXPECT_EQ(instrument.calls, c.calls) << c.line;
    }
}

TEST(ScpiSession, AFailingGestureIsAnExecutionErrorAndNoReply) {
    FakeInstrument instrument;
    instrument.failing = true;
    Session session(instrument);
    const Exchange exchange = send(session, "DUT1:READ?;*OPC?\n");
    EXPECT_EQ(exchange.replies, (std::vector<std::string>{"1"}));
    EXPECT_EQ(exchange.errors, (std::vector<int>{-200}));
}

}  // namespace
}  // namespace selvar::remote
