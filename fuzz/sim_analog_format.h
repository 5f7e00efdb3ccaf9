// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The simulated analog path's settings written out as --sim-analog takes them, every key
// explicit, each number in its shortest exact form, so that they read back the same.

#include <cstdio>
#include <optional>
#include <string>

#include "measure/audio/sim_analog_options.h"

namespace selvar::fuzz {

inline std::string exactNumber(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

inline std::string formatSimAnalog(const audio::SimAnalogOptions& o) {
    std::string text =
        "noise=" + exactNumber(o.noiseDbfs) + ",crosstalk=" + exactNumber(o.crosstalkDb) +
        ",mute-depth=" + exactNumber(o.muteDepthDb) +
        ",zcd-timeout-ms=" + exactNumber(o.zcdTimeoutMs) +
        ",latency-ms=" + exactNumber(o.latencyMs) + ",drift-ppm=" + exactNumber(o.driftPpm) +
        ",card-gain=" + exactNumber(o.cardGainLeftDb) + ":" + exactNumber(o.cardGainRightDb);
    const auto optional = [&text](const char* key, const std::optional<double>& value) {
        if (value) {
            text += std::string(",") + key + "=" + exactNumber(*value);
        }
    };
    optional("h2", o.h2Dbc);
    optional("h3", o.h3Dbc);
    optional("glitch-every-ms", o.glitchEveryMs);
    if (!o.errorsFile.empty()) {
        text += ",errors=" + o.errorsFile;
    }
    return text;
}

}  // namespace selvar::fuzz
