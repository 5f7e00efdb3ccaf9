// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/program_measurements.h"

#include <algorithm>
#include <cmath>

#include "entry/audio_setup.h"
#include "entry/job_driver.h"

namespace selvar::entry {

using remote::AudioEnd;

ProgramMeasurements::ProgramMeasurements(AudioSetup& setup, JobDriver& jobs,
                                         std::function<control::Instrument&()> instrument,
                                         JobText showJob, measure::MeasureModuleAccess module)
    : setup_(setup),
      jobs_(jobs),
      showJob_(std::move(showJob)),
      module_(std::move(module)),
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
    if (request.kind == remote::MeasurementRequest::Kind::Calibrate) {
        done = [this, done = std::move(done)](const measure::QueryReply& reply) {
            if (reply.failure == measure::Failure::None) {
                calibrationFile_.clear();
            }
            if (done) {
                done(reply);
            }
        };
    }
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
    // No-break spaces: the line wraps between the parts, never inside one.
    text += QStringLiteral(" %1\u00a0%").arg(100 * progress.done / progress.total);
    if (progress.secondsLeft >= 1.0) {
        text += QStringLiteral(", %1\u00a0s\u00a0left").arg(std::lround(progress.secondsLeft));
    }
    showJob_(text);
}

std::vector<std::string> ProgramMeasurements::audioDevices(AudioEnd end) {
    std::vector<std::string> ids;
    if (setup_.simulationAvailable()) {
        ids.emplace_back(kSimAudioDevice);
    }
    // Without the module there is no sound server to ask: the simulated path alone is offered.
    std::string ignored;
    measure::MeasureModule* module = module_ ? module_(ignored) : nullptr;
    const audio::AudioDeviceList offered =
        module ? module->listAudioDevices() : audio::AudioDeviceList{};
    for (const audio::AudioDeviceInfo& device :
         end == AudioEnd::Output ? offered.outputs : offered.inputs) {
        ids.push_back(device.id);
    }
    return ids;
}

std::string ProgramMeasurements::audioDevice(AudioEnd end) const {
    return end == AudioEnd::Output ? setup_.outputDevice() : setup_.inputDevice();
}

// An empty id takes the device off; "sim" needs the simulated board (the sound server is not
// asked then); any other id must be one the sound server offers now.
bool ProgramMeasurements::offered(AudioEnd end, const std::string& id, std::string& error) {
    // A running job holds the port that another device would replace.
    if (jobs_.running()) {
        error = "a job is running";
        return false;
    }
    if (id.empty() || (id == kSimAudioDevice && setup_.simulationAvailable())) {
        return true;
    }
    const std::vector<std::string> ids =
        id == kSimAudioDevice ? std::vector<std::string>{} : audioDevices(end);
    if (std::find(ids.begin(), ids.end(), id) != ids.end()) {
        return true;
    }
    error = std::string(end == AudioEnd::Output ? "no output " : "no input ") + '"' + id + '"';
    return false;
}

bool ProgramMeasurements::chooseAudioDevice(AudioEnd end, const std::string& id,
                                            std::string& error) {
    if (!offered(end, id, error)) {
        return false;
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
    return path.empty() || loadCalibration(path, error);
}

bool ProgramMeasurements::saveCalibration(const std::string& path, std::string& error) {
    if (!session().saveCalibration(path, error)) {
        return false;
    }
    calibrationFile_ = path;
    return true;
}

bool ProgramMeasurements::loadCalibration(const std::string& path, std::string& error) {
    if (!session().loadCalibration(path, error)) {
        return false;
    }
    calibrationFile_ = path;
    return true;
}

control::AudioChoice ProgramMeasurements::audioChoice() const {
    return {setup_.outputDevice(), setup_.inputDevice(), calibrationFile_};
}

// The devices are checked first and the calibration loaded next, as they are the parts that
// can fail; the devices are set only once nothing can.
bool ProgramMeasurements::chooseAudio(const control::AudioChoice& choice, std::string& reason) {
    if (!offered(AudioEnd::Output, choice.output, reason) ||
        !offered(AudioEnd::Input, choice.input, reason)) {
        return false;
    }
    if (!choice.calibration.empty() && !loadCalibration(choice.calibration, reason)) {
        reason = choice.calibration + ": " + reason;
        return false;
    }
    setup_.setOutputDevice(choice.output);
    setup_.setInputDevice(choice.input);
    return true;
}

}  // namespace selvar::entry
