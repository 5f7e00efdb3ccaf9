// SPDX-License-Identifier: GPL-3.0-or-later
#include "pulse_server.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <sys/prctl.h>

#include <csignal>

namespace selvar::audio::test {

PulseServer::PulseServer() {
    const QString dir = dir_.path();
    const QString socket = dir + "/native";
    QFile script(dir + "/server.pa");
    if (!script.open(QIODevice::WriteOnly)) {
        failure_ = "cannot write " + script.fileName().toStdString();
        return;
    }
    script.write(QString("load-module module-native-protocol-unix auth-anonymous=1 socket=%1\n"
                         "load-module module-null-sink sink_name=selvar_loop rate=48000 "
                         "format=float32le channels=2\n"
                         "load-module module-remap-source source_name=selvar_loop_in "
                         "master=selvar_loop.monitor\n"
                         "set-default-sink selvar_loop\n"
                         "set-default-source selvar_loop_in\n")
                     .arg(socket)
                     .toUtf8());
    script.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"HOME", "XDG_RUNTIME_DIR", "PULSE_RUNTIME_PATH", "PULSE_STATE_PATH"}) {
        env.insert(name, dir);
    }
    // Nothing of a desktop session reaches it: it stays private to the test.
    for (const char* name : {"DBUS_SESSION_BUS_ADDRESS", "DISPLAY", "WAYLAND_DISPLAY"}) {
        env.remove(name);
    }
    server_.setProcessEnvironment(env);
    server_.setProcessChannelMode(QProcess::MergedChannels);
    // A test process that dies (a crash, a ctest timeout) takes its server with it.
    server_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    server_.start("pulseaudio",
                  {"-n", "-F", script.fileName(), "--daemonize=no", "--exit-idle-time=-1",
                   "--disable-shm=yes", "--use-pid-file=no", "--log-target=stderr"});
    QElapsedTimer waited;
    waited.start();
    while (!QFileInfo::exists(socket) && server_.state() != QProcess::NotRunning &&
           waited.elapsed() < 10000) {
        server_.waitForReadyRead(50);
    }
    if (!QFileInfo::exists(socket)) {
        server_.waitForFinished(100);
        failure_ = "pulseaudio did not start (" + server_.errorString().toStdString() + "):\n" +
                   server_.readAll().toStdString();
        return;
    }
    // The socket appears as the first module loads; the sink and source follow at once.
    QThread::msleep(200);
    qputenv("PULSE_SERVER", ("unix:" + socket).toUtf8());
    qputenv("PULSE_RUNTIME_PATH", dir.toUtf8());
}

PulseServer::~PulseServer() {
    if (server_.state() == QProcess::NotRunning) {
        return;
    }
    ::kill(pid_t(server_.processId()), SIGTERM);
    if (!server_.waitForFinished(5000)) {
        ::kill(pid_t(server_.processId()), SIGKILL);
        server_.waitForFinished(2000);
    }
}

std::optional<QString> PulseServer::control(const QStringList& arguments) {
    QProcess pactl;
    pactl.start("pactl", arguments);
    if (!pactl.waitForFinished(5000) || pactl.exitStatus() != QProcess::NormalExit ||
        pactl.exitCode() != 0) {
        return std::nullopt;
    }
    return QString::fromUtf8(pactl.readAllStandardOutput()).trimmed();
}

}  // namespace selvar::audio::test
