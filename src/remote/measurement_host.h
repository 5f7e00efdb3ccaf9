// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "measure/procedures/measurement_session.h"

namespace selvar::remote {

enum class AudioEnd { Output, Input };

// One procedure as a command asks for it.
struct MeasurementRequest {
    enum class Kind { Calibrate, Sweep, Gain, Thd, Thdn, Mute, Crosstalk, ZcdClick, ZcdTimeout };
    Kind kind = Kind::Gain;
    int dut = 1;
    measure::Channel channel = measure::Channel::Left;
    std::optional<int> code = std::nullopt;  // none: at the code the chip holds
    bool byPin = true;                       // mute depth by the MUTE line, else by code 0
};

// The session's job for the request.
std::unique_ptr<measure::MeasurementJob> makeJob(measure::MeasurementSession& session,
                                                 const MeasurementRequest& request,
                                                 measure::ReplyHandler done);

// The measurement's side of the program as the remote commands reach it: the sound card's
// choice, the session that owns the results, and the program's one job slot that measurements
// run in (so the status line, the stop gestures and ABORt treat them as they treat a ramp).
class MeasurementHost {
  public:
    virtual ~MeasurementHost() = default;

    // Made on first use: a program that never measures sets up no signal processing.
    virtual measure::MeasurementSession& session() = 0;
    // Starts the request's job (makeJob) as the program's running job; the caller has waited
    // for any other. `done` hears how it ended, exactly once.
    virtual void run(const MeasurementRequest& request, measure::ReplyHandler done) = 0;

    // Ids as --audio-out and --audio-in take them, "sim" for the simulated path where there is
    // one. Listing asks the sound server.
    virtual std::vector<std::string> audioDevices(AudioEnd end) = 0;
    // The device in use; empty for none.
    virtual std::string audioDevice(AudioEnd end) const = 0;
    // False with the reason when no such device is offered.
    virtual bool chooseAudioDevice(AudioEnd end, const std::string& id, std::string& error) = 0;
    // The calibration's files: false with the reason (a save writes the file whole or not at
    // all; a load changes nothing unless the file is a calibration).
    virtual bool saveCalibration(const std::string& path, std::string& error) = 0;
    virtual bool loadCalibration(const std::string& path, std::string& error) = 0;
    // The board a real sound card is cabled to, 1 or 2.
    virtual int cabledDut() const = 0;
    virtual void setCabledDut(int dut) = 0;
};

}  // namespace selvar::remote
