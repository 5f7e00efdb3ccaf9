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
// The closing marker this far from where the card's drift puts it means frames were lost or
// inserted (a frame is 10 ppm over a 2 s run; a drift is measured to a fraction of one).
constexpr double kDriftSlipFrames = 0.75;
// Markers that correlate this well with what was played are the card's, not noise.
constexpr double kTrustedCorrelation = 0.5;
constexpr std::size_t kHeadSlack = 4800;  // 0.1 s beyond the latency, for a marker's search
// A part shorter than this (a marker alone) gives too few blocks to tell a jump from jitter.
constexpr std::size_t kFewestFollowed = 16 * 256;

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
    latencyFrames_ = std::size_t(std::ceil(plan_.maxLatencySeconds * rate));
    wanted_ = runFrames + latencyFrames_ + std::size_t(double(runFrames) * kClockSlack);
    const std::size_t tail = wanted_ + std::size_t(double(wanted_) * kClockSlack) + 64;
    reference_ = mono(run.signal, lastMarkerStart_ + marker_.size());
    std::size_t audible = 0;
    for (const auto& [begin, end] : plan_.faint) {
        if (run.bodyStart + begin > audible) {
            audible_.emplace_back(audible, run.bodyStart + begin);
        }
        audible = std::max(audible, run.bodyStart + end);
    }
    audible_.emplace_back(audible, reference_.size());
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
    backlog_ = stream_.backlog();
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

// Where an event's frame of the stimulus comes back in this attempt's capture, by the latency
// and the drift the port's earlier runs found.
std::int64_t MarkedRunner::captureFrameOf(const RunEvent& event) const {
    return std::llround(double(event.frame) * (1.0 + stream_.driftPpm * 1e-6)) +
           plan_.eventLatencyFrames + backlog_;
}

void MarkedRunner::fireDue() {
    const auto captured = std::int64_t(capturedInterleaved_.size() / 2);
    while (nextEvent_ < plan_.events.size()) {
        const RunEvent& event = plan_.events[nextEvent_];
        if (event.frame > 0 && captured < captureFrameOf(event)) {
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
        limit = std::min(limit, captureFrameOf(plan_.events[nextEvent_]));
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

// The timing followed through each audible part on its own, from where the markers place it:
// over a faint part of a second, a clock 200 ppm off moves 10 frames, beyond where the search
// looks, and a steady drift taken from a few marker blocks would add up across it to frames
// never inserted. A jump hidden in a faint part still moves the closing marker, which the
// drift expected of the card (when given) catches.
std::vector<dsp::Glitch> MarkedRunner::findGlitches(std::span<const float> heard, double firstLag,
                                                    double driftPpm) const {
    std::vector<dsp::Glitch> found;
    const std::span<const float> reference(reference_);
    for (const auto& [from, to] : audible_) {
        if (to - from < kFewestFollowed) {
            continue;
        }
        const double lag = firstLag + double(from) * (1.0 + driftPpm * 1e-6);
        const auto part =
            dsp::findGlitches(reference.subspan(from, to - from), heard, std::llround(lag));
        found.insert(found.end(), part.begin(), part.end());
    }
    if (plan_.expectedDriftPpm) {
        const double frames =
            (driftPpm - *plan_.expectedDriftPpm) * 1e-6 * double(lastMarkerStart_);
        if (std::abs(frames) >= kDriftSlipFrames) {
            found.push_back({std::llround(firstLag) + std::int64_t(lastMarkerStart_),
                             int(std::lround(frames))});
        }
    }
    return found;
}

// Where the markers lie gives the latency and the drift; the timing followed through the run
// between them gives the glitches. Both channels together, so that either one's chip may be
// muted or turned down for a while.
bool MarkedRunner::analyse() {
    dsp::StereoBuffer captured = dsp::deinterleave(capturedInterleaved_);
    const std::vector<float> heard = mono(captured, captured.frames());
    const std::span<const float> all(heard);
    // The opening marker lies within the longest latency waited for: no need to correlate
    // the whole run (a transform of seconds would hold the slice for tens of ms).
    const std::size_t head =
        std::min({heard.size(), lastMarkerStart_ + std::size_t(backlog_),
                  std::size_t(backlog_) + marker_.size() + latencyFrames_ + kHeadSlack});
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
    result_.glitches = findGlitches(heard, first.lag, result_.driftPpm);
    if (result_.markerCorrelation >= kTrustedCorrelation) {
        stream_.driftPpm = result_.driftPpm;
    }
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
