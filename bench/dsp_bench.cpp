// SPDX-License-Identifier: GPL-3.0-or-later
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "measure/dsp/alignment.h"
#include "measure/dsp/distortion.h"
#include "measure/dsp/drift.h"
#include "measure/dsp/generators.h"
#include "measure/dsp/glitch.h"
#include "measure/dsp/sine_fit.h"

namespace {

using namespace selvar::dsp;

constexpr double kRate = 48000.0;
constexpr std::size_t kWindow = 4800;  // 100 ms

// A tone at the Left frequency, captured by a clock off by ppm, under white noise.
std::vector<float> noisyTone(double toneDbfs, double noiseDbfs, double ppm, std::mt19937& random) {
    // White noise of this RMS reads noiseDbfs over the whole band (a full-scale sine's mean
    // square, 0.5, is 0 dBFS).
    std::normal_distribution<double> noise(0.0, std::sqrt(0.5) * dbfsToAmplitude(noiseDbfs));
    std::uniform_real_distribution<double> phase(-std::numbers::pi, std::numbers::pi);
    const double start = phase(random);
    const double amplitude = dbfsToAmplitude(toneDbfs);
    std::vector<float> x(kWindow);
    for (std::size_t n = 0; n < x.size(); ++n) {
        const double t = static_cast<double>(n) / (1.0 + ppm * 1e-6) / kRate;
        x[n] = static_cast<float>(
            amplitude * std::sin(2 * std::numbers::pi * kLeftToneHz * t + start) + noise(random));
    }
    return x;
}

// The cost of one channel's 100 ms window: the four-parameter fit and THD+N (which fits, notches
// and takes the residual's spectrum). speed_vs_real_time: audio seconds analysed per second.
void BM_FitAndThdnPerWindow(benchmark::State& state) {
    std::mt19937 random(1);
    const auto x = noisyTone(-20.0, -120.0, 200.0, random);
    FftCache cache;
    for (auto _ : state) {
        const Distortion d = measureDistortion(cache, x, kRate, kLeftToneHz);
        benchmark::DoNotOptimize(d.thdnDb);
    }
    state.counters["speed_vs_real_time"] = benchmark::Counter(
        0.1 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FitAndThdnPerWindow)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The level alone (the four-parameter fit) on the same window.
void BM_FitPerWindow(benchmark::State& state) {
    std::mt19937 random(1);
    const auto x = noisyTone(-20.0, -120.0, 200.0, random);
    for (auto _ : state) {
        benchmark::DoNotOptimize(fitSine(x, kRate, kLeftToneHz).amplitude);
    }
}
BENCHMARK(BM_FitPerWindow)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The first window a measurement analyses: plans and window made then.
void BM_FirstWindowWithPlanning(benchmark::State& state) {
    std::mt19937 random(1);
    const auto x = noisyTone(-20.0, -120.0, 200.0, random);
    for (auto _ : state) {
        FftCache cache;
        benchmark::DoNotOptimize(measureDistortion(cache, x, kRate, kLeftToneHz).thdnDb);
    }
}
BENCHMARK(BM_FirstWindowWithPlanning)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The checks made once per run: alignment on the opening marker, drift from both, and the
// glitch search over a run of one second of tone.
void BM_RunChecksPerSecond(benchmark::State& state) {
    const MarkedRun run = withMarkers(twoTones(0.1, 0.1, kRate, 48000), kRate);
    std::vector<float> captured(240, 0.0F);
    captured.insert(captured.end(), run.signal.left.begin(), run.signal.left.end());
    const std::vector<float> marker = chirpMarker(kRate);
    const auto spacing = static_cast<double>(run.lastMarkerStart);
    FftCache cache;
    for (auto _ : state) {
        const Alignment a = align(cache, marker, std::span(captured).first(4800));
        benchmark::DoNotOptimize(estimateDrift(cache, marker, captured, spacing).ppm);
        benchmark::DoNotOptimize(findGlitches(run.signal.left, captured, a.lagFrames).size());
    }
}
BENCHMARK(BM_RunChecksPerSecond)->Unit(benchmark::kMillisecond)->UseRealTime();

// The level core's accuracy against noise: 200 windows of 100 ms, each with a random phase and
// a clock off by +200 or -200 ppm, at a tone level and a noise level (both dBFS, noise over
// the whole band). Reports the largest and the RMS error of the level in dB, and
// how many fits settled. Each row draws its own noise, so rows are independent samples.
void BM_LevelAccuracyAgainstNoise(benchmark::State& state) {
    const auto toneDbfs = static_cast<double>(state.range(0));
    const auto noiseDbfs = static_cast<double>(state.range(1));
    constexpr int kTrials = 200;
    double worst = 0.0, sumSquares = 0.0;
    int settled = 0;
    for (auto _ : state) {
        std::mt19937 random(static_cast<unsigned>(1000 * state.range(0) + state.range(1)));
        for (int i = 0; i < kTrials; ++i) {
            const double ppm = i % 2 == 0 ? 200.0 : -200.0;
            const SineFit fit =
                fitSine(noisyTone(toneDbfs, noiseDbfs, ppm, random), kRate, kLeftToneHz);
            const double error = fit.levelDbfs() - toneDbfs;
            worst = std::max(worst, std::abs(error));
            sumSquares += error * error;
            settled += fit.converged ? 1 : 0;
        }
    }
    const double trials = kTrials * static_cast<double>(state.iterations());
    state.counters["max_err_dB"] = worst;
    state.counters["rms_err_dB"] = std::sqrt(sumSquares / trials);
    state.counters["settled_pct"] = 100.0 * settled / trials;
}
BENCHMARK(BM_LevelAccuracyAgainstNoise)
    ->ArgNames({"tone_dBFS", "noise_dBFS"})
    ->Args({-20, -120})
    ->Args({-20, -100})
    ->Args({-20, -80})
    ->Args({-20, -60})
    ->Args({-60, -120})
    ->Args({-80, -120})
    ->Args({-100, -120})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
