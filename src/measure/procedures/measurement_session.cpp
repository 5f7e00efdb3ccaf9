// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/procedures/measurement_session.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "measure/procedures/calibration_file.h"
#include "measure/procedures/session_state.h"
#include "platform/atomic_save.h"

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

bool MeasurementSession::saveCalibration(const std::string& path, std::string& error) {
    if (!state_->calibration) {
        error = "there is no calibration to save";
        return false;
    }
    const std::string text = formatCalibration(*state_->calibration);
    if (!platform::saveAtomically(
            path,
            [&text](std::FILE* file) {
                return std::fwrite(text.data(), 1, text.size(), file) == text.size();
            },
            error)) {
        return false;
    }
    state_->calibration->file = path;
    state_->notify(&SessionState::Observer::calibrationChanged);
    return true;
}

bool MeasurementSession::loadCalibration(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = std::strerror(errno);
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    std::optional<Calibration> calibration = parseCalibration(text.str(), error);
    if (!calibration) {
        return false;
    }
    calibration->file = path;
    setCalibration(std::move(calibration));
    return true;
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

}  // namespace selvar::measure
