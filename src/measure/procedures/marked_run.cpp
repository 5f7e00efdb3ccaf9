// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/procedures/marked_run.h"

#include <algorithm>
#include <cmath>

#include "measure/audio/audio_port.h"
#include "measure/dsp/alignment.h"
#include "measure/dsp/generators.h"
#include "measure/dsp/levels.h"

namespace selvar::measure {

namespace {

constexpr double kGapSeconds = 0.01;
// Capture clocks run off by a few hundred ppm at most; the run waits for this much more.
constexpr double kClockSlack = 0.002;
constexpr std::size_t kLevelFrames = 1600;  // what the level meter averages over

std::vector<float> mono(const dsp::StereoBuffer& buffer, std::size_t frames) {
    std::vector<float> out(std::min(frames, buffer.frames()));
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = buffer.left[i] + buffer.right[i];
    }
    return out;
}

}  // namespace

std::span<const float> RunCapture::body(Channel channel, std::size_t bodyFrame,
                                        std::size_t frames) const {
    const auto& samples = channel == Channel::Left ? captured.left : captured.right;
    const double played = double(bodyStart + bodyFrame);
    const auto from = std::llround(firstMarker + played * (1.0 + driftPpm * 1e-6));
    const auto start = std::size_t(std::clamp<long long>(from, 0, (long long)samples.size()));
    return std::span<const float>(samples).subspan(start, std::min(frames, samples.size() - start));
}

MarkedRunner::MarkedRunner(audio::AudioPort& port, PortStream& stream, dsp::FftCache& cache,
                           RunPlan plan)
    : port_(port), stream_(stream), cache_(cache), plan_(std::move(plan)) {
    const double rate = port_.sampleRate();
    const dsp::Chirp chirp{.amplitude = plan_.markerAmplitude};
    marker_ = dsp::chirpMarker(rate, chirp);
    dsp::MarkedRun run = dsp::withMarkers(std::move(plan_.body), rate, kGapSeconds, chirp);
    plan_.body = {};
    result_.bodyStart = run.bodyStart;
    lastMarkerStart_ = run.lastMarkerStart;
    const std::size_t runFrames = run.signal.frames();
    wanted_ = runFrames + std::size_t(std::ceil(plan_.maxLatencySeconds * rate)) +
              std::size_t(double(runFrames) * kClockSlack);
    const std::size_t tail = wanted_ + std::size_t(double(wanted_) * kClockSlack) + 64;
    reference_ = mono(run.signal, lastMarkerStart_ + marker_.size());
    for (const auto& [begin, end] : plan_.faint) {
        const std::size_t from = std::min(run.bodyStart + begin, reference_.size());
        const std::size_t to = std::min(run.bodyStart + end, reference_.size());
        std::fill(reference_.begin() + std::ptrdiff_t(from),
                  reference_.begin() + std::ptrdiff_t(to), 0.0F);
    }
    run.signal.left.resize(tail, 0.0F);
    run.signal.right.resize(tail, 0.0F);
    played_ = dsp::interleave(run.signal);
    startAttempt();
}

void MarkedRunner::startAttempt() {
    capturedInterleaved_.clear();
    recentFrom_ = 0;
    playedFrames_ = 0;
    nextEvent_ = 0;
    backlog_ = std::max<std::int64_t>(0, stream_.played - stream_.captured);
    fireDue();
}

std::size_t MarkedRunner::bodyStart(double sampleRate) {
    return dsp::chirpMarker(sampleRate).size() + std::size_t(std::lround(kGapSeconds * sampleRate));
}

double MarkedRunner::fraction() const {
    return double(capturedInterleaved_.size() / 2) / double(wanted_ + std::size_t(backlog_));
}

std::pair<double, double> MarkedRunner::recentLevels() const {
    const std::size_t frames = capturedInterleaved_.size() / 2;
    const std::size_t from =
        std::min(recentFrom_, frames > kLevelFrames ? frames - kLevelFrames : std::size_t{0});
    double sum[2] = {0.0, 0.0};
    for (std::size_t i = from; i < frames; ++i) {
        sum[0] += double(capturedInterleaved_[2 * i]) * capturedInterleaved_[2 * i];
        sum[1] += double(capturedInterleaved_[2 * i + 1]) * capturedInterleaved_[2 * i + 1];
    }
    const double count = double(std::max<std::size_t>(1, frames - from));
    return {dsp::meanSquareToDbfs(sum[0] / count + 1e-30),
            dsp::meanSquareToDbfs(sum[1] / count + 1e-30)};
}

void MarkedRunner::fireDue() {
    const auto captured = std::int64_t(capturedInterleaved_.size() / 2);
    while (nextEvent_ < plan_.events.size()) {
        const RunEvent& event = plan_.events[nextEvent_];
        if (event.frame > 0 && captured < event.frame + plan_.eventLatencyFrames + backlog_) {
            break;
        }
        ++nextEvent_;
        if (event.act) {
            event.act();
        }
    }
}

// One round of playing and capturing, the capture stopping at the next event's frame so that
// the event acts between exactly those frames; false when nothing moved.
bool MarkedRunner::step() {
    const std::size_t total = played_.size() / 2;
    std::size_t moved = 0;
    if (playedFrames_ < total) {
        const std::size_t taken =
            port_.play(std::span<const float>(played_).subspan(playedFrames_ * 2));
        playedFrames_ += taken;
        stream_.played += std::int64_t(taken);
        moved += taken;
    }
    auto limit = std::int64_t(wanted_) + backlog_;
    if (nextEvent_ < plan_.events.size()) {
        limit =
            std::min(limit, plan_.events[nextEvent_].frame + plan_.eventLatencyFrames + backlog_);
    }
    const std::size_t have = capturedInterleaved_.size();
    if (limit > std::int64_t(have / 2)) {
        capturedInterleaved_.resize(have + std::size_t(limit - std::int64_t(have / 2)) * 2);
        const std::size_t got = port_.capture(std::span<float>(capturedInterleaved_).subspan(have));
        capturedInterleaved_.resize(have + got * 2);
        stream_.captured += std::int64_t(got);
        recentFrom_ = have / 2;
        moved += got;
    }
    fireDue();
    return moved > 0;
}

bool MarkedRunner::advance(Clock::time_point deadline) {
    while (!done_) {
        const bool moved = step();
        if (capturedInterleaved_.size() / 2 >= wanted_ + std::size_t(backlog_)) {
            done_ = analyse();
            continue;
        }
        if (!moved || Clock::now() >= deadline) {
            return false;
        }
    }
    return true;
}

// Where the markers lie gives the latency and the drift; the timing followed through the run
// between them gives the glitches. Both channels together, so that either one's chip may be
// muted or turned down for a while.
bool MarkedRunner::analyse() {
    dsp::StereoBuffer captured = dsp::deinterleave(capturedInterleaved_);
    const std::vector<float> heard = mono(captured, captured.frames());
    const std::span<const float> all(heard);
    const std::size_t head = std::min(heard.size(), lastMarkerStart_ + std::size_t(backlog_));
    const dsp::Alignment first = dsp::align(cache_, marker_, all.first(head));
    const auto margin = std::int64_t(64 + kClockSlack * double(lastMarkerStart_));
    const auto from = std::size_t(
        std::clamp<std::int64_t>(first.lagFrames + std::int64_t(lastMarkerStart_) - margin, 0,
                                 std::int64_t(heard.size()) - std::int64_t(marker_.size())));
    const dsp::Alignment last = dsp::align(cache_, marker_, all.subspan(from));

    result_.firstMarker = first.lag;
    result_.latencyFrames = first.lagFrames - backlog_;
    result_.driftPpm =
        ((last.lag + double(from) - first.lag) / double(lastMarkerStart_) - 1.0) * 1e6;
    result_.markerCorrelation = std::min(first.correlation, last.correlation);
    result_.glitches = dsp::findGlitches(reference_, heard, first.lagFrames);
    result_.captured = std::move(captured);
    if (!result_.glitches.empty()) {
        result_.retriedFor.insert(result_.retriedFor.end(), result_.glitches.begin(),
                                  result_.glitches.end());
        if (result_.retries < kMaxRetries) {
            ++result_.retries;
            startAttempt();
            return false;
        }
        gaveUp_ = true;
    }
    return true;
}

}  // namespace selvar::measure
