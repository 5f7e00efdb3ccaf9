// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <span>
#include <stdexcept>
#include <string>

namespace selvar::audio {

// Why an audio operation failed, as the remote interface reports it.
enum class AudioFault {
    Missing,  // no such device, or none at all: "Hardware missing"
    Failed,   // the device refused, broke down or went away mid-run: "Hardware error"
};

class AudioError : public std::runtime_error {
  public:
    AudioError(AudioFault fault, const std::string& message)
        : std::runtime_error(message), fault_(fault) {}
    AudioFault fault() const { return fault_; }

  private:
    AudioFault fault_;
};

inline constexpr int kAudioChannels = 2;  // stereo; frames are interleaved L R L R ...

// The measurement's sound card: one output, one input, both stereo float at one rate, full
// scale ±1.0. Every call returns at once, so that a measurement can run as a job in slices on
// the event loop: a slice offers stimulus frames with play(), takes whatever has arrived with
// capture(), and yields. The capture stream runs alongside the playback stream: about as many
// frames come in as have gone out, so to capture the tail of a run (latency), play silence.
// Errors are AudioError: Missing from open() when a device is absent, Failed when one cannot
// start or is lost; once lost, play() and capture() throw Failed until the port is reopened.
class AudioPort {
  public:
    virtual ~AudioPort() = default;

    // Opens the output and the input at sampleRate (0: the port's default) and starts both
    // streams; reopening starts afresh.
    virtual void open(double sampleRate = 0.0) = 0;
    // Stops both streams; a port that is not open ignores it.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // The rate both streams run at; valid once open.
    virtual double sampleRate() const = 0;

    // Queues interleaved frames (an even count of samples) for playback. Returns how many
    // frames were taken: fewer when the output's buffer is full; offer the rest later.
    virtual std::size_t play(std::span<const float> interleaved) = 0;
    // Moves up to interleaved.size() / 2 captured frames into interleaved, oldest first, and
    // returns how many; 0 when none has arrived yet.
    virtual std::size_t capture(std::span<float> interleaved) = 0;
};

}  // namespace selvar::audio
