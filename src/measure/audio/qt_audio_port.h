// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QElapsedTimer>

#include <memory>
#include <string>
#include <vector>

#include "measure/audio/audio_devices.h"
#include "measure/audio/audio_port.h"

class QAudioSink;
class QAudioSource;
class QIODevice;

namespace selvar::audio {

// What the sound server offers now. Qt Multimedia starts on the first call (or the first
// QtAudioPort::open()), never before, so a program that measures nothing never loads it. Needs
// a QCoreApplication; no display.
AudioDeviceList listAudioDevices();

// A sound card through Qt Multimedia, in push mode: the port writes to the output's QIODevice
// and reads the input's, so each slice of a job moves what the buffers hold and returns (pull
// mode captured only silence with some Qt 6 versions). Stereo 32-bit float (the server converts
// for a card that takes none); buffers of about 100 ms each way. The thread's event loop must
// run between calls: Qt reports the devices' state through it. A stream that stops with an
// error, or a device that disappears, fails the next call with AudioFault::Failed.
class QtAudioPort final : public AudioPort {
  public:
    // Empty ids: the sound server's default output or input.
    QtAudioPort(QByteArray outputId, QByteArray inputId, double bufferSeconds = 0.1);
    ~QtAudioPort() override;
    QtAudioPort(const QtAudioPort&) = delete;
    QtAudioPort& operator=(const QtAudioPort&) = delete;

    // Missing when an id names no device of the server (or there is none at all), Failed when
    // a device refuses the format or cannot start.
    void open(double sampleRate = 0.0) override;
    void close() override;
    bool isOpen() const override { return out_ != nullptr; }
    double sampleRate() const override { return sampleRate_; }
    std::size_t play(std::span<const float> interleaved) override;
    std::size_t capture(std::span<float> interleaved) override;

  private:
    static constexpr qint64 kRetireMs = 500;
    void checkUsable() const;
    void retire();
    void checkDevicesListed() const;

    QByteArray outputId_;
    QByteArray inputId_;
    double bufferSeconds_;
    double sampleRate_ = 48000.0;
    std::unique_ptr<QAudioSink> sink_;
    std::unique_ptr<QAudioSource> source_;
    // Stopped streams not yet deleted (see retire()), and when the last were stopped.
    std::vector<std::unique_ptr<QAudioSink>> retiredSinks_;
    std::vector<std::unique_ptr<QAudioSource>> retiredSources_;
    QElapsedTimer retiredAt_;
    QIODevice* out_ = nullptr;  // owned by sink_
    QIODevice* in_ = nullptr;   // owned by source_
    QByteArray unwritten_;      // taken by play() but not yet by the device
    QByteArray partial_;        // the start of a frame read from the device
    // The server moves a removed device's streams to another device rather than end them, so
    // the device list is checked: a run never carries on through some other card.
    QByteArray openedOutput_;
    QByteArray openedInput_;
    mutable QElapsedTimer sinceListCheck_;
};

}  // namespace selvar::audio
