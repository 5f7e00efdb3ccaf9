// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/procedures/marked_run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

#include "../audio/sim_harness.h"
#include "measure/dsp/generators.h"
#include "measure/dsp/levels.h"
#include "measure/procedures/level_core.h"

namespace selvar::measure {
namespace {

using audio::SimAudioPort;
using audio::test::kRate;

// Repeats 3 frames of the capture at chosen capture frames, as a card's buffer slip does.
class SlippingPort final : public audio::AudioPort {
  public:
    SlippingPort(SimAudioPort& inner, std::vector<std::int64_t> at)
        : inner_(inner), at_(std::move(at)) {}
    void open(double rate) override { inner_.open(rate); }
    void close() override { inner_.close(); }
    bool isOpen() const override { return inner_.isOpen(); }
    double sampleRate() const override { return inner_.sampleRate(); }
    std::size_t play(std::span<const float> frames) override { return inner_.play(frames); }
    std::size_t capture(std::span<float> out) override {
        std::size_t n = 0;
        while ((n + 1) * 2 <= out.size()) {
            if (repeat_ > 0) {
                out[2 * n] = out[2 * n - 2];
                out[2 * n + 1] = out[2 * n - 1];
                --repeat_, ++n;
                continue;
            }
            std::size_t want = out.size() / 2 - n;
            if (next_ < at_.size()) {
                want = std::min<std::size_t>(want, std::size_t(at_[next_] - taken_));
            }
            const std::size_t got = inner_.capture(out.subspan(2 * n, 2 * want));
            n += got, taken_ += std::int64_t(got);
            if (got < want) {
                break;
            }
            if (next_ < at_.size() && taken_ == at_[next_] && n > 0) {
                repeat_ = 3, ++next_;
            }
        }
        return n;
    }

  private:
    SimAudioPort& inner_;
    std::vector<std::int64_t> at_;
    std::size_t next_ = 0;
    std::int64_t taken_ = 0;
    int repeat_ = 0;
};

audio::SimAnalogOptions analog(double latencyMs, double driftPpm = 0.0,
                               std::optional<double> glitchEveryMs = {}) {
    audio::SimAnalogOptions options;
    options.latencyMs = latencyMs;
    options.driftPpm = driftPpm;
    options.glitchEveryMs = glitchEveryMs;
    return options;
}

RunPlan plain(dsp::StereoBuffer body) {
    RunPlan plan;
    plan.body = std::move(body);
    return plan;
}

RunCapture runToEnd(MarkedRunner& runner) {
    for (int i = 0; i < 100000 && !runner.advance(MarkedRunner::Clock::time_point::max()); ++i) {
    }
    return runner.capture();
}

dsp::StereoBuffer tones(double dbfs, double seconds) {
    const double a = dsp::dbfsToAmplitude(dbfs);
    return dsp::twoTones(a, a, kRate, std::size_t(seconds * kRate));
}

// The latency to the sample, the drift to a few ppm, and a tone's level in 100 ms to a
// hundredth of a dB even on a drifting capture clock.
TEST(MarkedRun, FindsLatencyDriftAndLevel) {
    struct Row {
        double latencyMs, driftPpm;
        std::int64_t latencyFrames;
    };
    // With drift the marker lies between capture frames (600.12 at 12.5 ms and +200 ppm).
    for (const Row row : {Row{5, 0, 240}, Row{12.5, 200, 600}, Row{0.5, -200, 24}, Row{40, 0, 1920},
                          Row{40.02, 0, 1921}}) {
        SCOPED_TRACE(testing::Message() << row.latencyMs << " ms, " << row.driftPpm << " ppm");
        audio::test::FakeBoard board;
        SimAudioPort sim(board, analog(row.latencyMs, row.driftPpm));
        sim.setRoute(SimAudioPort::Route::LoopThrough);
        sim.open(kRate);
        PortStream stream;
        dsp::FftCache cache;
        MarkedRunner runner(sim, stream, cache, plain(tones(-20.0, 1.0)));
        const RunCapture run = runToEnd(runner);
        EXPECT_EQ(run.latencyFrames, row.latencyFrames);
        EXPECT_NEAR(run.driftPpm, row.driftPpm, 5.0);
        EXPECT_EQ(run.retries, 0);
        for (const auto& [channel, hz] : {std::pair{Channel::Left, dsp::kLeftToneHz},
                                          std::pair{Channel::Right, dsp::kRightToneHz}}) {
            const ToneReading tone = readTone(run.body(channel, 43200, 4800), kRate, hz);
            EXPECT_NEAR(tone.levelDbfs, -20.0, 0.01);
            EXPECT_FALSE(tone.floorLimited);
        }
    }
}

// A code set by an event lands at its frame of the stimulus, also in a run that follows
// another on the same port (whose capture starts behind by the first run's unwaited tail).
TEST(MarkedRun, EventsLandAtTheirFrame) {
    audio::test::FakeBoard board;
    board.reg = audio::test::codes(192, 192);
    SimAudioPort sim(board, analog(5.0));
    sim.open(kRate);
    PortStream stream;
    dsp::FftCache cache;
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        RunPlan plan = plain(tones(-10.0, 0.4));
        plan.eventLatencyFrames = 240;
        plan.events.push_back({0, [&] { board.reg = audio::test::codes(192, 192); }});
        const std::size_t change = 9600;  // 0.2 s into the body, both channels -20 dB
        plan.events.push_back({std::int64_t(MarkedRunner::bodyStart(kRate) + change),
                               [&] { board.reg = audio::test::codes(152, 152); }});
        MarkedRunner runner(sim, stream, cache, std::move(plan));
        const RunCapture capture = runToEnd(runner);
        EXPECT_NEAR(
            readTone(capture.body(Channel::Left, change - 4800, 4800), kRate, dsp::kLeftToneHz)
                .levelDbfs,
            -10.0, 0.01);
        EXPECT_NEAR(readTone(capture.body(Channel::Right, change, 4800), kRate, dsp::kRightToneHz)
                        .levelDbfs,
                    -30.0, 0.01);
    }
}

// 100 slips of 3 frames in one attempt are each found, and the attempt is repeated; a card
// that slips in every attempt is given up after three repeats.
TEST(MarkedRun, RepeatsARunWithGlitches) {
    audio::test::FakeBoard board;
    std::vector<std::int64_t> slips;
    for (int i = 0; i < 100; ++i) {
        slips.push_back(4800 + 1200 * i);
    }
    SimAudioPort sim(board);
    SlippingPort port(sim, slips);
    port.open(kRate);
    PortStream stream;
    dsp::FftCache cache;
    MarkedRunner runner(port, stream, cache, plain(tones(-10.0, 2.6)));
    const RunCapture run = runToEnd(runner);
    EXPECT_FALSE(runner.gaveUp());
    EXPECT_EQ(run.retries, 1);
    ASSERT_EQ(run.retriedFor.size(), 100U);
    for (const dsp::Glitch& glitch : run.retriedFor) {
        EXPECT_EQ(glitch.frames, 3);
    }
    EXPECT_TRUE(run.glitches.empty());

    SimAudioPort always(board, analog(5.0, 0.0, 300.0));
    always.open(kRate);
    PortStream again;
    MarkedRunner hopeless(always, again, cache, plain(tones(-10.0, 1.0)));
    EXPECT_EQ(runToEnd(hopeless).retries, 3);
    EXPECT_TRUE(hopeless.gaveUp());
}

}  // namespace
}  // namespace selvar::measure
