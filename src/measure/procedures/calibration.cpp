// SPDX-License-Identifier: GPL-3.0-or-later
// The loop-through calibration: the sound card's own gain, noise, THD+N, crosstalk and latency,
// with its output cabled straight to its input.
#include "measure/dsp/generators.h"
#include "measure/dsp/levels.h"
#include "measure/dsp/noise.h"
#include "measure/procedures/channel_analysis.h"
#include "measure/procedures/level_core.h"
#include "measure/procedures/stepped_job.h"

namespace selvar::measure {

namespace {

constexpr double kStimulusDbfs = -10.0;
constexpr double kStepSeconds = 0.4;
constexpr std::array<double, kChannels> kToneHz{dsp::kLeftToneHz, dsp::kRightToneHz};

enum StepKind { kBoth, kLeftOnly, kRightOnly, kSilence };

class CalibrationJob final : public SteppedJob {
  public:
    CalibrationJob(SessionState& state, ReplyHandler done)
        : SteppedJob(state, "Loop-through calibration", std::move(done), std::nullopt) {}

  private:
    std::vector<Step> plan() override {
        const double amplitude = dsp::dbfsToAmplitude(kStimulusDbfs);
        const auto frames = std::size_t(kStepSeconds * sampleRate());
        const StepTone left{kToneHz[0], amplitude};
        const StepTone right{kToneHz[1], amplitude};
        const StepTone silent{};
        return {Step{.codes = {-1, -1}, .tones = {left, right}, .measureFrames = frames},
                Step{.codes = {-1, -1}, .tones = {left, silent}, .measureFrames = frames},
                Step{.codes = {-1, -1}, .tones = {silent, right}, .measureFrames = frames},
                Step{.codes = {-1, -1}, .tones = {silent, silent}, .measureFrames = frames}};
    }

    double level(const StepWindow& window, Channel channel, double toneHz) const {
        const double heardHz = toneHz / (1.0 + window.driftPpm() * 1e-6);
        return readTone(window.samples(channel), sampleRate(), heardHz).levelDbfs;
    }

    void measured(std::size_t step, const StepWindow& window) override {
        switch (step) {
            case kBoth:
                for (const Channel channel : {Channel::Left, Channel::Right}) {
                    const auto side = std::size_t(index(channel));
                    const ChannelAnalysis analysis =
                        analyseChannel(cache_, window.samples(channel), sampleRate(), kToneHz[side],
                                       window.driftPpm());
                    result_.gainDb[side] = analysis.levelDbfs - kStimulusDbfs;
                    result_.thdnDb[side] = analysis.thdnDb;
                }
                break;
            case kLeftOnly:  // what reaches Right from Left
                result_.crosstalkDb[1] = level(window, Channel::Right, kToneHz[0]) -
                                         level(window, Channel::Left, kToneHz[0]);
                break;
            case kRightOnly:
                result_.crosstalkDb[0] = level(window, Channel::Left, kToneHz[1]) -
                                         level(window, Channel::Right, kToneHz[1]);
                break;
            default:
                for (const Channel channel : {Channel::Left, Channel::Right}) {
                    result_.noiseDbfs[std::size_t(index(channel))] =
                        dsp::noiseLevelDbfs(cache_, window.samples(channel), sampleRate());
                }
        }
    }

    void completed() override {
        result_.createdAt = isoNow();
        result_.outputDevice = state_.bench.outputDevice();
        result_.inputDevice = state_.bench.inputDevice();
        result_.sampleRate = sampleRate();
        result_.latencyMs = double(latencyFrames()) * 1000.0 / sampleRate();
        state_.calibration = result_;
        state_.notify(&SessionState::Observer::calibrationChanged);
        finish({.failure = Failure::None,
                .detail = {},
                .values = {result_.gainDb[0], result_.gainDb[1], result_.latencyMs}});
    }

    Calibration result_;
};

}  // namespace

std::unique_ptr<MeasurementJob> MeasurementSession::calibrate(ReplyHandler done) {
    return std::make_unique<CalibrationJob>(*state_, std::move(done));
}

}  // namespace selvar::measure
