// SPDX-License-Identifier: GPL-3.0-or-later
#include "remote/measurement_jobs.h"

#include <cstdio>
#include <string_view>

namespace selvar::remote {
namespace {

using measure::Failure;

Outcome failed(int code, std::string detail) {
    return {.error = code, .detail = std::move(detail)};
}

Outcome outcomeOf(const measure::QueryReply& reply, const ReplyFormat& format, int cabledDut) {
    switch (reply.failure) {
        case Failure::None:
            return format ? Outcome{.reply = format(reply.values)} : Outcome{};
        case Failure::NoDevice:
            return failed(error::kHardwareMissing,
                          reply.detail.empty() ? "no audio device" : reply.detail);
        case Failure::DeviceLost:
            return failed(error::kHardwareError, reply.detail);
        case Failure::Stopped:
            return failed(error::kExecution, "aborted");
        case Failure::WrongDut:
            return failed(error::kSettingsConflict,
                          "audio is cabled to DUT" + std::to_string(cabledDut));
        case Failure::NotAvailable:
            break;
    }
    return failed(error::kExecution, reply.detail);
}

}  // namespace

MeasurementHost* hostOf(const Call& call, Outcome& missing) {
    if (call.measurements == nullptr) {
        missing = failed(error::kHardwareMissing, "no audio device");
    }
    return call.measurements;
}

Outcome runMeasurement(const Call& call, const MeasurementRequest& request, ReplyFormat format) {
    Outcome outcome;
    MeasurementHost* host = hostOf(call, outcome);
    if (host == nullptr) {
        return outcome;
    }
    auto deferred = std::make_shared<Deferred>();
    const int cabled = host->cabledDut();
    host->run(request,
              [deferred, format = std::move(format), cabled](const measure::QueryReply& reply) {
                  deferred->outcome = outcomeOf(reply, format, cabled);
              });
    return {.deferred = std::move(deferred)};
}

std::unique_ptr<measure::MeasurementJob> makeJob(measure::MeasurementSession& session,
                                                 const MeasurementRequest& r,
                                                 measure::ReplyHandler done) {
    using Kind = MeasurementRequest::Kind;
    switch (r.kind) {
        case Kind::Calibrate:
            return session.calibrate(std::move(done));
        case Kind::Sweep:
            return session.sweepGain(r.dut, std::move(done));
        case Kind::Gain:
            return session.measureGain(r.dut, r.channel, r.code, std::move(done));
        case Kind::Thd:
        case Kind::Thdn:
            return session.measureThd(r.dut, r.channel, r.code, r.kind == Kind::Thdn,
                                      std::move(done));
        case Kind::Mute:
            return session.measureMute(r.dut, r.byPin, std::move(done));
        case Kind::Crosstalk:
            return session.measureCrosstalk(r.dut, r.channel, std::move(done));
        case Kind::ZcdClick:
            return session.measureZcdClick(r.dut, std::move(done));
        case Kind::ZcdTimeout:
            break;
    }
    return session.measureZcdTimeout(r.dut, std::move(done));
}

std::string decimal(double value) {
    // What the noise hid reads as SCPI's not-a-number, as a fetched sweep's entries do.
    if (value >= measure::kNotMeasured) {
        return "9.91E37";
    }
    char text[48];
    std::snprintf(text, sizeof text, "%.3f", value);
    // A value that rounds to zero reads as zero, whichever side it came from.
    const std::string_view written = text;
    return written == "-0.000" ? std::string(written.substr(1)) : std::string(written);
}

}  // namespace selvar::remote
