// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "measure/procedures/procedure_job.h"
#include "measure/procedures/session_state.h"
#include "measure/procedures/stepped_run.h"

namespace selvar::measure {

// A procedure made of steps (codes and tones), measured by a SteppedRun over the bench's port:
// the chip's or, with no DUT, the loop-through. At its first slice it takes the port and the
// chip, clears MUTE and ZCD (a change then lands at once), opens the port and asks for its
// steps. The session must outlive the job.
class SteppedJob : public ProcedureJob {
  protected:
    SteppedJob(SessionState& state, std::string description, ReplyHandler done,
               std::optional<int> dut);

    // The steps, once the chip is held and the port open; an empty list after fail() ends it.
    virtual std::vector<Step> plan() = 0;
    // Each step as its run is in, in order.
    virtual void measured(std::size_t step, const StepWindow& window) = 0;
    // Every step is in: the job finishes.
    virtual void completed() = 0;
    // The code a step measures, for the progress.
    virtual std::optional<int> codeOf(std::size_t) const { return std::nullopt; }

    double sampleRate() const;
    int retries() const { return run_ ? run_->retries() : 0; }
    std::int64_t latencyFrames() const { return run_ ? run_->latencyFrames() : 0; }

    SessionState& state_;
    dsp::FftCache cache_;
    std::optional<int> dutNumber_;

  private:
    bool work(Clock::time_point deadline) override;
    bool begin();
    void report();

    audio::AudioPort* port_ = nullptr;
    PortStream stream_;
    std::unique_ptr<SteppedRun> run_;
    std::size_t steps_ = 0;
    Clock::time_point started_{};
    Clock::time_point reported_{};
};

// The time now in ISO 8601 (UTC), for results and calibrations.
std::string isoNow();

}  // namespace selvar::measure
