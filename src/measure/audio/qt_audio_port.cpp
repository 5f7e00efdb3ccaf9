// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/audio/qt_audio_port.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QAudioSource>
#include <QMediaDevices>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace selvar::audio {
namespace {

constexpr double kDefaultRate = 48000.0;
constexpr std::size_t kSampleBytes = sizeof(float);
constexpr std::size_t kFrameBytes = kSampleBytes * kAudioChannels;

AudioDeviceInfo describe(const QAudioDevice& device, const QAudioDevice& fallback) {
    return {device.id().toStdString(), device.description().toStdString(),
            device.id() == fallback.id()};
}

// The device an id names, or the default; a null device when there is none.
QAudioDevice find(const QList<QAudioDevice>& devices, const QAudioDevice& fallback,
                  const QByteArray& id) {
    if (id.isEmpty()) {
        return fallback;
    }
    const auto it = std::find_if(devices.begin(), devices.end(),
                                 [&id](const QAudioDevice& d) { return d.id() == id; });
    return it == devices.end() ? QAudioDevice() : *it;
}

std::string named(const char* what, const QByteArray& id) {
    return id.isEmpty() ? std::string("the default audio ") + what
                        : std::string("audio ") + what + " '" + id.toStdString() + "'";
}

// The stream's failure, if any: an underrun is a pause in push mode, not a failure.
bool broken(QAudio::Error error) {
    return error == QAudio::OpenError || error == QAudio::IOError || error == QAudio::FatalError;
}

}  // namespace

AudioDeviceList listAudioDevices() {
    AudioDeviceList list;
    const QAudioDevice output = QMediaDevices::defaultAudioOutput();
    const QAudioDevice input = QMediaDevices::defaultAudioInput();
    for (const QAudioDevice& device : QMediaDevices::audioOutputs()) {
        list.outputs.push_back(describe(device, output));
    }
    for (const QAudioDevice& device : QMediaDevices::audioInputs()) {
        list.inputs.push_back(describe(device, input));
    }
    return list;
}

QtAudioPort::QtAudioPort(QByteArray outputId, QByteArray inputId, double bufferSeconds)
    : outputId_(std::move(outputId)), inputId_(std::move(inputId)), bufferSeconds_(bufferSeconds) {}

QtAudioPort::~QtAudioPort() {
    close();
    // The last streams stopped may still have a callback on the sound server's thread.
    if (retiredAt_.isValid() && retiredAt_.elapsed() < kRetireMs) {
        QThread::msleep(std::uint64_t(kRetireMs - retiredAt_.elapsed()));
    }
}

// Qt's PulseAudio streams can be called back from the server's thread for a moment after they
// have stopped (a state change): deleting them at once let such a callback land on freed memory
// (a crash about one open/close cycle in thirty). Stopped streams are kept for a while first.
void QtAudioPort::retire() {
    if (!sink_ && !source_) {
        return;
    }
    if (retiredAt_.isValid() && retiredAt_.elapsed() >= kRetireMs) {
        retiredSinks_.clear();
        retiredSources_.clear();
    }
    retiredSinks_.push_back(std::move(sink_));
    retiredSources_.push_back(std::move(source_));
    retiredAt_.start();
}

void QtAudioPort::open(double sampleRate) {
    close();
    const QAudioDevice output =
        find(QMediaDevices::audioOutputs(), QMediaDevices::defaultAudioOutput(), outputId_);
    const QAudioDevice input =
        find(QMediaDevices::audioInputs(), QMediaDevices::defaultAudioInput(), inputId_);
    for (const auto& [device, what, id] :
         {std::tuple{&output, "output", &outputId_}, std::tuple{&input, "input", &inputId_}}) {
        if (device->isNull()) {
            throw AudioError(AudioFault::Missing, "no " + named(what, *id));
        }
    }
    sampleRate_ = sampleRate > 0.0 ? sampleRate : kDefaultRate;
    QAudioFormat format;
    format.setSampleRate(int(std::lround(sampleRate_)));
    format.setChannelCount(kAudioChannels);
    format.setSampleFormat(QAudioFormat::Float);
    if (!output.isFormatSupported(format) || !input.isFormatSupported(format)) {
        throw AudioError(AudioFault::Failed, "the audio devices take no 32-bit float stereo at " +
                                                 std::to_string(format.sampleRate()) + " Hz");
    }
    const auto bufferBytes = qsizetype(std::lround(bufferSeconds_ * sampleRate_)) * kFrameBytes;
    sink_ = std::make_unique<QAudioSink>(output, format);
    sink_->setBufferSize(bufferBytes);
    source_ = std::make_unique<QAudioSource>(input, format);
    source_->setBufferSize(bufferBytes);
    openedOutput_ = output.id();
    openedInput_ = input.id();
    sinceListCheck_.invalidate();
    in_ = source_->start();
    out_ = sink_->start();
    if (out_ == nullptr || in_ == nullptr || broken(sink_->error()) || broken(source_->error())) {
        close();
        throw AudioError(AudioFault::Failed, "cannot start " + named("output", outputId_) +
                                                 " and " + named("input", inputId_));
    }
}

// The list is Qt's cached copy, so a look every 100 ms costs next to nothing.
void QtAudioPort::checkDevicesListed() const {
    if (sinceListCheck_.isValid() && sinceListCheck_.elapsed() < 100) {
        return;
    }
    sinceListCheck_.start();
    const auto listed = [](const QList<QAudioDevice>& devices, const QByteArray& id) {
        return std::any_of(devices.begin(), devices.end(),
                           [&id](const QAudioDevice& d) { return d.id() == id; });
    };
    if (!listed(QMediaDevices::audioOutputs(), openedOutput_)) {
        throw AudioError(AudioFault::Failed,
                         "audio output '" + openedOutput_.toStdString() + "' went away");
    }
    if (!listed(QMediaDevices::audioInputs(), openedInput_)) {
        throw AudioError(AudioFault::Failed,
                         "audio input '" + openedInput_.toStdString() + "' went away");
    }
}

void QtAudioPort::close() {
    if (sink_) {
        sink_->stop();
    }
    if (source_) {
        source_->stop();
    }
    retire();
    out_ = in_ = nullptr;
    unwritten_.clear();
    partial_.clear();
}

void QtAudioPort::checkUsable() const {
    if (out_ == nullptr) {
        throw AudioError(AudioFault::Failed, "the audio device is not open");
    }
    checkDevicesListed();
    if (broken(sink_->error()) || sink_->state() == QAudio::StoppedState) {
        throw AudioError(AudioFault::Failed, "lost " + named("output", outputId_));
    }
    if (broken(source_->error()) || source_->state() == QAudio::StoppedState) {
        throw AudioError(AudioFault::Failed, "lost " + named("input", inputId_));
    }
}

std::size_t QtAudioPort::play(std::span<const float> interleaved) {
    checkUsable();
    if (!unwritten_.isEmpty()) {
        unwritten_.remove(0, out_->write(unwritten_));
    }
    const auto room = std::max<qsizetype>(0, sink_->bytesFree() - unwritten_.size());
    const std::size_t frames =
        std::min(interleaved.size() / kAudioChannels, std::size_t(room) / kFrameBytes);
    const QByteArray bytes(reinterpret_cast<const char*>(interleaved.data()),
                           qsizetype(frames * kFrameBytes));
    const qint64 written = bytes.isEmpty() ? 0 : out_->write(bytes);
    unwritten_.append(bytes.mid(std::max<qint64>(written, 0)));
    return frames;
}

std::size_t QtAudioPort::capture(std::span<float> interleaved) {
    checkUsable();
    const auto wanted = qint64(interleaved.size() / kAudioChannels * kFrameBytes) - partial_.size();
    if (wanted > 0) {
        partial_.append(in_->read(wanted));
    }
    const std::size_t frames = std::size_t(partial_.size()) / kFrameBytes;
    const std::size_t samples = frames * kAudioChannels;
    std::memcpy(interleaved.data(), partial_.constData(), samples * kSampleBytes);
    partial_.remove(0, qsizetype(frames * kFrameBytes));
    return frames;
}

}  // namespace selvar::audio
