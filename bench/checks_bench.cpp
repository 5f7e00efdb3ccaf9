// SPDX-License-Identifier: GPL-3.0-or-later
// Mute depth, crosstalk and the ZCD checks on the simulated path with injected values, in
// lockstep: what each reads (as counters) and how long a whole check takes.
#include <benchmark/benchmark.h>

#include <array>
#include <optional>
#include <string>

#include "measure/audio/sim_analog_options.h"
#include "session_bench.h"

namespace {

using namespace selvar::measure;
using test::Check;

// Runs the check once per iteration on a fresh bench; the last reply's values as counters.
void runCheck(benchmark::State& state, Check check, const std::string& simAnalog,
              bool calibrateFirst = false) {
    std::string error;
    const auto options = selvar::audio::parseSimAnalog(simAnalog, error);
    if (!options) {
        state.SkipWithError(error.c_str());
        return;
    }
    test::Answer answer;
    for (auto _ : state) {
        test::SimBench bench(*options);
        MeasurementSession session(bench);
        if (calibrateFirst) {
            auto calibration = session.calibrate();
            test::runToEnd(*calibration);
        }
        auto job = test::startCheck(session, check, test::into(answer));
        test::runToEnd(*job);
    }
    if (answer.reply.failure != Failure::None) {
        state.SkipWithError(answer.reply.detail.c_str());
        return;
    }
    for (std::size_t i = 0; i < answer.reply.values.size(); ++i) {
        state.counters["value" + std::to_string(i)] = answer.reply.values[i];
    }
}

BENCHMARK_CAPTURE(runCheck, mute_pin_110dB, Check::MuteByPin, "mute-depth=110")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(runCheck, mute_code_110dB, Check::MuteByCode, "mute-depth=110")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(runCheck, mute_pin_130dB, Check::MuteByPin, "mute-depth=130")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(runCheck, crosstalk_left_m100dB, Check::CrosstalkIntoLeft, "crosstalk=-100")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(runCheck, crosstalk_right_m100dB_card_gains, Check::CrosstalkIntoRight,
                  "crosstalk=-100,card-gain=-0.73:0.21", true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(runCheck, zcd_click, Check::Click, "noise=-120")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(runCheck, zcd_timeout_16ms, Check::Timeout, "zcd-timeout-ms=16")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(runCheck, zcd_timeout_7_5ms, Check::Timeout, "zcd-timeout-ms=7.5")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(runCheck, zcd_timeout_40ms, Check::Timeout, "zcd-timeout-ms=40")
    ->Unit(benchmark::kMillisecond);

// The same through a slower card whose clock runs off: 40 ms of latency the checks are not told
// of, 200 ppm of drift.
BENCHMARK_CAPTURE(runCheck, mute_pin_110dB_late_drifting, Check::MuteByPin,
                  "mute-depth=110,latency-ms=40,drift-ppm=200")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(runCheck, crosstalk_left_m100dB_late_drifting, Check::CrosstalkIntoLeft,
                  "crosstalk=-100,latency-ms=40,drift-ppm=200")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(runCheck, zcd_click_late_drifting, Check::Click, "latency-ms=40,drift-ppm=200")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(runCheck, zcd_timeout_16ms_late_drifting, Check::Timeout,
                  "zcd-timeout-ms=16,latency-ms=40,drift-ppm=200")
    ->Unit(benchmark::kMillisecond);

}  // namespace
