// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/procedures/check_job.h"

#include <algorithm>
#include <cmath>

#include "measure/audio/audio_port.h"
#include "measure/dsp/alignment.h"
#include "measure/dsp/generators.h"

namespace selvar::measure {
namespace {

// Silence after the run, so that its end comes back through the card's latency.
constexpr double kTailSeconds = 0.25;
constexpr std::size_t kChunkFrames = 4096;

}  // namespace

// One run: the body between markers, played in slices; each gesture made as the capture
// reaches its frame; the capture lined up with the body by the opening marker.
struct CheckJob::Run {
    dsp::MarkedRun marked;
    std::vector<Gesture> gestures;
    std::size_t nextGesture = 0;
    std::vector<float> out;  // interleaved, with the tail
    std::size_t played = 0;  // frames
    std::vector<float> in;   // interleaved capture
    std::int64_t latencyFrames = 0;

    std::size_t totalFrames() const { return out.size() / audio::kAudioChannels; }
    std::size_t capturedFrames() const { return in.size() / audio::kAudioChannels; }

    // Frames of capture until the next gesture is due, or until the end.
    std::size_t captureLimit() const {
        if (nextGesture < gestures.size()) {
            const auto due = std::int64_t(marked.bodyStart + gestures[nextGesture].frame) +
                             latencyFrames;
            return std::size_t(std::max<std::int64_t>(due, 0));
        }
        return totalFrames();
    }
};

CheckJob::CheckJob(CheckContext context, int dut, std::string description, ReplyHandler done)
    : ProcedureJob(std::move(description), std::move(done)),
      context_(std::move(context)),
      dut_(dut) {}

CheckJob::~CheckJob() = default;

int CheckJob::referenceCode() const {
    return std::min(192, dut().highestCode());
}

void CheckJob::setBoth(int code) {
    dut().setCode(Channel::Left, code);
    dut().setCode(Channel::Right, code);
}

bool CheckJob::open() {
    Failure failure = Failure::None;
    audio::AudioPort* port = context_.bench.portFor(dut_, failure);
    if (port == nullptr) {
        fail(failure == Failure::None ? Failure::NoDevice : failure, "no audio device");
        return false;
    }
    holdDut(context_.bench.dut(dut_));
    holdPort(port);
    port->open();
    sampleRate_ = port->sampleRate();
    port_ = port;
    opened_ = true;
    begin();
    return true;
}

void CheckJob::startRun(dsp::StereoBuffer body, std::vector<Gesture> gestures) {
    run_ = std::make_unique<Run>();
    run_->marked = dsp::withMarkers(std::move(body), sampleRate_);
    run_->gestures = std::move(gestures);
    std::sort(run_->gestures.begin(), run_->gestures.end(),
              [](const Gesture& a, const Gesture& b) { return a.frame < b.frame; });
    run_->out = dsp::interleave(run_->marked.signal);
    run_->out.resize(run_->out.size() +
                     std::size_t(std::lround(kTailSeconds * sampleRate_)) * audio::kAudioChannels);
    if (context_.calibration) {
        run_->latencyFrames = std::llround(context_.calibration->latencyMs * sampleRate_ / 1000.0);
    }
}

bool CheckJob::work(Clock::time_point deadline) {
    if (!opened_ && !open()) {
        return false;
    }
    while (!ended() && run_ && Clock::now() < deadline) {
        Run& run = *run_;
        const std::size_t total = run.totalFrames();
        if (run.played < total) {
            run.played += port_->play(std::span(run.out).subspan(
                run.played * audio::kAudioChannels, (total - run.played) * audio::kAudioChannels));
        }
        while (run.nextGesture < run.gestures.size() &&
               run.capturedFrames() >= run.captureLimit()) {
            run.gestures[run.nextGesture++].act(dut());
        }
        const std::size_t want =
            std::min(kChunkFrames, run.captureLimit() - std::min(run.captureLimit(),
                                                                 run.capturedFrames()));
        if (want > 0) {
            std::vector<float> chunk(want * audio::kAudioChannels);
            chunk.resize(port_->capture(chunk) * audio::kAudioChannels);
            run.in.insert(run.in.end(), chunk.begin(), chunk.end());
        }
        if (run.capturedFrames() >= total) {
            finishRun();
        }
    }
    return !ended();
}

void CheckJob::finishRun() {
    const dsp::StereoBuffer capture = dsp::deinterleave(run_->in);
    const dsp::MarkedRun& marked = run_->marked;
    const std::vector<float> marker(
        marked.signal.left.begin(),
        marked.signal.left.begin() + std::ptrdiff_t(marked.markerFrames));
    dsp::FftCache cache;
    // The opening marker only: the closing one is as good a copy, and lies beyond.
    const std::span<const float> opening(capture.left.data(),
                                         std::min(capture.frames(), marked.lastMarkerStart));
    const dsp::Alignment at = dsp::align(cache, marker, opening);
    const auto first = std::size_t(std::max<std::int64_t>(0, at.lagFrames)) + marked.bodyStart;
    const std::size_t frames = marked.lastMarkerStart - marked.bodyStart;
    dsp::StereoBuffer body;
    for (const auto& [from, to] : {std::pair{&capture.left, &body.left},
                                   std::pair{&capture.right, &body.right}}) {
        const std::size_t end = std::min(from->size(), first + frames);
        to->assign(from->begin() + std::ptrdiff_t(std::min(first, end)),
                   from->begin() + std::ptrdiff_t(end));
    }
    run_.reset();
    ++runsDone_;
    setProgress({.done = runsDone_, .total = runCount_, .code = {}, .secondsLeft = 0.0});
    captured(body);
}

}  // namespace selvar::measure
