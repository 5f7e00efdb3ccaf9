// SPDX-License-Identifier: GPL-3.0-or-later
// The measurement commands through the whole program: its sound card, its one job slot (the
// status line and the stop button) and what a client hears when something goes wrong.

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>

#include "entry/program_measurements.h"
#include "entry_test_program.h"
#include "measure/audio/sim_audio_port.h"
#include "remote/session.h"

namespace selvar::entry {
namespace {

using testing::TestProgram;
using testing::unpacedBoard;

// Keeps what the port saw where the test can read it once the program has gone.
class SharedLog final : public platform::AccessObserver {
  public:
    explicit SharedLog(std::shared_ptr<selvar::testing::AccessRecorder> log)
        : log_(std::move(log)) {}
    void onPortSelected(std::uint16_t base) override { log_->onPortSelected(base); }
    void onRead(std::uint16_t address, std::uint8_t value) override {
        log_->onRead(address, value);
    }
    void onWrite(std::uint16_t address, std::uint8_t value) override {
        log_->onWrite(address, value);
    }

  private:
    std::shared_ptr<selvar::testing::AccessRecorder> log_;
};

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
        bool option;                                  // *OPT? names AUDIO
    };
    const Case cases[] = {
        {"stopped",
         {},
         "DUT1:SWEep:GAIN",
         [](TestProgram& p) { p.entry().stopButton().click(); },
         "-200,\"Execution error;aborted\"",
         true},
        {"device lost",
         {},
         "DUT1:SWEep:GAIN",
         [](TestProgram& p) { p.program().audio().simulatedPort()->loseDevice(); },
         "-240,\"Hardware error",
         true},
        {"no device",
         devices("none", ""),
         "DUT1:MEAS:GAIN? LEFT",
         {},
         "-241,\"Hardware missing;no audio device\"",
         false},
        {"cabled to the other board",
         devices("card", "card"),
         "DUT2:MEAS:GAIN? LEFT",
         {},
         "-221,\"Settings conflict;audio is cabled to DUT1\"",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestProgram p(unpacedBoard(), c.audio);
        const std::vector<std::string> options = p.program().instrument().options();
        EXPECT_EQ(std::count(options.begin(), options.end(), "AUDIO"), c.option ? 1 : 0);
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
            EXPECT_TRUE(status.contains("%")) << status.toStdString();
            c.meanwhile(p);
        }
        ASSERT_TRUE(testing::finishJob(p.program()));
        session.resume(onLine);
        ASSERT_EQ(errors.size(), 1U);
        EXPECT_EQ(errors.front().substr(0, c.error.size()), c.error) << errors.front();
        EXPECT_FALSE(session.held());
    }
}

// Closing the program mid-sweep ends the sweep first, while the chips are still there: it puts
// back the codes it found, so a board is never left where the sweep happened to be.
TEST(MeasurementWiring, ClosingMidSweepPutsTheCodesBack) {
    auto log = std::make_shared<selvar::testing::AccessRecorder>();
    {
        TestProgram p(std::make_unique<platform::SimPortProvider>(unpacedBoard()),
                      std::make_unique<SharedLog>(log));
        p.program().instrument().moveSlider(1, control::Slider::Left, 100);
        remote::Session session(p.program().instrument(), remote::Session::JobWait::Hold);
        session.setMeasurements(&p.program().measurements());
        session.receive("DUT1:SWEep:GAIN\n", [](const remote::LineResult&) {});
        QTest::qWait(100);
        ASSERT_TRUE(p.program().jobs().running());
        log->accesses.clear();
    }
    std::vector<std::string> frames = selvar::testing::busEvents(log->accesses, log->base);
    ASSERT_FALSE(frames.empty());
    EXPECT_TRUE(frames.back().ends_with(" 0064")) << frames.back();  // Left 100, Right 0
}

}  // namespace
}  // namespace selvar::entry
