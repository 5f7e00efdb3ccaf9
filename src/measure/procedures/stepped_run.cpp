// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/procedures/stepped_run.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "measure/audio/audio_port.h"
#include "measure/dsp/generators.h"
#include "measure/dsp/levels.h"
#include "measure/procedures/results.h"

namespace selvar::measure {

namespace {

constexpr double kRunSeconds = 2.0;           // a run's body at least, unless the steps run out
constexpr double kSettleSeconds = 0.02;       // left unmeasured after the latency
constexpr double kProbeSeconds = 0.5;         // its drift is then good to about a ppm
constexpr double kLatencyMarginSeconds = 0.05;
// Output less than this far above the path's noise is too faint to follow the timing in.
constexpr double kAudibleAboveNoiseDb = 30.0;
constexpr double kMinCorrelation = 0.3;
constexpr auto kLevelPeriod = std::chrono::milliseconds(33);
constexpr int kMarkerCode = 192;  // 0 dB

std::size_t framesOf(double seconds, double rate) {
    return std::size_t(std::llround(seconds * rate));
}

}  // namespace

double stimulusDbfs(int code) {
    return std::min(-6.0, -10.0 - idealGainDb(code));
}

std::size_t measureFrames(int code, double sampleRate) {
    return framesOf(stimulusDbfs(code) + idealGainDb(code) < -90.0 ? 1.0 : 0.1, sampleRate);
}

SteppedRun::SteppedRun(Setup setup, std::vector<Step> steps, StepDone stepDone)
    : setup_(std::move(setup)), steps_(std::move(steps)), stepDone_(std::move(stepDone)) {
    const double rate = setup_.port->sampleRate();
    markerCode_ = setup_.dut ? std::min(kMarkerCode, setup_.dut->highestCode()) : kMarkerCode;
    for (const Step& step : steps_) {
        totalFrames_ += double(step.measureFrames) + kSettleSeconds * rate;
    }
    RunPlan probe;
    probe.body.left.assign(framesOf(kProbeSeconds, rate), 0.0F);
    probe.body.right = probe.body.left;
    probe.maxLatencySeconds = kLongestCardLatencySeconds;
    probe.faint.emplace_back(0, probe.body.frames());  // silence, nothing to follow
    probe.markerAmplitude = dsp::dbfsToAmplitude(stimulusDbfs(markerCode_));
    probe.events.push_back({0, [this] { setCodes({markerCode_, markerCode_}); }});
    runner_ = std::make_unique<MarkedRunner>(*setup_.port, *setup_.stream, *setup_.cache,
                                             std::move(probe));
}

SteppedRun::~SteppedRun() = default;

double SteppedRun::fraction() const {
    if (totalFrames_ <= 0.0) {
        return 1.0;
    }
    const double running = probing_ || !runner_ ? 0.0 : runFrames_ * runner_->fraction();
    return std::min(1.0, (doneFrames_ + running) / totalFrames_);
}

void SteppedRun::setCodes(const std::array<int, kChannels>& codes) {
    if (setup_.dut == nullptr) {
        return;
    }
    for (const Channel channel : {Channel::Left, Channel::Right}) {
        const int code = codes[std::size_t(index(channel))];
        if (code >= 0 && setup_.dut->code(channel) != code) {
            setup_.dut->setCode(channel, code);
        }
    }
}

void SteppedRun::tellLevels() {
    const auto now = Clock::now();
    if (setup_.levels && now - lastLevels_ >= kLevelPeriod) {
        lastLevels_ = now;
        const auto [left, right] = runner_->recentLevels();
        setup_.levels(left, right);
    }
}

bool SteppedRun::advance(Clock::time_point deadline) {
    while (!over_) {
        if (finished_) {
            if (!deliver(deadline)) {
                return false;
            }
            continue;
        }
        const bool finished = runner_->advance(deadline);
        tellLevels();
        if (!finished) {
            return false;
        }
        finishRun();
        if (Clock::now() >= deadline) {
            break;
        }
    }
    return over_;
}

void SteppedRun::finishRun() {
    const RunCapture& run = runner_->capture();
    retries_ += run.retries;
    if (runner_->gaveUp()) {
        problem_ = "the sound card kept dropping or inserting frames";
    } else if (run.markerCorrelation < kMinCorrelation) {
        problem_ = "the test signal did not come back: check the cables and the levels";
    }
    if (problem_) {
        over_ = true;
    } else if (probing_) {
        probing_ = false;
        latency_ = std::max<std::int64_t>(0, run.latencyFrames);
        driftPpm_ = run.driftPpm;
        faintDbfs_ = noiseDbfs(run) + kAudibleAboveNoiseDb;
        lead_ = std::size_t(latency_) + framesOf(kSettleSeconds, setup_.port->sampleRate());
        startNextRun();
    } else {
        finished_ = std::move(runner_);
        delivered_ = 0;
    }
}

// The finished run's steps, one at a time so that a slice ends at its deadline; false while
// some are left.
bool SteppedRun::deliver(Clock::time_point deadline) {
    const RunCapture& run = finished_->capture();
    while (delivered_ < runSteps_) {
        if (delivered_ > 0 && Clock::now() >= deadline) {
            return false;
        }
        const Step& step = steps_[nextStep_ + delivered_];
        stepDone_(nextStep_ + delivered_,
                  StepWindow{run, segmentStart_[delivered_] + lead_, step.measureFrames});
        ++delivered_;
    }
    finished_.reset();
    nextStep_ += runSteps_;
    doneFrames_ += runFrames_;
    startNextRun();
    return true;
}

void SteppedRun::startNextRun() {
    if (nextStep_ >= steps_.size()) {
        over_ = true;
        return;
    }
    const double rate = setup_.port->sampleRate();
    std::size_t count = 0;
    for (double body = 0.0; nextStep_ + count < steps_.size() && body < kRunSeconds * rate;
         ++count) {
        body += double(lead_ + steps_[nextStep_ + count].measureFrames);
    }
    startRun(nextStep_, count);
}

// The probe's silent body as it came back: the path's noise, both channels together.
double SteppedRun::noiseDbfs(const RunCapture& probe) const {
    const std::size_t frames = framesOf(kProbeSeconds, setup_.port->sampleRate());
    double sum = 0.0;
    std::size_t count = 0;
    for (const Channel channel : {Channel::Left, Channel::Right}) {
        for (const float sample : probe.body(channel, 0, frames)) {
            sum += double(sample) * sample;
            ++count;
        }
    }
    return dsp::meanSquareToDbfs(sum / double(std::max<std::size_t>(count, 1)) + 1e-30);
}

// The expected output of a step, for the glitch search: the loudest channel's.
double SteppedRun::outputDbfs(const Step& step) const {
    double loudest = -std::numeric_limits<double>::infinity();
    for (std::size_t side = 0; side < std::size_t(kChannels); ++side) {
        const StepTone& tone = step.tones[side];
        if (tone.amplitude > 0.0) {
            const int code = step.codes[side];
            const double gain = setup_.dut == nullptr || code < 0 ? 0.0 : idealGainDb(code);
            loudest = std::max(loudest, dsp::amplitudeToDbfs(tone.amplitude) + gain);
        }
    }
    return loudest;
}

void SteppedRun::startRun(std::size_t first, std::size_t count) {
    const double rate = setup_.port->sampleRate();
    RunPlan plan;
    plan.markerAmplitude = dsp::dbfsToAmplitude(stimulusDbfs(markerCode_));
    plan.eventLatencyFrames = latency_;
    plan.expectedDriftPpm = driftPpm_;
    plan.maxLatencySeconds = double(latency_) / rate + kLatencyMarginSeconds;
    segmentStart_.clear();
    std::size_t frames = 0;
    for (std::size_t i = first; i < first + count; ++i) {
        segmentStart_.push_back(frames);
        frames += lead_ + steps_[i].measureFrames;
    }
    plan.body.left.assign(frames, 0.0F);
    plan.body.right.assign(frames, 0.0F);
    const auto bodyStart = std::int64_t(MarkedRunner::bodyStart(rate));
    plan.events.push_back({0, [this] { setCodes({markerCode_, markerCode_}); }});
    for (std::size_t i = 0; i < count; ++i) {
        const Step& step = steps_[first + i];
        const std::size_t length = lead_ + step.measureFrames;
        for (const Channel channel : {Channel::Left, Channel::Right}) {
            const StepTone& tone = step.tones[std::size_t(index(channel))];
            auto& samples = channel == Channel::Left ? plan.body.left : plan.body.right;
            dsp::renderTone({tone.frequencyHz, tone.amplitude, 0.0}, rate,
                            std::int64_t(segmentStart_[i]),
                            std::span(samples).subspan(segmentStart_[i], length));
        }
        plan.events.push_back({bodyStart + std::int64_t(segmentStart_[i]),
                               [this, codes = step.codes] { setCodes(codes); }});
        if (outputDbfs(step) < faintDbfs_) {
            plan.faint.emplace_back(segmentStart_[i], segmentStart_[i] + length);
        }
    }
    plan.events.push_back({bodyStart + std::int64_t(frames), [this] {
                               setCodes({markerCode_, markerCode_});
                           }});
    runSteps_ = count;
    runFrames_ = double(frames);
    runner_ = std::make_unique<MarkedRunner>(*setup_.port, *setup_.stream, *setup_.cache,
                                             std::move(plan));
}

}  // namespace selvar::measure
