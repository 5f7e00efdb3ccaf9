// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace selvar::control {

// The controls a caller can act on, named as the operator sees them.
enum class Slider { Left, Right, Gang, Pan };
enum class RampField { Top, Bottom, Step, Delay };
enum class RampTarget { None, Left, Right, Gang };
enum class RampDirection { Up, Down };
enum class PinLine { Mute, Zcd };
enum class Topology { Single, Dual };
enum class Port { Lpt1, Lpt2, Lpt3 };

// Codes a read-back leaves in a panel's two code labels; -1 where a label shows "XXh".
struct ReadBackCodes {
    int left = -1;
    int right = -1;
};

// What became of a setup file the operator named; `reason` says why not, in the operator's
// words, without the file's name (the caller knows it).
struct SetupFileResult {
    enum class Status {
        Done,
        NotFound,    // loading: no file of that name
        Refused,     // loading: not a setup, damaged, or from a newer version; nothing changed
        NotWritten,  // saving: the file could not be written; an old file is left as it was
    };
    Status status = Status::Done;
    std::string reason = {};
};

// The measurement's sound card as a saved setup holds it: the devices ("sim", a sound server's
// sink or source; empty for none) and the calibration file in use (empty for none).
struct AudioChoice {
    std::string output;
    std::string input;
    std::string calibration;
};

// A gesture refused because it would send some channel a code above the operator's gain limit;
// nothing moved. what() names the channel and the gain, for the error queue and the status line.
class GainLimitExceeded : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The program as a remote command or a measurement procedure sees it: one method per
// operator gesture, with the values the controls hold. The caller has already checked every
// argument: `dut` is 1 or 2 (2 only in the dual topology), a slider value lies within that slider's
// range, a text is what was typed. Each method acts as the gesture does, through the same
// handlers (a slider set leaves out the drag's repeated frame, see moveSlider), and returns when
// the gesture's work (port traffic included) is done.
class Instrument {
  public:
    virtual ~Instrument();

    virtual void resetAll() = 0;  // "Reset All"
    virtual void selectPort(Port port) = 0;
    virtual Port port() const = 0;
    virtual void selectTopology(Topology topology) = 0;
    virtual Topology topology() const = 0;

    // Sets the slider to `value` (Left/Right 0..255, Gang 0..510, Pan -255..255): the value's
    // Change, then the projection the operator's drag runs, without the drag's repeated Change,
    // so a Left or Right set sends one frame and all four sliders end as after the drag. A value
    // equal to the current one does nothing.
    virtual void moveSlider(int dut, Slider slider, int value) = 0;
    virtual int sliderValue(int dut, Slider slider) const = 0;

    virtual void setMaxAtten(int dut) = 0;  // "-Inf (dB)"
    virtual void set0dB(int dut) = 0;       // "0.0 (dB)"
    virtual ReadBackCodes interrogate(int dut) = 0;
    // The chain's length in bits as the last read-back counted it (kBitsPerChip per chip that
    // answers); 0 before any.
    virtual int chainLength() const = 0;
    static constexpr int kBitsPerChip = 16;

    virtual void setPin(PinLine line, bool checked) = 0;  // the DUT1 panel's check box
    virtual bool pin(PinLine line) const = 0;

    // Typing `text` into the field and leaving it: the field's validation runs.
    virtual void enterRampField(int dut, RampField field, std::string_view text) = 0;
    virtual std::string rampField(int dut, RampField field) const = 0;
    virtual void selectRampTarget(int dut, RampTarget target) = 0;  // never None
    virtual RampTarget rampTarget(int dut) const = 0;
    // Starts the ramp as a job and returns; the ramp runs on while the caller serves others.
    virtual void ramp(int dut, RampDirection direction) = 0;

    virtual void showPanel(int dut, bool shown) = 0;
    virtual bool panelShown(int dut) const = 0;

    // "Save Setup..." / "Load Setup..." with the dialog answered by `path`. A load checks the
    // whole file first and then acts through the gestures above, so it changes nothing at all
    // unless the file is a sound setup.
    virtual SetupFileResult saveSetup(const std::string& path) = 0;
    virtual SetupFileResult loadSetup(const std::string& path) = 0;

    // The measurement's results in memory written as CSV, and their PDF evaluation report;
    // nothing is measured for either. A file is written whole or not at all: NotFound when
    // its folder does not exist, NotWritten for any other reason; the reason is the system's.
    virtual SetupFileResult saveResults(const std::string& path);
    virtual SetupFileResult saveReport(const std::string& path);

    virtual std::string version() const = 0;  // the program's version, as --version shows it

    // Long operations (ramps) run as jobs, one at a time, while the program serves everything
    // else. Whether one runs now:
    virtual bool jobRunning() const { return false; }
    // The stop gesture: the job ends after the step in progress.
    virtual void abortJob() {}
    // Calls `then` once, as soon as no job runs (at once when none does).
    virtual void afterJob(std::function<void()> then) { then(); }
    // Returns once no job runs, serving the program meanwhile: for a caller that cannot return
    // to the event loop (a script read line by line).
    virtual void awaitJob() {}

    // The measurement's sound card, none where the program has no measurement side.
    virtual std::optional<AudioChoice> audioChoice() const { return std::nullopt; }
    // Chooses the devices and loads the calibration file (none named: the calibration in use
    // stays), all of it or, false with the reason, nothing.
    virtual bool chooseAudio(const AudioChoice& choice, std::string& reason) {
        static_cast<void>(choice);
        reason = "this program measures nothing";
        return false;
    }

    // The highest code the operator's gain limit lets any channel of any chip be sent; 255
    // while no limit is set. moveSlider and set0dB throw GainLimitExceeded for a move that
    // would send a code above it, and leave every slider where it was.
    virtual int highestCode() const { return 255; }
    // The limit as a code (1..255), none while off.
    virtual std::optional<int> gainLimit() const { return std::nullopt; }
    // Sets the limit (none: off). A limit below a code a chip holds now is refused and changes
    // nothing: the result says which ("DUT1 Left is at +6.0 dB"); empty when it was set.
    virtual std::string setGainLimit(std::optional<int> /*code*/) {
        return "this instrument has no gain limit";
    }

    // What this instance has, as *OPT? names it: the port backends it can use here ("SIM",
    // "PPDEV", "DIRECT", "FTDI", "GPIO").
    virtual std::vector<std::string> options() const = 0;
};

}  // namespace selvar::control
