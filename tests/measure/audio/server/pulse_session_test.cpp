// SPDX-License-Identifier: GPL-3.0-or-later
// The measurement procedures through a real sound server: the loop-through calibration and a
// gain measurement at five codes, over the null sink and its remapped monitor. With no chip in
// the loop, every code must read what the calibration found: 0 dB.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "../../procedures/session_bench.h"
#include "measure/audio/qt_audio_port.h"
#include "measure/procedures/measurement_session.h"
#include "pulse_server.h"

namespace selvar::measure {
namespace {

// The server's loop as the only sound card, cabled out to in for every board.
class PulseBench final : public AudioBench {
  public:
    audio::AudioPort* portFor(int, Failure&) override { return &port_; }
    audio::AudioPort* loopThroughPort(Failure&) override { return &port_; }
    std::unique_ptr<DutAccess> dut(int) override {
        return std::make_unique<test::RecordingDut>(board_, gestures, 255);
    }
    std::string outputDevice() const override { return "selvar_loop"; }
    std::string inputDevice() const override { return "selvar_loop_in"; }

    test::Gestures gestures;

  private:
    audio::QtAudioPort port_{"selvar_loop", "selvar_loop_in"};
    test::FakeBoard board_;
};

// Runs the job in slices as the program's job driver does, with the event loop between them
// (Qt reports the streams' state through it).
QueryReply run(std::unique_ptr<MeasurementJob> job, test::Answer& answer) {
    QElapsedTimer clock;
    clock.start();
    while (job->runSlice(control::Job::Clock::now() + std::chrono::milliseconds(4))) {
        QCoreApplication::processEvents();
        QThread::msleep(2);
        if (clock.elapsed() > 60000) {
            ADD_FAILURE() << "the job ran for a minute";
            break;
        }
    }
    EXPECT_EQ(answer.calls, 1);
    return answer.reply;
}

TEST(PulseSession, CalibratesLoopThroughAndReadsUnityGainAtFiveCodes) {
    audio::test::PulseServer server;
    ASSERT_TRUE(server.failure().empty()) << server.failure();
    PulseBench bench;
    MeasurementSession session(bench);

    // A run the server glitched (a slice held off on a busy machine) is repeated by the
    // procedure itself; a calibration that gave up on glitches is run once more.
    QueryReply calibration;
    for (int attempt = 0; attempt < 2; ++attempt) {
        test::Answer calibrated;
        calibration = run(session.calibrate(test::into(calibrated)), calibrated);
        if (calibration.failure == Failure::None) {
            break;
        }
        RecordProperty("calibration_repeated_for", calibration.detail);
    }
    ASSERT_EQ(calibration.failure, Failure::None) << calibration.detail;
    ASSERT_TRUE(session.calibration());
    // A null sink hands its frames straight to its monitor: beyond the capture's late start
    // (taken out by the run) its loop adds nothing a run can wait for.
    EXPECT_GE(session.calibration()->latencyMs, 0.0);
    EXPECT_LT(session.calibration()->latencyMs, 100.0);
    RecordProperty("latency_ms", std::to_string(session.calibration()->latencyMs));

    for (const int code : {1, 64, 128, 192, 255}) {
        for (const Channel channel : {Channel::Left, Channel::Right}) {
            SCOPED_TRACE(testing::Message() << "code " << code << " channel " << index(channel));
            test::Answer measured;
            const QueryReply reply =
                run(session.measureGain(1, channel, code, test::into(measured)), measured);
            ASSERT_EQ(reply.values.size(), 1U) << reply.detail;
            EXPECT_NEAR(reply.values[0], 0.0, 0.01);
        }
    }
}

}  // namespace
}  // namespace selvar::measure
