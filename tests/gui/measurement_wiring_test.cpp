// SPDX-License-Identifier: GPL-3.0-or-later
// The measurement commands through the whole program: its sound card, its one job slot (the
// status line and the stop button) and what a client hears when something goes wrong.

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <string>

#include "entry/program_measurements.h"
#include "entry_test_program.h"
#include "measure/audio/sim_audio_port.h"
#include "remote/session.h"

namespace selvar::entry {
namespace {

using testing::TestProgram;
using testing::unpacedBoard;

AudioOptions devices(const std::string& output, const std::string& input) {
    AudioOptions audio;
    audio.output = output;
    audio.input = input;
    return audio;
}

TEST(MeasurementWiring, RunsAsTheProgramsJobAndReportsWhatWentWrong) {
    struct Case {
        const char* name;
        AudioOptions audio;
        std::string line;
        std::function<void(TestProgram&)> meanwhile;  // while the job runs, if it does
        std::string error;                            // the start of the queued error
    };
    const Case cases[] = {
        {"stopped",
         {},
         "DUT1:SWEep:GAIN",
         [](TestProgram& p) { p.entry().stopButton().click(); },
         "-200,\"Execution error;aborted\""},
        {"device lost",
         {},
         "DUT1:SWEep:GAIN",
         [](TestProgram& p) { p.program().audio().simulatedPort()->loseDevice(); },
         "-240,\"Hardware error"},
        {"no device",
         devices("none", ""),
         "DUT1:MEAS:GAIN? LEFT",
         {},
         "-241,\"Hardware missing;no audio device\""},
        {"cabled to the other board",
         devices("card", "card"),
         "DUT2:MEAS:GAIN? LEFT",
         {},
         "-221,\"Settings conflict;audio is cabled to DUT1\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestProgram p(unpacedBoard(), c.audio);
        remote::Session session(p.program().instrument(), remote::Session::JobWait::Hold);
        session.setMeasurements(&p.program().measurements());
        std::vector<std::string> errors;
        const remote::LineHandler onLine = [&](const remote::LineResult& line) {
            for (std::size_t i = 0; i < line.errors.size(); ++i) {
                errors.push_back(remote::errorReply(line.errors[i], line.details[i]));
            }
        };
        session.receive("TOPology DUAL\n" + c.line + '\n', onLine);
        if (c.meanwhile) {
            QTest::qWait(100);
            ASSERT_TRUE(p.program().jobs().running());
            const QString status = p.control<QLabel>(p.entry(), "lblStatus").text();
            EXPECT_TRUE(status.contains("DUT1 gain sweep: code ")) << status.toStdString();
            EXPECT_TRUE(status.contains(" %")) << status.toStdString();
            c.meanwhile(p);
        }
        ASSERT_TRUE(testing::finishJob(p.program()));
        session.resume(onLine);
        ASSERT_EQ(errors.size(), 1U);
        EXPECT_EQ(errors.front().substr(0, c.error.size()), c.error) << errors.front();
        EXPECT_FALSE(session.held());
    }
}

}  // namespace
}  // namespace selvar::entry
