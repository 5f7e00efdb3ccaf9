// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/audio_setup.h"

#include "measure/audio/analog_controls.h"
#include "measure/audio/sim_audio_port.h"

namespace selvar::entry {

namespace {

// A sound server's devices when the module that reaches them could not be loaded: opening says
// why, as a device that is not there.
class UnreachableAudioPort final : public audio::AudioPort {
  public:
    explicit UnreachableAudioPort(std::string reason) : reason_(std::move(reason)) {}
    void open(double) override { throw audio::AudioError(audio::AudioFault::Missing, reason_); }
    void close() override {}
    bool isOpen() const override { return false; }
    double sampleRate() const override { return 0.0; }
    std::size_t play(std::span<const float>) override { return 0; }
    std::size_t capture(std::span<float>) override { return 0; }

  private:
    std::string reason_;
};

}  // namespace

AudioSetup::AudioSetup(AudioOptions options, const platform::BoardRegisters* board,
                       measure::MeasureModuleAccess module)
    : options_(std::move(options)), board_(board), module_(std::move(module)) {
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
        port_ = serverPort();
    }
    return port_.get();
}

std::unique_ptr<audio::AudioPort> AudioSetup::serverPort() {
    std::string error = "no measurement module in this program";
    measure::MeasureModule* module = module_ ? module_(error) : nullptr;
    if (module == nullptr) {
        return std::make_unique<UnreachableAudioPort>(std::move(error));
    }
    return module->makeAudioPort(output_, input_);
}

}  // namespace selvar::entry
