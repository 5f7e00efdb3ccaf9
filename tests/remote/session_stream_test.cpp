// SPDX-License-Identifier: GPL-3.0-or-later
// A session over a byte stream: line assembly, the over-long line, the HTTP guard, and the error
// queue and status registers that live as long as the connection.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_instrument.h"
#include "remote/session.h"

namespace selvar::remote {
namespace {

using testing::FakeInstrument;

struct Stream {
    FakeInstrument instrument;
    Session session{instrument};
    std::vector<std::string> replies;
    std::vector<int> errors;
    bool refused = false;

    void send(std::string_view bytes) {
        session.receive(bytes, [this](const LineResult& line) {
            if (!line.reply.empty()) {
                replies.push_back(line.reply);
            }
            errors.insert(errors.end(), line.errors.begin(), line.errors.end());
            refused = refused || line.refusedAsHttp;
        });
    }
};

TEST(ScpiStream, AssemblesLinesFromPiecesAndBothLineEnds) {
    Stream stream;
    for (const char* piece : {"*OP", "C?\r", "\n*IDN?\n", "DUT1:MA", "XA"}) {
        stream.send(piece);
    }
    EXPECT_EQ(stream.replies, (std::vector<std::string>{"1", "Orvane,Selvar Control,0,0.1.0"}));
    EXPECT_TRUE(stream.instrument.calls.empty()) << "a partial line must not run";
    stream.session.finish([](const LineResult&) {});
    EXPECT_EQ(stream.instrument.calls, (std::vector<std::string>{"setMaxAtten 1"}));
}

TEST(ScpiStream, DiscardsAnOverlongLineToItsEndAndStaysUsable) {
    const std::string longest = "*OPC?" + std::string(Session::kMaxLine - 5, ' ');
    struct Case {
        std::vector<std::string> pieces;
        std::vector<std::string> replies;
        std::vector<int> errors;
    };
    const Case cases[] = {
        {{longest + "\n"}, {"1"}, {}},
        {{longest + "\r\n"}, {"1"}, {}},
        {{longest + " \n*OPC?\n"}, {"1"}, {-363}},
        {{longest, " ", std::string(100000, 'x'), "\r", "\n*OPC?\n"}, {"1"}, {-363}},
        {{longest + "\rx\n"}, {}, {-363}},
        {{"DUT1:MAXA" + std::string(Session::kMaxLine, ' '), "\n"}, {}, {-363}},
        // Too long to judge by its end: "HTTP/" inside it does not count, however it arrives.
        {{"DUT1:RAMP:TOP 'a HTTP/1.1" + std::string(Session::kMaxLine - 24, 'x') + " x'\n*OPC?\n"},
         {"1"},
         {-363}},
    };
    for (const Case& c : cases) {
        Stream whole;
        Stream byteByByte;
        for (const std::string& piece : c.pieces) {
            whole.send(piece);
            for (const char byte : piece) {
                byteByByte.send({&byte, 1});
            }
        }
        for (const Stream* stream : {&whole, &byteByByte}) {
            EXPECT_EQ(stream->replies, c.replies) << c.pieces.front().size();
            EXPECT_EQ(stream->errors, c.errors) << c.pieces.front().size();
            EXPECT_TRUE(stream->instrument.calls.empty());
        }
    }
}

TEST(ScpiStream, ALineThatLooksLikeHttpClosesAndChangesNothing) {
    const std::string cases[] = {
        "POST / HTTP/1.1\r\nHost: 127.0.0.1:5025\r\n\r\n*RST\n",
        "GET /\n*RST\n",
        "PRI * HTTP/2.0\r\n*RST\n",
        "host: evil.example\r\n*RST\n",
        "Origin: http://evil.example\n*RST\n",
        "GET /" + std::string(2 * Session::kMaxLine, 'a') + " HTTP/1.1\r\n*RST\n",
    };
    for (const std::string& bytes : cases) {
        Stream stream;
        stream.send(bytes);
        stream.send("*RST\n");
        EXPECT_TRUE(stream.refused) << bytes.substr(0, 40);
        EXPECT_TRUE(stream.session.closed());
        EXPECT_TRUE(stream.instrument.calls.empty()) << bytes.substr(0, 40);
        EXPECT_TRUE(stream.replies.empty() && stream.errors.empty());
    }
}

TEST(ScpiStream, ErrorQueueKeepsOrderAndMarksOverflowInTheNewestEntry) {
    Stream stream;
    stream.send("FOO\nDUT1:GAIN:LEFT 99\nSYST:ERR:COUNT?\nSYST:ERR?\nSYST:ERR?\nSYST:ERR?\n");
    EXPECT_EQ(stream.replies,
              (std::vector<std::string>{"2", "-113,\"Undefined header;FOO\"",
                                        "-222,\"Data out of range;99 dB is outside -96..31.5 dB\"",
                                        "0,\"No error\""}));
    for (int i = 0; i < 40; ++i) {
        stream.send("FOO\n");
    }
    stream.replies.clear();
    stream.send("SYST:ERR:COUN?\n");
    for (int i = 0; i < 32; ++i) {
        stream.send("SYST:ERR?\n");
    }
    EXPECT_EQ(stream.replies.front(), "32");
    EXPECT_EQ(stream.replies[31], "-113,\"Undefined header;FOO\"");
    EXPECT_EQ(stream.replies[32], "-350,\"Queue overflow\"");
    stream.send("SYST:ERR?\n");
    EXPECT_EQ(stream.replies.back(), "0,\"No error\"");
}

TEST(ScpiStream, StatusRegistersFollowErrorsEnablesAndClear) {
    struct Case {
        std::string lines;
        std::vector<std::string> replies;
    };
    const Case cases[] = {
        {"*ESR?\n*STB?\n", {"0", "0"}},
        {"FOO\n*STB?\n*ESR?\n*ESR?\n", {"4", "32", "0"}},  // error available, command error
        {"DUT1:CODE:LEFT 300\n*ESR?\n", {"16"}},           // execution error
        {"*ESE 32;*SRE 255;*ESE?;*SRE?\nFOO\n*STB?\n", {"32;191", "100"}},
        {"*OPC\n*ESR?\n", {"1"}},
        {"FOO\n*CLS\n*STB?;*ESR?;SYST:ERR?\n", {"0;0;0,\"No error\""}},
        {std::string(5000, 'x') + "\n*ESR?\n", {"8"}},  // input overrun: device error
    };
    for (const Case& c : cases) {
        Stream stream;
        stream.send(c.lines);
        EXPECT_EQ(stream.replies, c.replies) << c.lines.substr(0, 40);
    }
}

TEST(ScpiStream, ExitIsReportedToTheFrontEnd) {
    FakeInstrument instrument;
    Session session(instrument);
    std::vector<bool> exits;
    session.receive("*OPC?\nSYST:EXIT\n",
                    [&](const LineResult& line) { exits.push_back(line.exitRequested); });
    EXPECT_EQ(exits, (std::vector<bool>{false, true}));
}

}  // namespace
}  // namespace selvar::remote
