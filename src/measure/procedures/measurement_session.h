// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "control/job.h"
#include "measure/procedures/results.h"

namespace selvar::audio {
class AudioPort;
}

namespace selvar::measure {

// How far a running procedure is, for a progress bar and the status line.
struct Progress {
    int done = 0;
    int total = 0;
    std::optional<int> code;  // the code being measured, if the procedure steps codes
    double secondsLeft = 0.0;
};

// Every procedure runs as one of these: stoppable between steps, with progress.
class MeasurementJob : public control::Job {
  public:
    virtual Progress progress() const = 0;
};

// Why a procedure gave no result; the remote commands map it to their error codes.
enum class Failure {
    None,
    NoDevice,      // no audio device chosen or present: -241 "Hardware missing"
    DeviceLost,    // the device failed mid-run: -240 "Hardware error"
    Stopped,       // the operator stopped it: -200 "Execution error;aborted"
    WrongDut,      // the card is cabled to the other board: -221 "Settings conflict"
    NotAvailable,  // e.g. no tone could be found at all: -200 with the detail
};

// What a single measurement query answers: its values (dB, ms, or flags), or why none.
struct QueryReply {
    Failure failure = Failure::None;
    std::string detail;          // the operator's words, for the error's detail
    std::vector<double> values;  // in the reply's order
};
using ReplyHandler = std::function<void(const QueryReply&)>;

// Where the procedures get their sound card and their chip from. The program implements it:
// the simulated path routed through the named chip, or the real card cabled to one board.
class AudioBench {
  public:
    virtual ~AudioBench() = default;
    // The port cabled to `dut` (opened by the procedure), or the failure that forbids it:
    // NoDevice when there is none, WrongDut when a real card is cabled to the other board.
    virtual audio::AudioPort* portFor(int dut, Failure& failure) = 0;
    // The port with output cabled straight to input, for calibration (null: NoDevice).
    virtual audio::AudioPort* loopThroughPort(Failure& failure) = 0;
    virtual std::unique_ptr<DutAccess> dut(int dut) = 0;
    virtual std::string outputDevice() const = 0;
    virtual std::string inputDevice() const = 0;
};

// Owns every measurement result and the calibration, makes the procedures' jobs, and tells its
// observers as results arrive. No Qt: the window and the remote commands observe and command it.
class MeasurementSession {
  public:
    struct Observer {
        std::function<void(int dut, int code)> codeMeasured;  // a sweep's code is in sweep()
        std::function<void()> resultsChanged;                 // any result replaced or cleared
        std::function<void()> calibrationChanged;
        std::function<void(const Progress&)> progress;
        // The input's level while a job runs, at most 30 times a second (dBFS per channel).
        std::function<void(double leftDbfs, double rightDbfs)> levels;
    };

    explicit MeasurementSession(AudioBench& bench);
    ~MeasurementSession();
    MeasurementSession(const MeasurementSession&) = delete;
    MeasurementSession& operator=(const MeasurementSession&) = delete;

    // Observers stay until removed by the id returned.
    int addObserver(Observer observer);
    void removeObserver(int id);

    const std::optional<Calibration>& calibration() const;
    void setCalibration(std::optional<Calibration> calibration);
    // Files: false with the system's reason; a save is written whole or not at all.
    bool saveCalibration(const std::string& path, std::string& error);
    bool loadCalibration(const std::string& path, std::string& error);

    const Limits& limits() const;
    void setLimits(const Limits& limits);

    // The latest results of each kind, empty until measured.
    const std::optional<SweepResult>& sweep() const;
    const std::optional<MuteResult>& mute() const;
    const std::optional<CrosstalkResult>& crosstalk() const;
    const std::optional<ZcdClickResult>& zcdClick() const;
    const std::optional<ZcdTimeoutResult>& zcdTimeout() const;

    // The jobs. Each puts back the codes, MUTE and ZCD it found however it ends, and calls
    // `done` (when given) exactly once as it ends, with the result's values or the failure.
    // A failure found before anything starts (no device, wrong board) still comes as a job
    // that ends at its first slice, so that every caller has one path.
    // The values each answers with (dB unless said): calibrate: Left gain, Right gain, latency
    // in ms; sweepGain: none (the result is in sweep()); measureGain: the gain, kNotMeasured
    // when the noise hides the tone; measureThd: THD or THD+N. A code above the gain limit, a
    // card that keeps slipping frames, or markers that do not come back: NotAvailable with the
    // reason. Jobs read the session's state as they run: the session must outlive them.
    std::unique_ptr<MeasurementJob> calibrate(ReplyHandler done = {});
    std::unique_ptr<MeasurementJob> sweepGain(int dut, ReplyHandler done = {});
    std::unique_ptr<MeasurementJob> measureGain(int dut, Channel channel, std::optional<int> code,
                                                ReplyHandler done);
    std::unique_ptr<MeasurementJob> measureThd(int dut, Channel channel, std::optional<int> code,
                                               bool plusNoise, ReplyHandler done);
    std::unique_ptr<MeasurementJob> measureMute(int dut, bool byPin, ReplyHandler done = {});
    std::unique_ptr<MeasurementJob> measureCrosstalk(int dut, Channel into, ReplyHandler done = {});
    std::unique_ptr<MeasurementJob> measureZcdClick(int dut, ReplyHandler done = {});
    std::unique_ptr<MeasurementJob> measureZcdTimeout(int dut, ReplyHandler done = {});

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace selvar::measure
