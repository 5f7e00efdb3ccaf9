// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "measure/procedures/marked_run.h"

namespace selvar::measure {

struct StepTone {
    double frequencyHz = 1000.0;
    double amplitude = 0.0;  // peak; 0 leaves the channel silent
};

// One step of a stepped measurement: the codes the chip is set to and the tones played.
struct Step {
    std::array<int, kChannels> codes{-1, -1};  // -1 leaves that channel's code as it is
    std::array<StepTone, kChannels> tones{};
    std::size_t measureFrames = 0;
};

// Where a step's measured part lies once its run is in.
struct StepWindow {
    const RunCapture& run;
    std::size_t bodyFrame = 0;
    std::size_t frames = 0;

    std::span<const float> samples(Channel channel) const {
        return run.body(channel, bodyFrame, frames);
    }
    double driftPpm() const { return run.driftPpm; }
};

// Steps measured in runs of a few seconds each: a short run first finds the latency, then each
// run plays its steps back to back, sets every step's codes as its stimulus reaches the chip,
// and leaves the latency and 20 ms after each change unmeasured. The markers go through the
// chip at a moderate code, so they are found whatever codes the steps set. A run with a glitch
// is repeated (MarkedRunner); one that gave up, or whose markers did not come back, ends the
// whole with problem() set.
class SteppedRun {
  public:
    using Clock = std::chrono::steady_clock;
    using StepDone = std::function<void(std::size_t index, const StepWindow& window)>;

    struct Setup {
        audio::AudioPort* port = nullptr;  // open
        PortStream* stream = nullptr;
        dsp::FftCache* cache = nullptr;
        DutAccess* dut = nullptr;  // null for the loop-through, with no chip in the path
        // The input's level while running, at most 30 times a second.
        std::function<void(double leftDbfs, double rightDbfs)> levels;
    };

    SteppedRun(Setup setup, std::vector<Step> steps, StepDone stepDone);
    ~SteppedRun();

    // True once over: every step measured, or problem() says why not.
    bool advance(Clock::time_point deadline);
    const std::optional<std::string>& problem() const { return problem_; }
    std::size_t stepsDone() const { return nextStep_; }
    // Of the whole, counted in frames to play: 0 .. 1.
    double fraction() const;
    int retries() const { return retries_; }
    std::int64_t latencyFrames() const { return latency_; }

  private:
    void startRun(std::size_t first, std::size_t count);
    void finishRun();
    bool deliver(Clock::time_point deadline);
    void startNextRun();
    void setCodes(const std::array<int, kChannels>& codes);
    double outputDbfs(const Step& step) const;
    double noiseDbfs(const RunCapture& probe) const;
    void tellLevels();

    Setup setup_;
    std::vector<Step> steps_;
    StepDone stepDone_;
    std::unique_ptr<MarkedRunner> runner_;
    std::unique_ptr<MarkedRunner> finished_;  // a run whose steps are being handed over
    std::size_t delivered_ = 0;
    bool probing_ = true;
    std::size_t nextStep_ = 0;               // the first step not yet measured
    std::size_t runSteps_ = 0;               // steps in the run in progress
    std::vector<std::size_t> segmentStart_;  // body frame of each step of the run in progress
    std::int64_t latency_ = 0;
    double driftPpm_ = 0.0;
    double faintDbfs_ = -90.0;
    std::size_t lead_ = 0;
    int markerCode_ = 192;
    int retries_ = 0;
    double totalFrames_ = 0.0;
    double doneFrames_ = 0.0;
    double runFrames_ = 0.0;
    Clock::time_point lastLevels_{};
    std::optional<std::string> problem_;
    bool over_ = false;
};

// The stimulus a code is measured with: -6 dBFS, or lower so that the output stays at -10 dBFS.
double stimulusDbfs(int code);
// How long a code is measured: 100 ms, or 1 s where the output falls below -90 dBFS.
std::size_t measureFrames(int code, double sampleRate);

}  // namespace selvar::measure
