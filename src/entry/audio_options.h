// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCommandLineOption>
#include <string>
#include <vector>

#include "measure/audio/sim_analog_options.h"
#include "platform/port_options.h"

class QCommandLineParser;

namespace selvar::entry {

// The simulated analog path's name wherever a sound device is named.
inline constexpr const char* kSimAudioDevice = "sim";

// The measurement's sound card as the command line chose it. An empty device was not given:
// both ends default to the simulated path on a simulated port, else to none; one end named
// leaves the other none, so that a run never mixes the simulated path with a real card.
struct AudioOptions {
    std::string output;  // --audio-out: a sound server's sink name, or "sim"
    std::string input;   // --audio-in: a source name, or "sim"
    int dut = 1;         // --audio-dut: the board the card is cabled to
    // --calibration: checked readable at start-up; read when measurements read calibrations.
    std::string calibrationPath;
    audio::SimAnalogOptions simAnalog;  // --sim-analog; the errors file is read at start-up
};

// The measurement's options of the command line, kept apart from the port options.
class AudioOptionSet {
  public:
    std::vector<const QCommandLineOption*> options() const {
        return {&output_, &input_, &dut_, &calibration_, &list_};
    }
    const QCommandLineOption& simAnalog() const { return simAnalog_; }
    const QCommandLineOption& list() const { return list_; }
    // False with the reason when a value or a combination is wrong.
    bool interpret(const QCommandLineParser& parser, platform::PortBackend backend,
                   AudioOptions& out, std::string& error) const;

  private:
    bool interpretDevices(const QCommandLineParser& parser, platform::PortBackend backend,
                          AudioOptions& out, std::string& error) const;

    QCommandLineOption output_{"audio-out",
                               "Play the measurement's stimulus on DEVICE, a sound server sink "
                               "as --list-audio names it, or sim (the simulated analog path). "
                               "Default: sim with --port-io sim unless --audio-in names a sound "
                               "server source, else none.",
                               "DEVICE"};
    QCommandLineOption input_{"audio-in",
                              "Capture the board's output from DEVICE, a sound server source as "
                              "--list-audio names it, or sim. Default: sim with --port-io sim "
                              "unless --audio-out names a sound server sink, else none.",
                              "DEVICE"};
    QCommandLineOption dut_{"audio-dut",
                            "The board the sound card is cabled to: 1 (DUT1) or 2 (DUT2). "
                            "Default: 1.",
                            "1|2", "1"};
    QCommandLineOption calibration_{"calibration",
                                    "Apply the sound card calibration saved in FILE.", "FILE"};
    QCommandLineOption list_{"list-audio",
                             "List the sound server's outputs and inputs and the simulated "
                             "path, and exit."};
    QCommandLineOption simAnalog_{
        "sim-analog",
        "Imperfections of the simulated analog path: errors=FILE, noise=DBFS, crosstalk=DB, "
        "h2=DBC, h3=DBC, mute-depth=DB, zcd-timeout-ms=MS, latency-ms=MS, drift-ppm=PPM, "
        "card-gain=LEFT_DB:RIGHT_DB, glitch-every-ms=MS.",
        "KEY=VALUE,..."};
};

// What the files the audio options name hold, read before any window opens: the --sim-analog
// error table into out.simAnalog.errors, and --calibration checked readable. Empty, or why not;
// usage is set when the fault is the option's value (a malformed error table).
std::string readAudioFiles(AudioOptions& out, bool& usage);

}  // namespace selvar::entry
