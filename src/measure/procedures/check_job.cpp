// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/procedures/check_job.h"

#include <algorithm>
#include <cmath>

#include "measure/audio/audio_port.h"
#include "measure/procedures/marked_run.h"

namespace selvar::measure {
namespace {

// Below this the markers were not heard: no cable, or a level lost in the noise.
constexpr double kMinCorrelation = 0.3;

}  // namespace

// One run in progress, and what the port has carried across the check's runs.
struct CheckJob::Run {
    PortStream stream;
    dsp::FftCache cache;
    std::unique_ptr<MarkedRunner> runner;
};

CheckJob::CheckJob(SessionState& state, int dut, std::string description, ReplyHandler done)
    : ProcedureJob(std::move(description), std::move(done)),
      state_(state),
      dut_(dut),
      run_(std::make_unique<Run>()) {
    setProgressHook([&state](const Progress& progress) { state.progress(progress); });
}

CheckJob::~CheckJob() = default;

int CheckJob::referenceCode() const {
    return std::min(192, dut().highestCode());
}

void setBoth(DutAccess& dut, int code) {
    dut.setCode(Channel::Left, code);
    dut.setCode(Channel::Right, code);
}

bool CheckJob::open() {
    Failure failure = Failure::None;
    audio::AudioPort* port = state_.bench.portFor(dut_, failure);
    if (port == nullptr) {
        fail(failure == Failure::None ? Failure::NoDevice : failure, "no audio device");
        return false;
    }
    holdDut(state_.bench.dut(dut_));
    holdPort(port);
    port->open();
    sampleRate_ = port->sampleRate();
    port_ = port;
    opened_ = true;
    begin();
    return true;
}

void CheckJob::startRun(dsp::StereoBuffer body, std::function<void(DutAccess&)> setup,
                        std::vector<Gesture> gestures, FaintSpans faint) {
    RunPlan plan;
    plan.body = std::move(body);
    plan.faint = std::move(faint);
    if (state_.calibration) {
        plan.eventLatencyFrames =
            std::llround(state_.calibration->latencyMs * sampleRate_ / 1000.0);
    }
    const auto bodyStart = std::int64_t(MarkedRunner::bodyStart(sampleRate_));
    plan.events.push_back({0, [this, setup = std::move(setup)] { setup(dut()); }});
    for (Gesture& gesture : gestures) {
        plan.events.push_back({bodyStart + std::int64_t(gesture.frame),
                               [this, act = std::move(gesture.act)] { act(dut()); }});
    }
    std::stable_sort(plan.events.begin(), plan.events.end(),
                     [](const RunEvent& a, const RunEvent& b) { return a.frame < b.frame; });
    bodyFrames_ = plan.body.frames();
    run_->runner =
        std::make_unique<MarkedRunner>(*port_, run_->stream, run_->cache, std::move(plan));
}

// Progress in hundredths of a run; the input's levels at most 30 times a second.
void CheckJob::report(const MarkedRunner& runner) {
    const Progress now{.done = 100 * runsDone_ + int(std::lround(100.0 * runner.fraction())),
                       .total = 100 * runCount_,
                       .code = {},
                       .secondsLeft = 0.0};
    if (now.done != progress().done || now.total != progress().total) {
        setProgress(now);
    }
    const auto time = Clock::now();
    if (time - lastLevels_ >= std::chrono::milliseconds(34)) {
        lastLevels_ = time;
        const auto [left, right] = runner.recentLevels();
        state_.levels(left, right);
    }
}

bool CheckJob::work(Clock::time_point deadline) {
    if (!opened_ && !open()) {
        return false;
    }
    while (!ended() && run_->runner) {
        MarkedRunner& runner = *run_->runner;
        const bool over = runner.advance(deadline);
        report(runner);
        if (!over) {
            return true;
        }
        if (runner.gaveUp()) {
            fail(Failure::NotAvailable, "the sound card kept dropping or inserting frames");
            return false;
        }
        const RunCapture& capture = runner.capture();
        dsp::StereoBuffer body;
        for (const auto& [channel, samples] :
             {std::pair{Channel::Left, &body.left}, std::pair{Channel::Right, &body.right}}) {
            const auto span = capture.body(channel, 0, bodyFrames_);
            samples->assign(span.begin(), span.end());
        }
        // The analyses read the body where the plan put things: all of it must be there.
        if (capture.markerCorrelation < kMinCorrelation || body.frames() < bodyFrames_) {
            fail(Failure::NotAvailable,
                 "the test signal did not come back: check the cables and the levels");
            return false;
        }
        run_->runner.reset();
        ++runsDone_;
        captured(body);
    }
    return !ended();
}

}  // namespace selvar::measure
