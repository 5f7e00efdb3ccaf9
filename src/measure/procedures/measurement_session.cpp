// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/procedures/measurement_session.h"

#include "measure/procedures/procedure_job.h"
#include "measure/procedures/session_state.h"

namespace selvar::measure {

MeasurementSession::MeasurementSession(AudioBench& bench)
    : state_(std::make_unique<State>(bench)) {}

MeasurementSession::~MeasurementSession() = default;

int MeasurementSession::addObserver(Observer observer) {
    const int id = state_->nextObserver++;
    state_->observers.emplace(id, std::move(observer));
    return id;
}

void MeasurementSession::removeObserver(int id) {
    state_->observers.erase(id);
}

const std::optional<Calibration>& MeasurementSession::calibration() const {
    return state_->calibration;
}

void MeasurementSession::setCalibration(std::optional<Calibration> calibration) {
    state_->calibration = std::move(calibration);
    state_->notify(&Observer::calibrationChanged);
}

bool MeasurementSession::saveCalibration(const std::string&, std::string& error) const {
    error = "not built yet";
    return false;
}

bool MeasurementSession::loadCalibration(const std::string&, std::string& error) {
    error = "not built yet";
    return false;
}

const Limits& MeasurementSession::limits() const {
    return state_->limits;
}

void MeasurementSession::setLimits(const Limits& limits) {
    state_->limits = limits;
    state_->resultsChanged();
}

const std::optional<SweepResult>& MeasurementSession::sweep() const {
    return state_->sweep;
}
const std::optional<MuteResult>& MeasurementSession::mute() const {
    return state_->mute;
}
const std::optional<CrosstalkResult>& MeasurementSession::crosstalk() const {
    return state_->crosstalk;
}
const std::optional<ZcdClickResult>& MeasurementSession::zcdClick() const {
    return state_->zcdClick;
}
const std::optional<ZcdTimeoutResult>& MeasurementSession::zcdTimeout() const {
    return state_->zcdTimeout;
}

std::unique_ptr<MeasurementJob> MeasurementSession::calibrate(ReplyHandler done) {
    return failedJob("Loop-through calibration", Failure::NotAvailable, "not built yet",
                     std::move(done));
}

std::unique_ptr<MeasurementJob> MeasurementSession::sweepGain(int dut, ReplyHandler done) {
    return failedJob(dutName(dut) + " gain sweep", Failure::NotAvailable, "not built yet",
                     std::move(done));
}

std::unique_ptr<MeasurementJob> MeasurementSession::measureGain(int dut, Channel channel,
                                                                std::optional<int>,
                                                                ReplyHandler done) {
    return failedJob(dutName(dut) + (channel == Channel::Left ? " gain Left" : " gain Right"),
                     Failure::NotAvailable, "not built yet", std::move(done));
}

std::unique_ptr<MeasurementJob> MeasurementSession::measureThd(int dut, Channel channel,
                                                               std::optional<int>, bool plusNoise,
                                                               ReplyHandler done) {
    return failedJob(dutName(dut) + (plusNoise ? " THD+N " : " THD ") +
                         (channel == Channel::Left ? "Left" : "Right"),
                     Failure::NotAvailable, "not built yet", std::move(done));
}

}  // namespace selvar::measure
