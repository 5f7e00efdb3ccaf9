// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace selvar::audio {

inline constexpr int kCodes = 256;

// What a code's real gain adds to its ideal one, per channel.
struct GainError {
    double leftDb = 0.0;
    double rightDb = 0.0;
    bool operator==(const GainError&) const = default;
};
using GainErrorTable = std::array<GainError, kCodes>;

// The imperfections the simulated analog path is given, as --sim-analog sets them:
//   errors=FILE  noise=DBFS  crosstalk=DB  h2=DBC  h3=DBC  mute-depth=DB  zcd-timeout-ms=MS
//   latency-ms=MS  drift-ppm=PPM  card-gain=LEFT_DB:RIGHT_DB  glitch-every-ms=MS
struct SimAnalogOptions {
    std::string errorsFile;  // empty: no error table; read with readGainErrors()
    GainErrorTable errors{};
    double noiseDbfs = -120.0;  // white, per channel, at the capture
    double crosstalkDb = -140.0;
    std::optional<double> h2Dbc;
    std::optional<double> h3Dbc;
    double muteDepthDb = 120.0;  // what the MUTE line and code 0 leave
    double zcdTimeoutMs = 16.0;
    double latencyMs = 5.0;
    double driftPpm = 0.0;  // the capture clock against the playback clock
    double cardGainLeftDb = 0.0;
    double cardGainRightDb = 0.0;
    std::optional<double> glitchEveryMs;  // 3 frames inserted into the capture that often
    bool operator==(const SimAnalogOptions&) const = default;
};

// The value of --sim-analog (KEY=VALUE[,KEY=VALUE...]): every key optional, each at most once.
// Nothing, with error naming the offending key or value, when a key is unknown or a value is
// not a number in its range. errors=FILE is recorded, not read.
std::optional<SimAnalogOptions> parseSimAnalog(std::string_view value, std::string& error);

// An error table from CSV lines "code,left_db,right_db" (blank lines and lines starting with
// '#' are skipped; a code missing from the file adds nothing). Nothing, with error naming the
// line, when a line is malformed, a code is out of 0..255 or given twice.
std::optional<GainErrorTable> parseGainErrors(std::string_view csv, std::string& error);

// parseGainErrors() over a file; error names the file.
std::optional<GainErrorTable> readGainErrors(const std::string& path, std::string& error);

}  // namespace selvar::audio
