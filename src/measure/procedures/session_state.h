// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The session's state as its procedures' factories see it; not for callers of the session.

#include <map>
#include <string>

#include "measure/procedures/measurement_session.h"

namespace selvar::measure {

// A type of its own (the session's State is private to it), so that the procedures' jobs can
// be handed it.
struct SessionState {
    using Observer = MeasurementSession::Observer;
    explicit SessionState(AudioBench& bench) : bench(bench) {}

    AudioBench& bench;
    std::map<int, Observer> observers;
    int nextObserver = 1;

    std::optional<Calibration> calibration;
    Limits limits;
    std::optional<SweepResult> sweep;
    std::optional<MuteResult> mute;
    std::optional<CrosstalkResult> crosstalk;
    std::optional<ZcdClickResult> zcdClick;
    std::optional<ZcdTimeoutResult> zcdTimeout;

    // Calls one kind of observer callback on every observer that set it.
    template <typename Member, typename... Args>
    void notify(Member member, const Args&... args) const {
        // A copy: an observer may remove itself (or another) while it is told.
        const auto observers_ = observers;
        for (const auto& [id, observer] : observers_) {
            if (observer.*member) {
                (observer.*member)(args...);
            }
        }
    }
    void resultsChanged() const { notify(&Observer::resultsChanged); }
    void progress(const Progress& progress) const { notify(&Observer::progress, progress); }
    void levels(double leftDbfs, double rightDbfs) const {
        notify(&Observer::levels, leftDbfs, rightDbfs);
    }
    void codeMeasured(int dut, int code) const { notify(&Observer::codeMeasured, dut, code); }

    // The card's gain the calibration found for a channel, 0 without one.
    double cardGainDb(Channel channel) const {
        return calibration ? calibration->gainDb[std::size_t(index(channel))] : 0.0;
    }
};

struct MeasurementSession::State : SessionState {
    using SessionState::SessionState;
};

// "DUT1", for job descriptions.
inline std::string dutName(int dut) {
    return "DUT" + std::to_string(dut);
}

}  // namespace selvar::measure
