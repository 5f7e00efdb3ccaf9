// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/procedures/procedure_job.h"

#include "measure/audio/audio_port.h"

namespace selvar::measure {

ProcedureJob::ProcedureJob(std::string description, ReplyHandler done)
    : description_(std::move(description)), done_(std::move(done)) {}

// A job dropped before its end (its runner torn down) must still leave the chip as it found
// it, and a client waiting for its reply must still get one.
ProcedureJob::~ProcedureJob() {
    if (!ended_) {
        dropped_ = true;
        end({.failure = Failure::Stopped, .detail = "aborted", .values = {}});
    }
}

bool ProcedureJob::runSlice(Clock::time_point deadline) {
    if (ended_) {
        return false;
    }
    if (stopRequested()) {
        fail(Failure::Stopped, "aborted");
        return false;
    }
    try {
        if (!work(deadline) && !ended_) {
            finish({});
        }
    } catch (const audio::AudioError& error) {
        fail(error.fault() == audio::AudioFault::Missing ? Failure::NoDevice : Failure::DeviceLost,
             error.what());
    }
    return !ended_;
}

void ProcedureJob::holdDut(std::unique_ptr<DutAccess> dut) {
    dut_ = std::move(dut);
    found_ = Found{.left = dut_->code(Channel::Left),
                   .right = dut_->code(Channel::Right),
                   .mute = dut_->pin(control::PinLine::Mute),
                   .zcd = dut_->pin(control::PinLine::Zcd)};
}

void ProcedureJob::setProgress(const Progress& progress) {
    progress_ = progress;
    if (progressHook_) {
        progressHook_(progress_);
    }
}

void ProcedureJob::finish(QueryReply reply) {
    if (!ended_) {
        end(reply);
    }
}

void ProcedureJob::fail(Failure failure, std::string detail) {
    finish({.failure = failure, .detail = std::move(detail), .values = {}});
}

void ProcedureJob::end(const QueryReply& reply) {
    ended_ = true;
    if (!dropped_) {
        ending();
    }
    putBack();
    if (port_ != nullptr) {
        port_->close();
    }
    if (done_) {
        done_(reply);
    }
}

// Codes first, so that a sweep left at a high gain comes down before MUTE may be released.
void ProcedureJob::putBack() {
    if (!found_) {
        return;
    }
    for (const auto& [channel, code] :
         {std::pair{Channel::Left, found_->left}, std::pair{Channel::Right, found_->right}}) {
        if (dut_->code(channel) != code) {
            dut_->setCode(channel, code);
        }
    }
    for (const auto& [line, checked] : {std::pair{control::PinLine::Zcd, found_->zcd},
                                        std::pair{control::PinLine::Mute, found_->mute}}) {
        if (dut_->pin(line) != checked) {
            dut_->setPin(line, checked);
        }
    }
}

namespace {

class FailedJob final : public ProcedureJob {
  public:
    FailedJob(std::string description, Failure failure, std::string detail, ReplyHandler done)
        : ProcedureJob(std::move(description), std::move(done)),
          failure_(failure),
          detail_(std::move(detail)) {}

  private:
    bool work(Clock::time_point) override {
        fail(failure_, detail_);
        return false;
    }
    Failure failure_;
    std::string detail_;
};

}  // namespace

std::unique_ptr<MeasurementJob> failedJob(std::string description, Failure failure,
                                          std::string detail, ReplyHandler done) {
    return std::make_unique<FailedJob>(std::move(description), failure, std::move(detail),
                                       std::move(done));
}

}  // namespace selvar::measure
