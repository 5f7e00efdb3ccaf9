// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "measure/procedures/measurement_session.h"

namespace selvar::measure {

// What every procedure shares: it answers `done` exactly once, however it ends (finished,
// stopped, failed, device lost, or dropped unfinished), puts back the chip's codes, MUTE and ZCD
// it found, and closes the sound card it opened. An AudioError out of a slice ends the job
// with NoDevice (Missing) or DeviceLost (Failed).
class ProcedureJob : public MeasurementJob {
  public:
    ProcedureJob(std::string description, ReplyHandler done);
    ~ProcedureJob() override;
    ProcedureJob(const ProcedureJob&) = delete;
    ProcedureJob& operator=(const ProcedureJob&) = delete;

    std::string description() const override { return description_; }
    Progress progress() const override { return progress_; }
    bool runSlice(Clock::time_point deadline) final;

    // Told each time the progress changes (the session passes it to its observers).
    void setProgressHook(std::function<void(const Progress&)> hook) {
        progressHook_ = std::move(hook);
    }

  protected:
    // The procedure's own work until the deadline; false once it is over. It ends by calling
    // finish() or fail(); returning false without either finishes with no values.
    virtual bool work(Clock::time_point deadline) = 0;

    // Notes the chip's codes, MUTE and ZCD now, to be put back at the end.
    void holdDut(std::unique_ptr<DutAccess> dut);
    DutAccess& dut() const { return *dut_; }
    bool holdsDut() const { return dut_ != nullptr; }
    // The port the procedure opened, closed at the end.
    void holdPort(audio::AudioPort* port) { port_ = port; }

    // Told as the job ends, however it ends, before the chip is put back (not when the job is
    // dropped unfinished: it is no longer whole then).
    virtual void ending() {}

    void setProgress(const Progress& progress);
    void finish(QueryReply reply);
    void fail(Failure failure, std::string detail);
    bool ended() const { return ended_; }

  private:
    struct Found {
        int left = 0;
        int right = 0;
        bool mute = false;
        bool zcd = false;
    };
    void end(const QueryReply& reply);
    void putBack();

    std::string description_;
    ReplyHandler done_;
    std::function<void(const Progress&)> progressHook_;
    Progress progress_;
    std::unique_ptr<DutAccess> dut_;
    std::optional<Found> found_;
    audio::AudioPort* port_ = nullptr;
    bool ended_ = false;
    bool dropped_ = false;
};

// A job that ends at its first slice with `failure`: a failure found before anything starts
// reaches the caller on the same path as one found while running.
std::unique_ptr<MeasurementJob> failedJob(std::string description, Failure failure,
                                          std::string detail, ReplyHandler done);

}  // namespace selvar::measure
