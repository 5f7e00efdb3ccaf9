// SPDX-License-Identifier: GPL-3.0-or-later
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "measure/audio/qt_audio_port.h"
#include "measure/dsp/alignment.h"
#include "measure/dsp/generators.h"
#include "measure/dsp/glitch.h"
#include "measure/dsp/sine_fit.h"
#include "pulse_server.h"

namespace selvar::audio {
namespace {

constexpr double kRate = 48000.0;
constexpr std::size_t kSegment = 9600;  // 200 ms per level
const std::vector<double> kLevelsDbfs{-6.0, -12.0, -20.0, -30.0, -40.0};

class PulseLoop : public testing::Test {
  protected:
    static void SetUpTestSuite() { server_ = std::make_unique<test::PulseServer>(); }
    static void TearDownTestSuite() { server_.reset(); }
    // Never a skip: a server that cannot start fails every test, with its log.
    void SetUp() override { ASSERT_TRUE(server_->failure().empty()) << server_->failure(); }
    static inline std::unique_ptr<test::PulseServer> server_;
};

// Plays the whole run through the port and captures as much, a slice at a time as a job
// would, letting the event loop run between slices.
dsp::StereoBuffer playAndCapture(AudioPort& port, const dsp::StereoBuffer& run) {
    const auto out = dsp::interleave(run);
    std::vector<float> in(out.size());
    std::size_t played = 0;
    std::size_t captured = 0;
    QElapsedTimer clock;
    clock.start();
    while (captured < run.frames() && clock.elapsed() < 30000) {
        played += port.play(std::span(out).subspan(played * 2));
        captured += port.capture(std::span(in).subspan(captured * 2));
        QCoreApplication::processEvents();
        QThread::msleep(5);
    }
    EXPECT_EQ(captured, run.frames()) << "the capture stalled";
    in.resize(captured * 2);
    return dsp::deinterleave(in);
}

// Half a second of silence while both streams start (what plays before the capture runs is
// lost), the opening marker, five tone pairs at falling levels, the closing marker, and a
// second of silence for the server's latency.
struct MarkedStimulus {
    dsp::StereoBuffer signal;
    std::size_t bodyStart = 0;
    std::size_t end = 0;  // of the closing marker
};

MarkedStimulus stimulus() {
    dsp::StereoBuffer body;
    for (const double dbfs : kLevelsDbfs) {
        const double a = std::pow(10.0, dbfs / 20.0);
        const auto tones = dsp::twoTones(a, a, kRate, kSegment, std::int64_t(body.frames()));
        body.left.insert(body.left.end(), tones.left.begin(), tones.left.end());
        body.right.insert(body.right.end(), tones.right.begin(), tones.right.end());
    }
    const auto marked = dsp::withMarkers(std::move(body), kRate);
    const std::size_t lead = kRate / 2;
    MarkedStimulus run;
    for (auto [to, from] : {std::pair{&run.signal.left, &marked.signal.left},
                            std::pair{&run.signal.right, &marked.signal.right}}) {
        to->assign(lead, 0.0F);
        to->insert(to->end(), from->begin(), from->end());
        to->resize(to->size() + std::size_t(kRate));
    }
    run.bodyStart = lead + marked.bodyStart;
    run.end = lead + marked.lastMarkerStart + marked.markerFrames;
    return run;
}

TEST_F(PulseLoop, LoopThroughGainIsUnityAtEveryLevelAndTheLatencyIsFound) {
    const MarkedStimulus run = stimulus();
    const auto marker = dsp::chirpMarker(kRate);
    dsp::FftCache cache;
    dsp::StereoBuffer captured;
    std::int64_t lag = 0;  // capture frame minus played frame
    // A run the server glitched (a late slice on a busy machine) is run once more.
    for (int attempt = 0; attempt < 2; ++attempt) {
        QtAudioPort port("selvar_loop", "selvar_loop_in");
        port.open(kRate);
        captured = playAndCapture(port, run.signal);
        ASSERT_GT(captured.frames(), run.bodyStart);
        const auto found = dsp::align(cache, marker, std::span(captured.left).first(run.bodyStart));
        ASSERT_GT(found.correlation, 0.9) << "no opening marker in the capture";
        lag = found.lagFrames - std::int64_t(run.bodyStart - marker.size() - kRate / 100);
        const auto glitches =
            dsp::findGlitches(std::span(run.signal.left).first(run.end), captured.left, lag);
        if (glitches.empty()) {
            break;
        }
        ASSERT_EQ(attempt, 0) << glitches.size() << " glitches, first at capture frame "
                              << glitches.front().frame << ", twice running";
    }
    RecordProperty("lag_frames", std::to_string(lag));
    for (std::size_t k = 0; k < kLevelsDbfs.size(); ++k) {
        // The middle 100 ms of each 200 ms level.
        const auto start =
            std::size_t(std::int64_t(run.bodyStart + k * kSegment + kSegment / 4) + lag);
        ASSERT_LE(start + kSegment / 2, captured.frames());
        const double played = kLevelsDbfs[k];
        const auto level = [&](const std::vector<float>& channel, double hz) {
            return dsp::fitSineAt(std::span(channel).subspan(start, kSegment / 2), kRate, hz)
                .levelDbfs();
        };
        EXPECT_NEAR(level(captured.left, dsp::kLeftToneHz) - played, 0.0, 0.01) << played;
        EXPECT_NEAR(level(captured.right, dsp::kRightToneHz) - played, 0.0, 0.01) << played;
    }
}

// Devices by the server's names, the defaults marked; the remapped monitor is an input.
TEST_F(PulseLoop, ListsTheServersSinksAndSourcesByName) {
    const AudioDeviceList list = listAudioDevices();
    const auto has = [](const std::vector<AudioDeviceInfo>& devices, const std::string& id) {
        return std::any_of(devices.begin(), devices.end(),
                           [&id](const AudioDeviceInfo& d) { return d.id == id && d.isDefault; });
    };
    EXPECT_TRUE(has(list.outputs, "selvar_loop"));
    EXPECT_TRUE(has(list.inputs, "selvar_loop_in"));
}

// The program itself, with no display, lists the server's devices under their headings.
TEST_F(PulseLoop, TheProgramListsTheServersDevicesWithoutADisplay) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();  // the server's address
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        env.remove(name);
    }
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(SELVAR_BINARY, {"--list-audio"});
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitCode(), 0);
    const QString out = QString::fromUtf8(program.readAllStandardOutput());
    const qsizetype inputs = out.indexOf("\nInputs (--audio-in DEVICE):\n");
    ASSERT_TRUE(out.startsWith("Outputs (--audio-out DEVICE):\n") && inputs > 0)
        << out.toStdString();
    EXPECT_TRUE(out.left(inputs).contains("\n  selvar_loop  ")) << out.toStdString();
    EXPECT_TRUE(out.mid(inputs).contains("\n  selvar_loop_in  ")) << out.toStdString();
    EXPECT_FALSE(out.contains("none")) << out.toStdString();
}

TEST_F(PulseLoop, ADeviceTheServerLacksIsMissing) {
    QtAudioPort port("no_such_sink", "selvar_loop_in");
    try {
        port.open(kRate);
        FAIL() << "opened";
    } catch (const AudioError& error) {
        EXPECT_EQ(error.fault(), AudioFault::Missing);
    }
}

// A sink of its own, unloaded while the port plays to it, as a USB card pulled out mid-run.
TEST_F(PulseLoop, ADeviceRemovedMidRunFailsTheNextCall) {
    const auto module =
        server_->control({"load-module", "module-null-sink", "sink_name=selvar_spare", "rate=48000",
                          "format=float32le", "channels=2"});
    ASSERT_TRUE(module);
    QtAudioPort port("selvar_spare", "selvar_loop_in");
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 5000) {  // Qt learns of the new sink through the event loop
        try {
            port.open(kRate);
            break;
        } catch (const AudioError&) {
            QCoreApplication::processEvents();
            QThread::msleep(20);
        }
    }
    std::vector<float> frames(960, 0.0F);
    ASSERT_NO_THROW(port.play(frames));
    ASSERT_TRUE(server_->control({"unload-module", *module}));
    std::optional<AudioFault> fault;
    clock.restart();
    while (!fault && clock.elapsed() < 5000) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
        try {
            port.play(frames);
            port.capture(frames);
        } catch (const AudioError& error) {
            fault = error.fault();
        }
    }
    EXPECT_EQ(fault, AudioFault::Failed);
}

}  // namespace
}  // namespace selvar::audio
