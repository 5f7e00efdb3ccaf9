// SPDX-License-Identifier: GPL-3.0-or-later
// The session's checks of mute depth, crosstalk and the zero-crossing detector.
#include "measure/procedures/procedure_job.h"
#include "measure/procedures/session_state.h"

namespace selvar::measure {

std::unique_ptr<MeasurementJob> MeasurementSession::measureMute(int dut, bool byPin,
                                                                ReplyHandler done) {
    return failedJob(dutName(dut) + (byPin ? " mute depth by MUTE" : " mute depth by code 0"),
                     Failure::NotAvailable, "not built yet", std::move(done));
}

std::unique_ptr<MeasurementJob> MeasurementSession::measureCrosstalk(int dut, Channel into,
                                                                     ReplyHandler done) {
    return failedJob(
        dutName(dut) + (into == Channel::Left ? " crosstalk into Left" : " crosstalk into Right"),
        Failure::NotAvailable, "not built yet", std::move(done));
}

std::unique_ptr<MeasurementJob> MeasurementSession::measureZcdClick(int dut, ReplyHandler done) {
    return failedJob(dutName(dut) + " ZCD click", Failure::NotAvailable, "not built yet",
                     std::move(done));
}

std::unique_ptr<MeasurementJob> MeasurementSession::measureZcdTimeout(int dut, ReplyHandler done) {
    return failedJob(dutName(dut) + " ZCD timeout", Failure::NotAvailable, "not built yet",
                     std::move(done));
}

}  // namespace selvar::measure
