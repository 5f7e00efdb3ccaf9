// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

#include "entry/audio_options.h"
#include "measure/gateway/measure_module.h"

namespace selvar::platform {
class BoardRegisters;
}
namespace selvar::audio {
class AudioPort;
class AnalogControls;
class SimAudioPort;
}  // namespace selvar::audio

namespace selvar::entry {

// The measurement's sound card as the program has it: the options the command line chose, the
// devices they come to, and the port over them, made on first use only: a start that measures
// nothing loads no sound server connection and renders no simulated audio.
class AudioSetup {
  public:
    // board: the simulated board's registers, null on real hardware; it must outlive this.
    // module makes the port on a sound server's devices; without it such a port fails to open
    // as missing hardware, saying why.
    AudioSetup(AudioOptions options, const platform::BoardRegisters* board,
               measure::MeasureModuleAccess module = {});
    ~AudioSetup();
    AudioSetup(const AudioSetup&) = delete;
    AudioSetup& operator=(const AudioSetup&) = delete;

    const AudioOptions& options() const { return options_; }
    // The devices in use: "sim", a sound server's sink or source, or empty for none.
    const std::string& outputDevice() const { return output_; }
    const std::string& inputDevice() const { return input_; }
    // The port over the devices, made on the first call; null when either end is none, or
    // when sim is named where there is no simulated board (no audio hardware).
    audio::AudioPort* port();
    // The port when port() made the simulated path, else null.
    audio::SimAudioPort* simulatedPort() const { return sim_; }
    // Whether port() has something to make: both ends named, sim only on a simulated board.
    bool usable() const;
    // Whether the simulated path can be named here.
    bool simulationAvailable() const { return board_ != nullptr; }

    // Another device at one end; the port is made afresh at its next use. "sim" at one end
    // puts the simulated path at both, and a real device at one end takes the other off it.
    void setOutputDevice(const std::string& device);
    void setInputDevice(const std::string& device);
    // The board a real card is cabled to (--audio-dut), 1 or 2.
    int cabledDut() const { return options_.dut; }
    void setCabledDut(int dut) { options_.dut = dut; }

  private:
    AudioOptions options_;
    const platform::BoardRegisters* board_;
    measure::MeasureModuleAccess module_;
    std::string output_;
    std::string input_;
    std::unique_ptr<audio::AnalogControls> controls_;
    std::unique_ptr<audio::AudioPort> port_;
    audio::SimAudioPort* sim_ = nullptr;

    void dropPort();
    void setDevice(std::string& end, std::string& other, const std::string& device);
    std::unique_ptr<audio::AudioPort> serverPort();
};

}  // namespace selvar::entry
