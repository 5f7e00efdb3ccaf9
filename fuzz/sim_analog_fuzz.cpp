// SPDX-License-Identifier: GPL-3.0-or-later
// The value of --sim-analog. Every parse either refuses with a short reason or gives settings
// within the ranges the simulated path is built for; it is deterministic, and accepted settings
// written out with every key explicit read back the same.

#include <cstdint>
#include <string>

#include "fuzz_checks.h"
#include "measure/audio/sim_analog_options.h"
#include "sim_analog_format.h"

namespace {

using selvar::fuzz::require;

bool within(double value, double low, double high) {
    return value >= low && value <= high;
}

void checkRanges(const selvar::audio::SimAnalogOptions& o, std::string_view input) {
    require(within(o.noiseDbfs, -200, 0) && within(o.crosstalkDb, -200, 0), "levels in range",
            input);
    require((!o.h2Dbc || within(*o.h2Dbc, -200, 0)) && (!o.h3Dbc || within(*o.h3Dbc, -200, 0)),
            "harmonics in range", input);
    require(within(o.muteDepthDb, 0, 200), "mute depth in range", input);
    require(within(o.zcdTimeoutMs, 0, 1000) && within(o.latencyMs, 0, 2000), "times in range",
            input);
    require(within(o.driftPpm, -10000, 10000), "drift in range", input);
    require(within(o.cardGainLeftDb, -40, 40) && within(o.cardGainRightDb, -40, 40),
            "card gains in range", input);
    require(!o.glitchEveryMs || within(*o.glitchEveryMs, 1, 3600000), "glitch period in range",
            input);
    require(o.errorsFile.find(',') == std::string::npos, "an errors file name has no comma", input);
    require(o.errors == selvar::audio::GainErrorTable{}, "the errors file is not read", input);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = selvar::fuzz::textOf(data, size);
    std::string error;
    const auto options = selvar::audio::parseSimAnalog(input, error);
    std::string again;
    const auto second = selvar::audio::parseSimAnalog(input, again);
    require(options.has_value() == second.has_value() && error == again &&
                (!options || *options == *second),
            "deterministic", input);
    if (!options) {
        require(!error.empty(), "a refusal says why", input);
        // A key or value is said back cut short, whatever its length.
        require(error.size() < 600, "a refusal is short", input);
        return 0;
    }
    checkRanges(*options, input);
    const std::string canonical = selvar::fuzz::formatSimAnalog(*options);
    const auto reread = selvar::audio::parseSimAnalog(canonical, error);
    require(reread && *reread == *options, "the canonical form reads back the same", input);
    return 0;
}
