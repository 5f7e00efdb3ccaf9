// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/audio_setup.h"

#include "measure/audio/analog_controls.h"
#include "measure/audio/qt_audio_port.h"
#include "measure/audio/sim_audio_port.h"

namespace selvar::entry {

AudioSetup::AudioSetup(AudioOptions options, const platform::BoardRegisters* board)
    : options_(std::move(options)), board_(board) {
    const bool simNamed = options_.output == kSimAudioDevice || options_.input == kSimAudioDevice;
    const bool noneNamed = options_.output.empty() && options_.input.empty();
    if (simNamed || (noneNamed && board_ != nullptr)) {
        output_ = input_ = kSimAudioDevice;
    } else {
        // A real card at one end and nothing at the other is no loop to measure through.
        output_ = options_.output;
        input_ = options_.input;
    }
}

AudioSetup::~AudioSetup() = default;

bool AudioSetup::usable() const {
    return !output_.empty() && !input_.empty() && (output_ != kSimAudioDevice || board_ != nullptr);
}

void AudioSetup::dropPort() {
    port_.reset();
    controls_.reset();
    sim_ = nullptr;
}

// The simulated path is a loop of its own: it never plays into one card and records another.
void AudioSetup::setDevice(std::string& end, std::string& other, const std::string& device) {
    dropPort();
    if (device == kSimAudioDevice) {
        output_ = input_ = kSimAudioDevice;
        return;
    }
    end = device;
    if (other == kSimAudioDevice) {
        other.clear();
    }
}

void AudioSetup::setOutputDevice(const std::string& device) {
    setDevice(output_, input_, device);
}

void AudioSetup::setInputDevice(const std::string& device) {
    setDevice(input_, output_, device);
}

audio::AudioPort* AudioSetup::port() {
    if (port_ || output_.empty() || input_.empty()) {
        return port_.get();
    }
    if (output_ == kSimAudioDevice) {
        if (board_ == nullptr) {
            return nullptr;
        }
        controls_ = std::make_unique<audio::SimBoardControls>(*board_);
        auto sim = std::make_unique<audio::SimAudioPort>(*controls_, options_.simAnalog);
        sim->setChip(options_.dut - 1);
        sim_ = sim.get();
        port_ = std::move(sim);
    } else {
        port_ = std::make_unique<audio::QtAudioPort>(QByteArray::fromStdString(output_),
                                                     QByteArray::fromStdString(input_));
    }
    return port_.get();
}

}  // namespace selvar::entry
