// SPDX-License-Identifier: GPL-3.0-or-later
// Single measurements at one code: the gain, THD or THD+N of one channel.
#include "measure/dsp/generators.h"
#include "measure/dsp/levels.h"
#include "measure/procedures/channel_analysis.h"
#include "measure/procedures/stepped_job.h"

namespace selvar::measure {

namespace {

enum class Quantity { Gain, Thd, Thdn };

// The gain is measured on the sweep's tone of that channel, so that it reads as the sweep
// does; distortion at 1 kHz, as it is usually quoted.
constexpr double kDistortionToneHz = 1000.0;

std::string what(Quantity quantity) {
    switch (quantity) {
        case Quantity::Gain:
            return " gain ";
        case Quantity::Thd:
            return " THD ";
        default:
            return " THD+N ";
    }
}

class CodeQueryJob final : public SteppedJob {
  public:
    CodeQueryJob(SessionState& state, int dut, Channel channel, std::optional<int> code,
                 Quantity quantity, ReplyHandler done)
        : SteppedJob(state,
                     dutName(dut) + what(quantity) + (channel == Channel::Left ? "Left" : "Right"),
                     std::move(done), dut),
          channel_(channel),
          code_(code),
          quantity_(quantity) {}

  private:
    std::vector<Step> plan() override {
        const int code = code_.value_or(dut().code(channel_));
        if (code < 0 || code >= kCodes) {
            fail(Failure::NotAvailable, "no code " + std::to_string(code));
            return {};
        }
        if (code > dut().highestCode()) {
            fail(Failure::NotAvailable,
                 "code " + std::to_string(code) + " is above the gain limit");
            return {};
        }
        code_ = code;
        const auto side = std::size_t(index(channel_));
        toneHz_ = quantity_ != Quantity::Gain ? kDistortionToneHz
                  : channel_ == Channel::Left ? dsp::kLeftToneHz
                                              : dsp::kRightToneHz;
        Step step{.codes = {dut().code(Channel::Left), dut().code(Channel::Right)},
                  .tones = {},
                  .measureFrames = measureFrames(code, sampleRate())};
        step.codes[side] = code;
        step.tones[side] = {toneHz_, dsp::dbfsToAmplitude(stimulusDbfs(code))};
        return {step};
    }

    void measured(std::size_t, const StepWindow& window) override {
        const ChannelAnalysis analysis = analyseChannel(cache_, window.samples(channel_),
                                                        sampleRate(), toneHz_, window.driftPpm());
        const ChannelMeasurement result =
            measurement(analysis, stimulusDbfs(*code_), state_.cardGainDb(channel_));
        switch (quantity_) {
            case Quantity::Gain:
                value_ = result.gainDb.value_or(kNotMeasured);
                break;
            case Quantity::Thd:
                value_ = *result.thdDb;
                break;
            case Quantity::Thdn:
                value_ = *result.thdnDb;
                break;
        }
    }

    void completed() override {
        finish({.failure = Failure::None, .detail = {}, .values = {value_}});
    }

    std::optional<int> codeOf(std::size_t) const override { return code_; }

    Channel channel_;
    std::optional<int> code_;
    Quantity quantity_;
    double toneHz_ = kDistortionToneHz;
    double value_ = kNotMeasured;
};

}  // namespace

std::unique_ptr<MeasurementJob> MeasurementSession::measureGain(int dut, Channel channel,
                                                                std::optional<int> code,
                                                                ReplyHandler done) {
    return std::make_unique<CodeQueryJob>(*state_, dut, channel, code, Quantity::Gain,
                                          std::move(done));
}

std::unique_ptr<MeasurementJob> MeasurementSession::measureThd(int dut, Channel channel,
                                                               std::optional<int> code,
                                                               bool plusNoise, ReplyHandler done) {
    return std::make_unique<CodeQueryJob>(
        *state_, dut, channel, code, plusNoise ? Quantity::Thdn : Quantity::Thd, std::move(done));
}

}  // namespace selvar::measure
