// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "measure/dsp/buffers.h"
#include "measure/procedures/procedure_job.h"
#include "measure/procedures/session_state.h"

namespace selvar::measure {

class MarkedRunner;

// Something a run does to the chip when it reaches a frame of its body: a code set, MUTE
// engaged. The run makes it as the capture reaches that frame (less the card's calibrated
// latency), so that it lands where the plan put it, give or take what a real card's buffers
// blur; the analyses find where it took effect in the capture.
struct Gesture {
    std::size_t frame = 0;
    std::function<void(DutAccess&)> act;
};

// Body frames [first, second) where the output is too faint, or too unlike the stimulus, to
// follow the card's timing in.
using FaintSpans = std::vector<std::pair<std::size_t, std::size_t>>;

// Both channels to one code, Left first.
void setBoth(DutAccess& dut, int code);

// What the mute-depth, crosstalk and ZCD checks share: the card cabled to the chip, opened;
// the chip held (its codes, MUTE and ZCD put back at the end); one or more runs, each a body
// played with gestures along it and captured lined up with it; the result stored in the
// session, its observers told, the reply given.
class CheckJob : public ProcedureJob {
  public:
    // The session must outlive the job.
    CheckJob(SessionState& state, int dut, std::string description, ReplyHandler done);
    ~CheckJob() override;

  protected:
    // Plans and starts the first run.
    virtual void begin() = 0;
    // A run's capture, lined up with its body: start the next run, or store and finish.
    virtual void captured(const dsp::StereoBuffer& body) = 0;

    // `setup` brings the chip to the run's starting state before anything is played, again
    // for each attempt the run repeats after a glitch.
    void startRun(dsp::StereoBuffer body, std::function<void(DutAccess&)> setup,
                  std::vector<Gesture> gestures, FaintSpans faint = {});
    // How many runs the check makes in all, for its progress.
    void setRunCount(int runs) { runCount_ = runs; }

    SessionState& state() const { return state_; }
    const std::optional<Calibration>& calibration() const { return state_.calibration; }
    double sampleRate() const { return sampleRate_; }
    // The code for the checks' 0 dB reference, lower when the operator's limit says so.
    int referenceCode() const;

  private:
    bool work(Clock::time_point deadline) final;
    bool open();
    void report(const MarkedRunner& runner);

    struct Run;
    SessionState& state_;
    int dut_;
    audio::AudioPort* port_ = nullptr;
    double sampleRate_ = 0.0;
    bool opened_ = false;
    int runCount_ = 1;
    int runsDone_ = 0;
    std::size_t bodyFrames_ = 0;
    Clock::time_point lastLevels_{};
    std::unique_ptr<Run> run_;
};

}  // namespace selvar::measure
