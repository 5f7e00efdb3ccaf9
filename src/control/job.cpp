// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/job.h"

#include <stdexcept>
#include <utility>

namespace selvar::control {

void JobRunner::start(std::unique_ptr<Job> job) {
    if (job_) {
        throw std::logic_error("a job is running already");
    }
    job_ = std::move(job);
    if (listener_.started) {
        listener_.started(*job_);
    }
}

void JobRunner::stop() {
    if (job_) {
        job_->requestStop();
    }
}

bool JobRunner::runSlice() {
    if (!job_) {
        return false;
    }
    if (job_->runSlice(Job::Clock::now() + kSlice)) {
        return true;
    }
    finish();
    return false;
}

void JobRunner::runToEnd() {
    while (job_) {
        if (!job_->runSlice(Job::Clock::time_point::max())) {
            finish();
        }
    }
}

// The job stays current while its listeners hear of the end, so they can still describe it.
void JobRunner::finish() {
    if (listener_.finished) {
        listener_.finished(*job_);
    }
    job_.reset();
}

}  // namespace selvar::control
