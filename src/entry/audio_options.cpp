// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/audio_options.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QCommandLineParser>

#include <cerrno>
#include <cstring>

#include "entry/raw_arguments.h"
#include "platform/adapters/adapter_config.h"

namespace selvar::entry {

namespace {

std::string nameOf(const QCommandLineOption& option) {
    return "--" + option.names().constLast().toStdString();
}

// The value of an option given at most once, as bytes (a device or file name); false with the
// reason when it was given twice or empty.
bool single(const QCommandLineParser& parser, const QCommandLineOption& option, std::string& out,
            std::string& error) {
    const QStringList values = parser.values(option);
    if (values.size() > 1) {
        error = nameOf(option) + " given more than once";
        return false;
    }
    if (values.isEmpty()) {
        return true;
    }
    out = bytesFromArgument(values.first());
    if (out.empty()) {
        error = nameOf(option) + ": the name is empty";
        return false;
    }
    return true;
}

}  // namespace

bool AudioOptionSet::interpretDevices(const QCommandLineParser& parser,
                                      platform::PortBackend backend, AudioOptions& out,
                                      std::string& error) const {
    if (!single(parser, output_, out.output, error) || !single(parser, input_, out.input, error)) {
        return false;
    }
    const bool simOut = out.output == kSimAudioDevice;
    const bool simIn = out.input == kSimAudioDevice;
    if ((simOut || simIn) && backend != platform::PortBackend::Sim) {
        error = std::string(simOut ? "--audio-out" : "--audio-in") +
                " sim: the simulated analog path needs --port-io sim";
        return false;
    }
    // The simulated path plays into the simulated board and captures what it makes of that: a
    // real card at the other end would measure nothing the board did.
    if ((simOut && !out.input.empty() && !simIn) || (simIn && !out.output.empty() && !simOut)) {
        error = "--audio-out and --audio-in: sim is both ends or neither, not '" +
                platform::echoed(simOut ? out.input : out.output) + "' with sim";
        return false;
    }
    return true;
}

bool AudioOptionSet::interpret(const QCommandLineParser& parser, platform::PortBackend backend,
                               AudioOptions& out, std::string& error) const {
    if (!interpretDevices(parser, backend, out, error)) {
        return false;
    }
    std::string dut = "1";
    if (!single(parser, dut_, dut, error)) {
        return false;
    }
    if (dut != "1" && dut != "2") {
        error = "--audio-dut: '" + platform::echoed(dut) + "' is not 1 or 2";
        return false;
    }
    out.dut = dut == "1" ? 1 : 2;
    if (!single(parser, calibration_, out.calibrationPath, error)) {
        return false;
    }
    std::string analog;
    if (!single(parser, simAnalog_, analog, error)) {
        return false;
    }
    if (parser.isSet(simAnalog_) && backend != platform::PortBackend::Sim) {
        error = "--sim-analog applies to --port-io sim only";
        return false;
    }
    if (parser.isSet(simAnalog_)) {
        const auto options = audio::parseSimAnalog(analog, error);
        if (!options) {
            error = "--sim-analog: " + error;
            return false;
        }
        out.simAnalog = *options;
    }
    return true;
}

std::string readAudioFiles(AudioOptions& out, bool& usage) {
    usage = false;
    if (!out.simAnalog.errorsFile.empty()) {
        std::string error;
        const auto table = audio::readGainErrors(out.simAnalog.errorsFile, error);
        if (!table) {
            usage = true;
            return "--sim-analog errors=" + platform::echoed(error);
        }
        out.simAnalog.errors = *table;
    }
    if (!out.calibrationPath.empty()) {
        // Non-blocking: a FIFO with no writer must not hold up the start.
        const int fd = ::open(out.calibrationPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        struct stat status {};
        const bool readable = fd >= 0 && ::fstat(fd, &status) == 0 && !S_ISDIR(status.st_mode);
        const int cause = fd < 0 ? errno : EISDIR;
        if (fd >= 0) {
            ::close(fd);
        }
        if (!readable) {
            return "--calibration " + platform::echoed(out.calibrationPath) +
                   ": cannot read: " + std::strerror(cause);
        }
    }
    return {};
}

}  // namespace selvar::entry
