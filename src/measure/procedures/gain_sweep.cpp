// SPDX-License-Identifier: GPL-3.0-or-later
// The stepped gain sweep: every code the gain limit allows, both channels at once.
#include "measure/dsp/generators.h"
#include "measure/dsp/levels.h"
#include "measure/procedures/channel_analysis.h"
#include "measure/procedures/stepped_job.h"

namespace selvar::measure {

namespace {

constexpr std::array<double, kChannels> kToneHz{dsp::kLeftToneHz, dsp::kRightToneHz};

// Codes whose gain is not above the next lower measured code's; a floor-limited code has no
// gain to compare and is passed over.
std::vector<int> nonMonotonic(const SweepResult& sweep, std::size_t side) {
    std::vector<int> flagged;
    std::optional<double> below;
    for (const auto& code : sweep.codes) {
        if (!code || !code->channels[side].gainDb) {
            continue;
        }
        const double gain = *code->channels[side].gainDb;
        if (below && gain <= *below) {
            flagged.push_back(code->code);
        }
        below = gain;
    }
    return flagged;
}

class SweepJob final : public SteppedJob {
  public:
    SweepJob(SessionState& state, int dut, ReplyHandler done)
        : SteppedJob(state, dutName(dut) + " gain sweep", std::move(done), dut) {}

  private:
    std::vector<Step> plan() override {
        highest_ = std::clamp(dut().highestCode(), 0, kCodes - 1);
        std::vector<Step> steps;
        for (int code = 0; code <= highest_; ++code) {
            const double amplitude = dsp::dbfsToAmplitude(stimulusDbfs(code));
            steps.push_back(
                {.codes = {code, code},
                 .tones = {StepTone{kToneHz[0], amplitude}, StepTone{kToneHz[1], amplitude}},
                 .measureFrames = measureFrames(code, sampleRate())});
        }
        SweepResult sweep;
        sweep.dut = *dutNumber_;
        sweep.startedAt = isoNow();
        state_.sweep = std::move(sweep);
        planned_ = true;
        state_.resultsChanged();
        return steps;
    }

    void measured(std::size_t step, const StepWindow& window) override {
        const int code = int(step);
        CodeResult result{.code = code,
                          .setDb = idealGainDb(code),
                          .stimulusDbfs = stimulusDbfs(code),
                          .channels = {},
                          .spectra = {}};
        for (const Channel channel : {Channel::Left, Channel::Right}) {
            const auto side = std::size_t(index(channel));
            const auto samples = window.samples(channel);
            const ChannelAnalysis analysis =
                analyseChannel(cache_, samples, sampleRate(), kToneHz[side], window.driftPpm());
            result.channels[side] =
                measurement(analysis, result.stimulusDbfs, state_.cardGainDb(channel));
            result.spectra[side] = logSpectrum(cache_, samples, sampleRate());
        }
        SweepResult& sweep = *state_.sweep;
        sweep.codes[step] = std::move(result);
        for (std::size_t side = 0; side < std::size_t(kChannels); ++side) {
            sweep.nonMonotonic[side] = nonMonotonic(sweep, side);
        }
        sweep.retries = retries();
        state_.codeMeasured(sweep.dut, code);
    }

    void completed() override {
        state_.sweep->complete = highest_ == kCodes - 1;
        finish({});
    }

    // A stopped or failed sweep keeps the codes it measured.
    void ending() override {
        if (planned_) {
            state_.sweep->retries = retries();
            state_.resultsChanged();
        }
    }

    std::optional<int> codeOf(std::size_t step) const override { return int(step); }

    int highest_ = kCodes - 1;
    bool planned_ = false;  // the session's sweep is this one's
};

}  // namespace

std::unique_ptr<MeasurementJob> MeasurementSession::sweepGain(int dut, ReplyHandler done) {
    return std::make_unique<SweepJob>(*state_, dut, std::move(done));
}

}  // namespace selvar::measure
