// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QTemporaryDir>

#include <optional>
#include <string>

namespace selvar::audio::test {

// A private PulseAudio server for one test process: a null sink "selvar_loop" (48 kHz, float,
// stereo) and "selvar_loop_in", a source remapped from its monitor, as Qt lists no monitor
// sources. Runs as whoever runs the tests (root in CI, without --system) in its own runtime
// directory, reached through PULSE_SERVER, which it sets for this process before Qt Multimedia
// starts; Qt Multimedia connects once per process, so one server serves a whole test process.
// Stopped by its PID when the object goes.
class PulseServer {
  public:
    PulseServer();
    ~PulseServer();
    PulseServer(const PulseServer&) = delete;
    PulseServer& operator=(const PulseServer&) = delete;

    // Empty when the server runs; else why not, with its log.
    const std::string& failure() const { return failure_; }
    // pactl against this server: what it printed, or nothing when it failed.
    std::optional<QString> control(const QStringList& arguments);

  private:
    QTemporaryDir dir_;
    QProcess server_;
    std::string failure_;
};

}  // namespace selvar::audio::test
