// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/program_measurements.h"

#include <algorithm>
#include <cmath>

#include "entry/audio_setup.h"
#include "entry/job_driver.h"
#include "measure/audio/qt_audio_port.h"

namespace selvar::entry {

using remote::AudioEnd;

ProgramMeasurements::ProgramMeasurements(AudioSetup& setup, JobDriver& jobs,
                                         std::function<control::Instrument&()> instrument,
                                         JobText showJob)
    : setup_(setup),
      jobs_(jobs),
      showJob_(std::move(showJob)),
      bench_(setup, std::move(instrument)) {}

ProgramMeasurements::~ProgramMeasurements() = default;

measure::MeasurementSession& ProgramMeasurements::session() {
    if (!session_) {
        session_ = std::make_unique<measure::MeasurementSession>(bench_);
        measure::MeasurementSession::Observer observer;
        observer.progress = [this](const measure::Progress& progress) { showProgress(progress); };
        session_->addObserver(std::move(observer));
    }
    return *session_;
}

void ProgramMeasurements::run(const remote::MeasurementRequest& request,
                              measure::ReplyHandler done) {
    start(remote::makeJob(session(), request, std::move(done)));
}

void ProgramMeasurements::start(std::unique_ptr<measure::MeasurementJob> job) {
    running_ = QString::fromStdString(job->description());
    jobs_.start(std::move(job));
}

// "DUT1 gain sweep: code 130, 48 %, 1 s left": what runs and how far it is.
void ProgramMeasurements::showProgress(const measure::Progress& progress) {
    if (!jobs_.running() || progress.total <= 0) {
        return;
    }
    QString text = running_ + ':';
    if (progress.code) {
        text += QStringLiteral(" code %1,").arg(*progress.code);
    }
    text += QStringLiteral(" %1 %").arg(100 * progress.done / progress.total);
    if (progress.secondsLeft >= 1.0) {
        text += QStringLiteral(", %1 s left").arg(std::lround(progress.secondsLeft));
    }
    showJob_(text);
}

std::vector<std::string> ProgramMeasurements::audioDevices(AudioEnd end) {
    std::vector<std::string> ids;
    if (setup_.simulationAvailable()) {
        ids.emplace_back(kSimAudioDevice);
    }
    const audio::AudioDeviceList offered = audio::listAudioDevices();
    for (const audio::AudioDeviceInfo& device :
         end == AudioEnd::Output ? offered.outputs : offered.inputs) {
        ids.push_back(device.id);
    }
    return ids;
}

std::string ProgramMeasurements::audioDevice(AudioEnd end) const {
    return end == AudioEnd::Output ? setup_.outputDevice() : setup_.inputDevice();
}

// An empty id takes the device off; any other must be one the sound server offers now.
bool ProgramMeasurements::chooseAudioDevice(AudioEnd end, const std::string& id,
                                            std::string& error) {
    if (!id.empty()) {
        const std::vector<std::string> offered = audioDevices(end);
        if (std::find(offered.begin(), offered.end(), id) == offered.end()) {
            error =
                std::string(end == AudioEnd::Output ? "no output " : "no input ") + '"' + id + '"';
            return false;
        }
    }
    if (end == AudioEnd::Output) {
        setup_.setOutputDevice(id);
    } else {
        setup_.setInputDevice(id);
    }
    return true;
}

int ProgramMeasurements::cabledDut() const {
    return setup_.cabledDut();
}

void ProgramMeasurements::setCabledDut(int dut) {
    setup_.setCabledDut(dut);
}

bool ProgramMeasurements::usable() const {
    return setup_.usable();
}

bool ProgramMeasurements::loadCalibrationFile(std::string& error) {
    const std::string& path = setup_.options().calibrationPath;
    return path.empty() || session().loadCalibration(path, error);
}

}  // namespace selvar::entry
