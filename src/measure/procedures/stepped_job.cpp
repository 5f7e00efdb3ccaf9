// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/procedures/stepped_job.h"

#include <ctime>

#include "measure/audio/audio_port.h"

namespace selvar::measure {

namespace {

constexpr auto kProgressPeriod = std::chrono::milliseconds(100);

std::string failureDetail(Failure failure, int dut) {
    switch (failure) {
        case Failure::WrongDut:
            return "audio is cabled to " + dutName(dut == 1 ? 2 : 1);
        case Failure::NoDevice:
        case Failure::None:
            return "no audio device";
        default:
            return "audio device unavailable";
    }
}

}  // namespace

std::string isoNow() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

SteppedJob::SteppedJob(SessionState& state, std::string description, ReplyHandler done,
                       std::optional<int> dut)
    : ProcedureJob(std::move(description), std::move(done)), state_(state), dutNumber_(dut) {
    setProgressHook([&state](const Progress& progress) { state.progress(progress); });
}

double SteppedJob::sampleRate() const {
    return port_->sampleRate();
}

bool SteppedJob::begin() {
    Failure failure = Failure::None;
    port_ = dutNumber_ ? state_.bench.portFor(*dutNumber_, failure)
                       : state_.bench.loopThroughPort(failure);
    if (port_ == nullptr) {
        fail(failure == Failure::None ? Failure::NoDevice : failure,
             failureDetail(failure, dutNumber_.value_or(1)));
        return false;
    }
    if (dutNumber_) {
        holdDut(state_.bench.dut(*dutNumber_));
        for (const control::PinLine line : {control::PinLine::Mute, control::PinLine::Zcd}) {
            if (dut().pin(line)) {
                dut().setPin(line, false);
            }
        }
    }
    port_->open();
    holdPort(port_);
    std::vector<Step> steps = plan();
    if (ended()) {
        return false;
    }
    steps_ = steps.size();
    SteppedRun::Setup setup{
        .port = port_,
        .stream = &stream_,
        .cache = &cache_,
        .dut = dutNumber_ ? &dut() : nullptr,
        .levels = [this](double left, double right) { state_.levels(left, right); }};
    run_ = std::make_unique<SteppedRun>(
        std::move(setup), std::move(steps),
        [this](std::size_t step, const StepWindow& window) { measured(step, window); });
    started_ = Clock::now();
    return true;
}

bool SteppedJob::work(Clock::time_point deadline) {
    if (!run_ && !begin()) {
        return false;
    }
    const bool over = run_->advance(deadline);
    report();
    if (!over) {
        return true;
    }
    if (run_->problem()) {
        fail(Failure::NotAvailable, *run_->problem());
    } else {
        completed();
    }
    return false;
}

// Progress when a step is done, and otherwise at most ten times a second.
void SteppedJob::report() {
    const auto now = Clock::now();
    const int done = int(run_->stepsDone());
    if (done == progress().done && now - reported_ < kProgressPeriod) {
        return;
    }
    reported_ = now;
    const double fraction = run_->fraction();
    const double elapsed = std::chrono::duration<double>(now - started_).count();
    setProgress(
        {.done = done,
         .total = int(steps_),
         .code = steps_ > 0 ? codeOf(std::min(std::size_t(done), steps_ - 1)) : std::nullopt,
         .secondsLeft = fraction > 0.0 ? elapsed * (1.0 - fraction) / fraction : 0.0});
}

}  // namespace selvar::measure
