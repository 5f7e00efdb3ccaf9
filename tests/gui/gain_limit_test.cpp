// SPDX-License-Identifier: GPL-3.0-or-later
// The operator's gain limit holds on every way a gain reaches the chips: no frame sent after it
// is set carries a code above it, a refused move leaves the sliders where they were, says so in
// the status line and, from a remote command, in the error queue.

#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

#include "entry_test_program.h"
#include "platform/toolkit/toolkit.h"
#include "remote/session.h"

namespace selvar::entry::testing {
namespace {

using Slider = panel::frmMain::GainSlider;

// The highest code any gain frame of the accesses carried to either channel of either chip.
int highestCodeSent(const std::vector<Access>& accesses) {
    int highest = -1;
    for (const chiplink::BusEvent& e : selvar::testing::decodeBus(accesses, 0x378)) {
        if (e.kind == chiplink::BusEvent::Kind::Gain) {
            for (const int word : {e.dut2Word, e.dut1Word}) {
                highest = std::max({highest, word & 0xff, word >> 8});
            }
        }
    }
    return highest;
}

struct Remote {
    explicit Remote(TestProgram& t) : session(t.program().instrument()) {}
    remote::LineResult run(const std::string& line) { return session.runLine(line); }
    remote::Session session;
};

TEST(GainLimit, NoPathSendsAGainAboveTheLimit) {
    struct Case {
        const char* path;
        const char* before;  // remote commands run before the limit is set
        const char* limit;   // LIMit:GAIN's parameter
        std::function<remote::LineResult(TestProgram&, Remote&, const QString& dir)> act;
        int highestSent;  // the highest code a frame carried after the limit was set; -1: none
        std::vector<int> errors;
        std::string detail;         // of the one error, if any
        std::string status;         // a line the status line then holds
        std::pair<int, int> codes;  // DUT1 Left and Right afterwards
    };
    const auto key = [](const char* slider, Qt::Key k) {
        return [slider, k](TestProgram& t, Remote&, const QString&) {
            QTest::keyClick(&t.control<platform::Slider>(t.dut1(), slider), k);
            return remote::LineResult{};
        };
    };
    const auto command = [](const char* line) {
        return [line](TestProgram&, Remote& r, const QString&) { return r.run(line); };
    };
    const Case cases[] = {
        {"Left slider to its end",
         "",
         "6",
         key("sldLt0", Qt::Key_End),
         204,
         {},
         "",
         "Gain limit +6.0 dB; Drag held: DUT1 Left +31.5 dB",
         {204, 0}},
        {"Gang slider to its end, through the coupling",
         "",
         "6",
         key("sldLvl0", Qt::Key_End),
         204,
         {},
         "",
         "Gain limit +6.0 dB; Drag held: DUT1 Left +31.5 dB",
         {204, 204}},
        {"Pan slider to its end, through the coupling",
         "DUT1:GAIN:GANG 4",
         "6",
         key("sldSkw0", Qt::Key_End),
         204,
         {},
         "",
         "Gain limit +6.0 dB; Drag held: DUT1 Right +31.5 dB",
         {196, 204}},
        {"ramp up",
         "DUT1:GAIN:LEFT 0;:DUT1:RAMP:TARG LEFT;TOP 10;BOTT 0;STEP 0.5;DEL 1",
         "6",
         [](TestProgram& t, Remote& r, const QString&) {
             const remote::LineResult result = r.run("DUT1:RAMP:UP");
             EXPECT_TRUE(finishJob(t.program()));
             return result;
         },
         204,
         {},
         "",
         "Gain limit +6.0 dB; Ramp stopped before: DUT1 Left +6.5 dB",
         {204, 0}},
        {"0.0 (dB) button",
         "",
         "-6",
         [](TestProgram& t, Remote&, const QString&) {
             t.control<QPushButton>(t.dut1(), "btn0dB").click();
             return remote::LineResult{};
         },
         -1,
         {},
         "",
         "Gain limit -6.0 dB; \"0.0 (dB)\" refused: DUT1 Left 0.0 dB",
         {0, 0}},
        {"remote UNITy",
         "",
         "-6",
         command("DUT1:UNIT"),
         -1,
         {-222},
         "DUT1 Left would be 0.0 dB, above the gain limit -6.0 dB",
         "Gain limit -6.0 dB; \"0.0 (dB)\" refused: DUT1 Left 0.0 dB",
         {0, 0}},
        {"setup load",
         "DUT1:GAIN:RIGH 10;:MMEM:STOR:STAT \"s.json\";:DUT1:MAXA",
         "6",
         command("MMEM:LOAD:STAT \"s.json\""),
         -1,
         {-257},
         "DUT1 Right +10.0 dB is above the gain limit +6.0 dB",
         "Gain limit +6.0 dB",
         {0, 0}},
        {"remote LEFT",
         "",
         "6",
         command("DUT1:GAIN:LEFT 6.5"),
         -1,
         {-222},
         "DUT1 Left would be +6.5 dB, above the gain limit +6.0 dB",
         "Gain limit +6.0 dB; Move refused: DUT1 Left +6.5 dB",
         {0, 0}},
        {"remote RIGHt code",
         "DUT1:GAIN:LEFT 6",
         "6",
         command("DUT1:CODE:RIGH 205"),
         -1,
         {-222},
         "DUT1 Right would be +6.5 dB, above the gain limit +6.0 dB",
         "Gain limit +6.0 dB; Move refused: DUT1 Right +6.5 dB",
         {204, 0}},
        {"remote GANG",
         "",
         "6",
         command("DUT1:GAIN:GANG 6.5"),
         -1,
         {-222},
         "DUT1 Left would be +6.5 dB, above the gain limit +6.0 dB",
         "Gain limit +6.0 dB; Move refused: DUT1 Left +6.5 dB",
         {0, 0}},
        {"remote PAN",
         "DUT1:GAIN:GANG 5",
         "6",
         command("DUT1:GAIN:PAN 6"),
         -1,
         {-222},
         "DUT1 Right would be +8.0 dB, above the gain limit +6.0 dB",
         "Gain limit +6.0 dB; Move refused: DUT1 Right +8.0 dB",
         {202, 202}},
        {"remote move within the limit",
         "",
         "6",
         command("DUT1:GAIN:RIGH 6"),
         204,
         {},
         "",
         "Gain limit +6.0 dB",
         {0, 204}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString previous = QDir::currentPath();
        QDir::setCurrent(dir.path());
        TestProgram t;
        Remote remote(t);
        EXPECT_EQ(remote.run(c.before).errors, std::vector<int>{});
        EXPECT_EQ(remote.run(std::string("LIMit:GAIN ") + c.limit).errors, std::vector<int>{});
        t.log().accesses.clear();

        const remote::LineResult result = c.act(t, remote, dir.path());
        QDir::setCurrent(previous);

        EXPECT_EQ(highestCodeSent(t.log().accesses), c.highestSent);
        EXPECT_EQ(result.errors, c.errors);
        if (!c.errors.empty()) {
            EXPECT_EQ(result.details, std::vector<std::string>{c.detail});
        }
        const std::string status = t.control<QLabel>(t.entry(), "lblStatus").text().toStdString();
        EXPECT_NE(status.find(c.status), std::string::npos) << status;
        EXPECT_NE(status.find(std::string("Gain limit ") + (c.limit[0] == '-' ? "" : "+") +
                              c.limit + ".0 dB"),
                  std::string::npos)
            << status;
        EXPECT_EQ(t.dut1().gainCodes().left, c.codes.first);
        EXPECT_EQ(t.dut1().gainCodes().right, c.codes.second);
    }
}

// Setting the limit: on the gains' grid and range, refused below a code a chip holds, OFF lifts
// it; the query answers as the gain queries do, and a measurement sees it as the highest code.
TEST(GainLimit, IsSetQueriedAndRefusedAsTheGainsAre) {
    struct Case {
        const char* lines;  // run in order, one per '\n'
        std::vector<int> errors;
        std::string detail;  // of the last error, if any
        std::string reply;   // of LIMit:GAIN? afterwards
        int highest;         // the code a measurement may go up to
    };
    const Case cases[] = {
        {"", {}, "", "OFF", 255},
        {"LIMit:GAIN 6 DB", {}, "", "6.0", 204},
        {"LIM:GAIN -95.5\nLIM:GAIN OFF", {}, "", "OFF", 255},
        {"LIM:GAIN MAX", {}, "", "31.5", 255},
        {"LIM:GAIN -95.5", {}, "", "-95.5", 1},
        {"LIM:GAIN 6\nLIM:GAIN DEF", {}, "", "OFF", 255},
        {"LIM:GAIN 6.3", {-224}, "", "OFF", 255},
        {"LIM:GAIN 32", {-222}, "", "OFF", 255},
        {"LIM:GAIN -96", {-222}, "", "OFF", 255},
        {"DUT1:GAIN:LEFT 6\nLIM:GAIN 5.5", {-221}, "DUT1 Left is at +6.0 dB", "OFF", 255},
        {"TOP DUAL\nDUT2:GAIN:RIGH 1\nLIM:GAIN 6\nLIM:GAIN 0",
         {-221},
         "DUT2 Right is at +1.0 dB",
         "6.0",
         204},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines);
        TestProgram t;
        Remote remote(t);
        std::vector<int> errors;
        std::string detail;
        for (const QString& line : QString(c.lines).split('\n', Qt::SkipEmptyParts)) {
            const remote::LineResult result = remote.run(line.toStdString());
            errors.insert(errors.end(), result.errors.begin(), result.errors.end());
            if (!result.details.empty()) {
                detail = result.details.back();
            }
        }
        EXPECT_EQ(errors, c.errors);
        if (!c.detail.empty()) {
            EXPECT_EQ(detail, c.detail);
        }
        EXPECT_EQ(remote.run("LIMit:GAIN?").reply, c.reply);
        EXPECT_EQ(t.program().instrument().highestCode(), c.highest);
    }
}

}  // namespace
}  // namespace selvar::entry::testing
