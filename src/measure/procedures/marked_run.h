// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "measure/dsp/buffers.h"
#include "measure/dsp/fft.h"
#include "measure/dsp/glitch.h"
#include "measure/procedures/dut_access.h"

namespace selvar::audio {
class AudioPort;
}

namespace selvar::measure {

// Something to do as the stimulus reaches a frame: where a procedure changes the chip's codes,
// so that the change lands at that point of what is played.
struct RunEvent {
    std::int64_t frame = 0;  // of the run as played (frame 0 is the opening marker's first)
    std::function<void()> act;
};

// What one run plays, and when it acts on the chip.
struct RunPlan {
    dsp::StereoBuffer body;
    double markerAmplitude = 0.5;  // peak; the markers go through the chip too
    // In frame order. Events at or before frame 0 happen before anything is played. The others
    // happen once the capture has reached their frame plus eventLatencyFrames, which lands them
    // at their frame of the stimulus on a path whose latency that is (on a real card a little
    // later: its input buffer's worth; procedures leave the latency and 20 ms after a change
    // unmeasured).
    std::vector<RunEvent> events;
    std::int64_t eventLatencyFrames = 0;
    // Body frames [first, second) where the output is too faint to follow the timing in; the
    // glitch search skips them and finds a jump made there at the next audible part.
    std::vector<std::pair<std::size_t, std::size_t>> faint;
    // The card's drift as an earlier run found it: a run whose markers lie further apart or
    // closer than it allows has lost or gained frames somewhere, even where it was too faint
    // to follow.
    std::optional<double> expectedDriftPpm;
    // The largest latency to capture for: the run ends this long after its closing marker.
    double maxLatencySeconds = 0.25;
};

// What has gone through an open port, across runs. A run plays a little more silence than it
// waits to capture, so the next run's capture starts behind its playback by the difference.
// The capture clock's drift (as the last run found it) says how many capture frames that is.
struct PortStream {
    std::int64_t played = 0;
    std::int64_t captured = 0;
    double driftPpm = 0.0;

    std::int64_t backlog() const {
        return std::max<std::int64_t>(
            0, std::llround(double(played) * (1.0 + driftPpm * 1e-6)) - captured);
    }
};

// A finished run's capture, placed against what was played.
struct RunCapture {
    dsp::StereoBuffer captured;           // from the run's first capture on
    std::int64_t latencyFrames = 0;       // where the opening marker lies in the capture, exact
    double firstMarker = 0.0;             // the same, refined between frames
    double driftPpm = 0.0;                // the capture clock against the playback clock
    double markerCorrelation = 0.0;       // the weaker marker's; near 0 when a marker is missing
    std::vector<dsp::Glitch> glitches;    // of the last attempt
    std::vector<dsp::Glitch> retriedFor;  // what the repeated attempts had, in order
    int retries = 0;                      // attempts repeated for a glitch
    std::size_t bodyStart = 0;            // where the body starts in the played run

    // The captured frames of a span of the played body, the clock drift taken into account.
    std::span<const float> body(Channel channel, std::size_t bodyFrame, std::size_t frames) const;
};

// Plays a body between chirp markers through a port and captures it, in slices that never
// block: each slice plays what the port takes, captures what has arrived and returns at its
// deadline. Silence follows the closing marker so that the latency is captured too. The
// markers then give the latency (to the sample) and the clock drift; a glitch (frames dropped
// or inserted by the card) found in the capture repeats the run, up to maxRetries times.
class MarkedRunner {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kMaxRetries = 3;

    // port (open), stream (what the port has carried since it opened) and cache outlive the
    // runner.
    MarkedRunner(audio::AudioPort& port, PortStream& stream, dsp::FftCache& cache, RunPlan plan);

    // Plays and captures until the deadline or the run's end; true once it is over: then
    // either capture() holds the result or gaveUp() says every attempt had a glitch. An
    // AudioError from the port passes through.
    bool advance(Clock::time_point deadline);
    // Where the body starts in a run at this rate, for placing events.
    static std::size_t bodyStart(double sampleRate);
    bool gaveUp() const { return gaveUp_; }
    const RunCapture& capture() const { return result_; }

    // Of the attempt in progress: 0 .. 1.
    double fraction() const;
    // The captured level of the last frames taken, per channel in dBFS (mean square scale).
    std::pair<double, double> recentLevels() const;

  private:
    void startAttempt();
    bool step();
    void fireDue();
    std::int64_t captureFrameOf(const RunEvent& event) const;
    bool analyse();
    std::vector<dsp::Glitch> findGlitches(std::span<const float> heard, double firstLag,
                                          double driftPpm) const;

    audio::AudioPort& port_;
    PortStream& stream_;
    dsp::FftCache& cache_;
    RunPlan plan_;
    std::vector<float> marker_;
    std::vector<float> played_;  // the whole run, interleaved, tail included
    // Both channels of what was played up to the closing marker's end, and its parts loud
    // enough to follow the timing in: what the glitch search follows.
    std::vector<float> reference_;
    std::vector<std::pair<std::size_t, std::size_t>> audible_;
    std::size_t lastMarkerStart_ = 0;
    std::size_t wanted_ = 0;         // frames to capture
    std::size_t latencyFrames_ = 0;  // the most waited for
    std::size_t playedFrames_ = 0;
    std::size_t nextEvent_ = 0;
    std::int64_t backlog_ = 0;  // capture frames of earlier runs still to come
    std::vector<float> capturedInterleaved_;
    std::size_t recentFrom_ = 0;
    RunCapture result_;
    bool done_ = false;
    bool gaveUp_ = false;
};

}  // namespace selvar::measure
