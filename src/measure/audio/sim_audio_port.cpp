// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/audio/sim_audio_port.h"

#include <algorithm>
#include <cmath>

namespace selvar::audio {
namespace {

constexpr int kGlitchFrames = 3;
// Rendered frames kept behind the capture position before the buffer is compacted.
constexpr std::int64_t kCompactFrames = 1 << 16;

}  // namespace

SimAudioPort::SimAudioPort(const AnalogControls& controls, SimAnalogOptions options)
    : controls_(controls), options_(std::move(options)) {}

void SimAudioPort::open(double sampleRate) {
    sampleRate_ = sampleRate > 0.0 ? sampleRate : kDefaultRate;
    path_ = std::make_unique<AnalogPath>(options_, sampleRate_);
    lost_ = false;
    const auto latency = std::llround(options_.latencyMs * sampleRate_ / 1000.0);
    input_.assign(std::size_t(latency) * kAudioChannels, 0.0F);
    inputRead_ = 0;
    output_.clear();
    outputBase_ = played_ = captured_ = sinceGlitch_ = 0;
    glitchPeriod_ = options_.glitchEveryMs
                        ? std::max<std::int64_t>(
                              1, std::llround(*options_.glitchEveryMs * sampleRate_ / 1000.0))
                        : 0;
    inserting_ = 0;
    last_[0] = last_[1] = 0.0F;
}

void SimAudioPort::close() {
    path_.reset();
    input_.clear();
    output_.clear();
}

void SimAudioPort::checkUsable() const {
    if (lost_) {
        throw AudioError(AudioFault::Failed, "the simulated audio device was lost");
    }
    if (!path_) {
        throw AudioError(AudioFault::Failed, "the simulated audio device is not open");
    }
}

std::size_t SimAudioPort::play(std::span<const float> interleaved) {
    checkUsable();
    const std::size_t frames = interleaved.size() / kAudioChannels;
    input_.insert(input_.end(), interleaved.begin(),
                  interleaved.begin() + std::ptrdiff_t(frames * kAudioChannels));
    played_ += std::int64_t(frames);
    return frames;
}

bool SimAudioPort::renderThrough(std::int64_t last) {
    const std::int64_t rendered = outputBase_ + std::int64_t(output_.size() / kAudioChannels);
    const auto available = std::int64_t((input_.size() - inputRead_) / kAudioChannels);
    const std::int64_t frames = std::min(last + 1 - rendered, available);
    if (frames > 0) {
        const auto samples = std::size_t(frames) * kAudioChannels;
        const std::size_t start = output_.size();
        output_.resize(start + samples);
        path_->render(route_ == Route::ThroughChip ? &controls_ : nullptr, chip_,
                      std::span(input_).subspan(inputRead_, samples),
                      std::span(output_).subspan(start, samples));
        inputRead_ += samples;
    }
    if (inputRead_ > std::size_t(kCompactFrames) * kAudioChannels) {
        input_.erase(input_.begin(), input_.begin() + std::ptrdiff_t(inputRead_));
        inputRead_ = 0;
    }
    return rendered + frames > last;
}

// A four-point Lagrange interpolation between frames: flat to a few ten-thousandths of a dB
// up to a few kHz, so a drifting capture keeps the level exact.
bool SimAudioPort::sampleAt(std::int64_t frame, std::span<float, 2> out) {
    const double t =
        options_.driftPpm == 0.0 ? double(frame) : double(frame) / (1.0 + options_.driftPpm * 1e-6);
    const auto whole = std::int64_t(std::floor(t));
    const double x = t - double(whole);
    const int reach = x == 0.0 ? 0 : 2;
    if (!renderThrough(whole + reach)) {
        return false;
    }
    const double weights[4] = {-x * (x - 1) * (x - 2) / 6, (x + 1) * (x - 1) * (x - 2) / 2,
                               -(x + 1) * x * (x - 2) / 2, (x + 1) * x * (x - 1) / 6};
    for (std::size_t side = 0; side < kAudioChannels; ++side) {
        double value = 0.0;
        for (std::int64_t k = (reach == 0 ? 0 : -1); k <= reach; ++k) {
            const std::int64_t index = whole + k - outputBase_;
            const double sample = index < 0 ? 0.0 : output_[std::size_t(index) * 2 + side];
            value += (reach == 0 ? 1.0 : weights[k + 1]) * sample;
        }
        out[side] = float(value);
    }
    if (whole - outputBase_ > kCompactFrames) {
        const std::int64_t drop = whole - outputBase_ - 1;
        output_.erase(output_.begin(), output_.begin() + std::ptrdiff_t(drop * kAudioChannels));
        outputBase_ += drop;
    }
    return true;
}

std::size_t SimAudioPort::capture(std::span<float> interleaved) {
    checkUsable();
    const double clock = 1.0 + options_.driftPpm * 1e-6;
    const auto limit = std::int64_t(std::floor(double(played_) * clock));
    // The whole request in one pass of the path: the registers are read once per call.
    const std::int64_t lastWanted =
        std::min(captured_ + std::int64_t(interleaved.size() / kAudioChannels), limit) - 1;
    if (lastWanted >= captured_) {
        const int reach = options_.driftPpm == 0.0 ? 0 : 2;
        renderThrough(std::int64_t(std::floor(double(lastWanted) / clock)) + reach);
    }
    std::size_t frames = 0;
    for (; (frames + 1) * kAudioChannels <= interleaved.size(); ++frames) {
        std::span<float, 2> out(interleaved.data() + frames * kAudioChannels, 2);
        if (inserting_ > 0) {
            --inserting_;
            out[0] = last_[0];
            out[1] = last_[1];
            continue;
        }
        if (captured_ >= limit || !sampleAt(captured_, out)) {
            break;
        }
        ++captured_;
        last_[0] = out[0];
        last_[1] = out[1];
        if (glitchPeriod_ > 0 && ++sinceGlitch_ == glitchPeriod_) {
            sinceGlitch_ = 0;
            inserting_ = kGlitchFrames;
        }
    }
    return frames;
}

}  // namespace selvar::audio
