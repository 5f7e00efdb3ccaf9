// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "measure/audio/analog_controls.h"
#include "measure/audio/analog_path.h"
#include "measure/audio/audio_port.h"
#include "measure/audio/sim_analog_options.h"

namespace selvar::audio {

// The simulated board's analog path as a sound card: what is played goes through the chip the
// path is cabled to (its registers read through controls) and comes back as capture. Time is
// the board's, not the wall clock's: the path renders only as capture() asks for frames, so a
// run is deterministic and as fast as the machine allows, and a register change made between
// two capture() calls takes effect at boardFrame(). The latency is all on the playback side:
// a change at board frame n shows in capture frame n (with no drift or glitch). The capture
// stream holds as many frames as were played (more with a fast capture clock or glitches).
class SimAudioPort final : public AudioPort {
  public:
    enum class Route {
        ThroughChip,  // card out -> chip -> card in
        LoopThrough,  // card out -> card in, for the card's own calibration
    };

    // controls must outlive the port.
    explicit SimAudioPort(const AnalogControls& controls, SimAnalogOptions options = {});

    void open(double sampleRate = 0.0) override;
    void close() override;
    bool isOpen() const override { return path_ != nullptr; }
    double sampleRate() const override { return sampleRate_; }
    std::size_t play(std::span<const float> interleaved) override;
    std::size_t capture(std::span<float> interleaved) override;

    // 0 is DUT1, 1 is DUT2; takes effect at the next frame rendered.
    void setChip(int chip) { chip_ = chip; }
    void setRoute(Route route) { route_ = route; }
    // As if the card were unplugged: play() and capture() fail until the port is reopened.
    void loseDevice() { lost_ = true; }
    // The board's clock: path frames rendered since open().
    std::int64_t boardFrame() const { return path_ ? path_->frame() : 0; }

  private:
    static constexpr double kDefaultRate = 48000.0;

    void checkUsable() const;
    // Renders path frames until frames() > last, as far as what was played allows.
    bool renderThrough(std::int64_t last);
    // The path's output at a time in path frames, between frames when the clocks drift.
    bool sampleAt(std::int64_t frame, std::span<float, 2> out);

    const AnalogControls& controls_;
    SimAnalogOptions options_;
    double sampleRate_ = kDefaultRate;
    int chip_ = 0;
    Route route_ = Route::ThroughChip;
    bool lost_ = false;
    std::unique_ptr<AnalogPath> path_;

    std::vector<float> input_;   // interleaved, not yet rendered; starts with the latency
    std::size_t inputRead_ = 0;  // samples of input_ already rendered
    std::vector<float> output_;  // interleaved rendered frames from outputBase_ on
    std::int64_t outputBase_ = 0;
    std::int64_t played_ = 0;
    std::int64_t captured_ = 0;  // capture frames taken from the path (not the inserted ones)
    std::int64_t glitchPeriod_ = 0;
    std::int64_t sinceGlitch_ = 0;
    int inserting_ = 0;
    float last_[2] = {0.0F, 0.0F};
};

}  // namespace selvar::audio
