// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "measure/procedures/dut_access.h"

namespace selvar::measure {

inline constexpr int kCodes = 256;
// SCPI's "not a number": what a fetched entry that was not measured, or that the floor
// limits, reads as (-9.9E37 already means the gain of code 0).
inline constexpr double kNotMeasured = 9.91e37;

// The ideal gain of a code in dB: code = 2 × dB + 192; code 0 is mute (-infinity).
double idealGainDb(int code);

// A spectrum for plotting: levels in dB relative to full scale at log-spaced frequencies.
struct Spectrum {
    std::vector<float> frequencyHz;
    std::vector<float> levelDbfs;
};

// One channel at one code.
struct ChannelMeasurement {
    std::optional<double> gainDb;  // output minus input, calibrated; none when floor-limited
    bool floorLimited = false;     // the output lay below the measurable floor
    std::optional<double> thdDb;   // relative to the fundamental (negative)
    std::optional<double> thdnDb;
};

// One code of a stepped sweep: both channels measured at once.
struct CodeResult {
    int code = 0;
    double setDb = 0.0;  // idealGainDb(code)
    double stimulusDbfs = 0.0;
    std::array<ChannelMeasurement, kChannels> channels;
    std::array<Spectrum, kChannels> spectra;  // for the window's spectrum at a chosen code
};

struct SweepResult {
    int dut = 1;
    // Indexed by code; none where a code was not measured (above the gain limit, or the
    // sweep was stopped before it).
    std::array<std::optional<CodeResult>, kCodes> codes;
    // Codes whose measured gain is not above the next lower measured code's, per channel.
    std::array<std::vector<int>, kChannels> nonMonotonic;
    int retries = 0;        // runs repeated for a glitch found in them
    bool complete = false;  // every code up to the limit was measured
    std::string startedAt;  // ISO 8601, for reports
};

struct MuteResult {
    double pinDb = 0.0;  // attenuation by the MUTE line, positive
    bool pinFloorLimited = false;
    double codeDb = 0.0;  // attenuation by code 0, positive
    bool codeFloorLimited = false;
    double floorDb = 0.0;  // the largest attenuation this path can show
};

struct CrosstalkResult {
    std::array<std::optional<double>, kChannels> db;  // into this channel from the other
    // The reading lay at the card's floor: the crosstalk is at most db.
    std::array<bool, kChannels> floorLimited{};
};

struct ZcdClickResult {
    std::vector<double> offDb;  // click energy of each change with ZCD off
    std::vector<double> onDb;
    double medianOffDb = 0.0;
    double medianOnDb = 0.0;
};

struct ZcdTimeoutResult {
    double timeoutMs = 0.0;
};

// What the operator holds results to; saved with them and printed in every report.
struct Limits {
    double gainErrorDb = 0.5;    // |measured - set| <=
    double stepErrorDb = 0.1;    // |step - 0.5 dB| <=
    double matchingDb = 0.2;     // |Left - Right| <=
    double muteDepthDb = 100.0;  // >=
    double thdnDb = -80.0;       // <=
};

// The sound card's own path, measured loop-through and applied to every later result.
struct Calibration {
    std::string createdAt;  // ISO 8601
    std::string outputDevice;
    std::string inputDevice;
    double sampleRate = 0.0;
    std::array<double, kChannels> gainDb{};  // what the card adds, per channel
    std::array<double, kChannels> noiseDbfs{};
    std::array<double, kChannels> thdnDb{};
    std::array<double, kChannels> crosstalkDb{};
    double latencyMs = 0.0;
    // The file it was last loaded from or saved to, for the operator; empty until then. Not
    // part of what a file holds.
    std::string file;
};

}  // namespace selvar::measure
