// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>

#include "measure/procedures/results.h"
#include "measure/report/sweep_rows.h"

namespace selvar::measure::test {

// A sweep with errors put in by hand and the marks each code earns against the default
// limits (±0.5 gain, ±0.1 step, ±0.2 matching, ≤ -80 THD+N), worked out by hand.
struct Injected {
    int code;
    double setDb;
    double errorLeft;
    double errorRight;
    double thdnDb;
    int failed;
};
constexpr int G = static_cast<int>(Check::GainError);
constexpr int S = static_cast<int>(Check::StepError);
constexpr int M = static_cast<int>(Check::Matching);
constexpr int T = static_cast<int>(Check::Thdn);
inline constexpr std::array<Injected, 6> kInjected = {{
    {150, -21.0, 0.0, 0.0, -90.0, 0},
    {151, -20.5, 0.05, 0.0, -90.0, 0},
    {152, -20.0, 0.05, 0.3, -90.0, S | M},     // Right steps 0.8 dB
    {153, -19.5, 0.05, 0.3, -70.0, M | T},     // steps even again, distortion up
    {154, -19.0, 0.6, 0.3, -90.0, G | S | M},  // Left 0.6 off and steps 1.05 dB
    {155, -18.5, 0.6, 0.6, -90.0, G | S},      // Right steps 0.8 dB, both 0.6 off, matched
}};

inline SweepResult sweepOf(const std::array<Injected, 6>& table) {
    SweepResult sweep;
    for (const Injected& i : table) {
        CodeResult r;
        r.code = i.code;
        r.setDb = i.setDb;
        r.channels[0].gainDb = i.setDb + i.errorLeft;
        r.channels[1].gainDb = i.setDb + i.errorRight;
        r.channels[0].thdnDb = i.thdnDb;
        r.channels[1].thdnDb = i.thdnDb - 3.0;
        sweep.codes[i.code] = r;
    }
    sweep.complete = true;
    return sweep;
}

}  // namespace selvar::measure::test
