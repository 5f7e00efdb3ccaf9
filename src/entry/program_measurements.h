// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "control/instrument.h"
#include "entry/audio_bench.h"
#include "measure/gateway/measure_module.h"
#include "remote/measurement_host.h"

namespace selvar::entry {

class AudioSetup;
class JobDriver;

// The program's measurement side: the sound card's choice, the bench over it and the one
// session of results, made on first use, whose jobs run in the program's job slot like a ramp,
// the status line saying how far they are.
class ProgramMeasurements final : public remote::MeasurementHost {
  public:
    using JobText = std::function<void(const QString& text)>;

    // module: what asks the sound server for its devices.
    ProgramMeasurements(AudioSetup& setup, JobDriver& jobs,
                        std::function<control::Instrument&()> instrument, JobText showJob,
                        measure::MeasureModuleAccess module);
    ~ProgramMeasurements() override;
    ProgramMeasurements(const ProgramMeasurements&) = delete;
    ProgramMeasurements& operator=(const ProgramMeasurements&) = delete;

    measure::MeasurementSession& session() override;
    void run(const remote::MeasurementRequest& request, measure::ReplyHandler done) override;
    // Runs a job the measurement window made, as run() does a remote one.
    void start(std::unique_ptr<measure::MeasurementJob> job);

    std::vector<std::string> audioDevices(remote::AudioEnd end) override;
    std::string audioDevice(remote::AudioEnd end) const override;
    bool chooseAudioDevice(remote::AudioEnd end, const std::string& id,
                           std::string& error) override;
    bool saveCalibration(const std::string& path, std::string& error) override;
    bool loadCalibration(const std::string& path, std::string& error) override;
    int cabledDut() const override;
    void setCabledDut(int dut) override;

    // Whether a measurement has a sound card to run over (no sound server is asked).
    bool usable() const;
    // The calibration file --calibration named, read now: false with the reason.
    bool loadCalibrationFile(std::string& error);
    // The devices and calibration file, as a saved setup holds them; see control::Instrument.
    control::AudioChoice audioChoice() const;
    bool chooseAudio(const control::AudioChoice& choice, std::string& reason);

  private:
    void showProgress(const measure::Progress& progress);
    bool offered(remote::AudioEnd end, const std::string& id, std::string& error);

    AudioSetup& setup_;
    JobDriver& jobs_;
    JobText showJob_;
    measure::MeasureModuleAccess module_;
    ProgramAudioBench bench_;
    std::unique_ptr<measure::MeasurementSession> session_;
    QString running_;  // what the running measurement does, for its progress
    // The file that holds the calibration in use: the one loaded or saved last; none once a
    // calibration is measured afresh.
    std::string calibrationFile_;
};

}  // namespace selvar::entry
