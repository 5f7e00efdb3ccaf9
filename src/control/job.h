// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace selvar::control {

// A long operation (a ramp, later a sweep or a measurement) cut into slices, so that whoever
// drives it keeps serving everything else between them. A job never blocks for longer than
// the slice it is given, apart from one indivisible step (a gain frame is never cut).
class Job {
  public:
    using Clock = std::chrono::steady_clock;

    virtual ~Job() = default;

    // What the job does, in the operator's words ("Ramp DUT1 Gang -23.5 dB -> 0.0 dB").
    virtual std::string description() const = 0;
    // Works until `deadline` or until the job is over; false once it is over. After a stop
    // request it ends at the end of the step in progress, cutting a wait short.
    virtual bool runSlice(Clock::time_point deadline) = 0;

    void requestStop() { stopRequested_ = true; }
    bool stopRequested() const { return stopRequested_; }

  private:
    bool stopRequested_ = false;
};

// The one job that may run at a time, and what it is doing. Whoever drives the slices (an
// event loop) asks runSlice() until it returns false; start and end are told to the
// listeners so that input can be held meanwhile and the status line can say what runs.
class JobRunner {
  public:
    struct Listener {
        std::function<void(const Job&)> started;
        std::function<void(const Job&)> finished;  // the job is gone right after
    };

    // Slices last at most this long, so the loop between them stays responsive.
    static constexpr std::chrono::milliseconds kSlice{4};

    // Throws std::logic_error while another job runs: jobs never nest.
    void start(std::unique_ptr<Job> job);
    bool running() const { return job_ != nullptr; }
    // The running job, or null.
    const Job* current() const { return job_.get(); }
    // Asks the running job to end at the end of its step in progress; nothing when none runs.
    void stop();

    // One slice of the running job; false when none runs any more.
    bool runSlice();
    // Drives the running job to its end in one go: for a caller with no loop to return to.
    void runToEnd();

    void setListener(Listener listener) { listener_ = std::move(listener); }

  private:
    void finish();

    std::unique_ptr<Job> job_;
    Listener listener_;
};

}  // namespace selvar::control
