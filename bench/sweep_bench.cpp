// SPDX-License-Identifier: GPL-3.0-or-later
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>
#include <vector>

#include "measure/dsp/generators.h"
#include "measure/dsp/levels.h"
#include "measure/procedures/channel_analysis.h"
#include "session_bench.h"

namespace {

using namespace selvar;
using namespace selvar::measure;

constexpr double kRate = 48000.0;

// A whole gain sweep, 256 codes with both channels at once, on the simulated path in lockstep:
// the board's clock, not the wall clock, so the figure is the machine's cost of a sweep (a real
// card takes about 55 s to play it). longest_slice_ms: the longest the event loop waits for
// one slice.
void BM_LockstepSweep256Codes(benchmark::State& state) {
    using Clock = control::Job::Clock;
    double longestSlice = 0.0;
    for (auto _ : state) {
        test::SimBench bench;
        MeasurementSession session(bench);
        test::Answer answer;
        auto job = session.sweepGain(1, test::into(answer));
        // In the event loop's 4 ms slices, as the program drives it.
        for (bool more = true; more;) {
            const auto start = Clock::now();
            more = job->runSlice(start + control::JobRunner::kSlice);
            longestSlice =
                std::max(longestSlice,
                         std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
        if (answer.reply.failure != Failure::None || !session.sweep()->complete) {
            state.SkipWithError(answer.reply.detail.c_str());
            return;
        }
    }
    state.counters["longest_slice_ms"] = longestSlice;
}
BENCHMARK(BM_LockstepSweep256Codes)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// What the sweep does with each 100 ms window of each channel: level, THD, THD+N and the
// plot's 300-point spectrum.
void BM_CodeAnalysisPer100msWindow(benchmark::State& state) {
    const double amplitude = dsp::dbfsToAmplitude(-10.0);
    const std::vector<float> window = dsp::sine({dsp::kLeftToneHz, amplitude, 0.3}, kRate, 4800);
    dsp::FftCache cache;
    for (auto _ : state) {
        const ChannelAnalysis analysis =
            analyseChannel(cache, window, kRate, dsp::kLeftToneHz, 0.0);
        const Spectrum spectrum = logSpectrum(cache, window, kRate);
        benchmark::DoNotOptimize(analysis.thdnDb);
        benchmark::DoNotOptimize(spectrum.levelDbfs.data());
    }
}
BENCHMARK(BM_CodeAnalysisPer100msWindow)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The sweep's accuracy against the path's noise (argument: noise in dBFS, negated), ±200 ppm
// drift on alternate runs: the largest error of any code where the output is at -80 dBFS or
// above (goal 0.05 dB), and down to code 1 (goal 0.3 dB), over both channels; and how many
// code-channels the noise hid (floor-limited, no gain).
void BM_SweepAccuracyAgainstNoise(benchmark::State& state) {
    const double noiseDbfs = -double(state.range(0));
    double aboveMinus80 = 0.0;
    double downToCode1 = 0.0;
    int floorLimited = 0;
    int run = 0;
    for (auto _ : state) {
        audio::SimAnalogOptions options;
        options.noiseDbfs = noiseDbfs;
        options.driftPpm = run++ % 2 == 0 ? 200.0 : -200.0;
        test::SimBench bench(options);
        MeasurementSession session(bench);
        test::Answer answer;
        test::runToEnd(*session.sweepGain(1, test::into(answer)));
        if (answer.reply.failure != Failure::None) {
            state.SkipWithError(answer.reply.detail.c_str());
            return;
        }
        for (int code = 1; code < kCodes; ++code) {
            const double ideal = (code - 192) / 2.0;
            const double output = std::min(-6.0, -10.0 - ideal) + ideal;
            for (const ChannelMeasurement& channel : session.sweep()->codes[code]->channels) {
                if (!channel.gainDb) {
                    ++floorLimited;
                    continue;
                }
                double& largest = output >= -80.0 ? aboveMinus80 : downToCode1;
                largest = std::max(largest, std::abs(*channel.gainDb - ideal));
            }
        }
    }
    downToCode1 = std::max(downToCode1, aboveMinus80);
    state.counters["max_err_mdB_out_ge_-80"] = aboveMinus80 * 1000.0;
    state.counters["max_err_mdB_to_code_1"] = downToCode1 * 1000.0;
    state.counters["floor_limited"] = floorLimited;
}
BENCHMARK(BM_SweepAccuracyAgainstNoise)
    ->Arg(120)
    ->Arg(100)
    ->Arg(90)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

}  // namespace
