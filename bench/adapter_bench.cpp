// SPDX-License-Identifier: GPL-3.0-or-later
// What an adapter costs per frame compared with the parallel port it replaces: USB transfers
// and bytes per gain frame and per read-back, counted at the transport seam, and the wall time
// of each with every USB transfer taking a simulated 250 us (a write and a read each count as
// one). The parallel port runs at its real pace of 1 us per access; GPIO ioctls are paced to
// 1 us as the adapter does. A ramp wait of 10,000 reads must last 10 ms on every carrier.

#include <benchmark/benchmark.h>

#include <chrono>

#include "adapter_rig.h"
#include "ramp/wait_steps.h"

namespace {

using selvar::chiplink::PortChoice;
using selvar::testing::AdapterRig;
using selvar::testing::Carrier;

constexpr std::chrono::microseconds kRoundTrip{250};
constexpr std::int64_t kParallelAccessNs = 1000;

const Carrier kCarriers[] = {
    {""},
    {"ftdi", {.roundTrip = kRoundTrip}},
    {"ftdi:s:0x0403:0x6001:A1", {.mpsse = false, .roundTrip = kRoundTrip}},
    {"gpio:gpiochip0"},
};
const char* const kNames[] = {"parallel", "ftdi_mpsse", "ftdi_bitbang", "gpio"};

// Runs op once per iteration on LPT1 of a two-chip cable and reports what crossed the seam.
template <class Op>
void perFrame(benchmark::State& state, Op op) {
    const auto index = static_cast<std::size_t>(state.range(0));
    AdapterRig rig(kCarriers[index], 2, kParallelAccessNs);
    rig.hw->choosePort(PortChoice::Lpt1);
    rig.count = {};
    for (auto _ : state) {
        op(rig);
        rig.traffic.accesses.clear();
    }
    const auto perIteration = benchmark::Counter::kAvgIterations;
    state.counters["usb_writes"] = benchmark::Counter(double(rig.count.writes), perIteration);
    state.counters["usb_reads"] = benchmark::Counter(double(rig.count.reads), perIteration);
    state.counters["bytes_out"] = benchmark::Counter(double(rig.count.bytesOut), perIteration);
    state.counters["bytes_in"] = benchmark::Counter(double(rig.count.bytesIn), perIteration);
    state.SetLabel(kNames[index]);
    if (!rig.failures.empty() || rig.count.faults != 0) {
        state.SkipWithError("the adapter double refused what it was sent");
    }
}

void BM_GainFrame(benchmark::State& state) {
    int code = 0;
    perFrame(state, [&code](AdapterRig& rig) {
        code = (code + 1) & 0xFF;
        rig.hw->sendGainWords({code, 255 - code}, {code, code});
    });
}
BENCHMARK(BM_GainFrame)->DenseRange(0, 3)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_ReadBack(benchmark::State& state) {
    perFrame(state, [](AdapterRig& rig) {
        benchmark::DoNotOptimize(rig.hw->readBackGainRegisters({1, 2}, {3, 4}));
    });
}
BENCHMARK(BM_ReadBack)->DenseRange(0, 3)->UseRealTime()->Unit(benchmark::kMicrosecond);

// A ramp step's wait at delay 5, step 1: 10,000 reads of the data register, 10 ms.
void BM_RampWait(benchmark::State& state) {
    perFrame(state, [](AdapterRig& rig) {
        selvar::modPubShare::waitSteps(*rig.port, rig.port->base(), 5, 1);
    });
}
BENCHMARK(BM_RampWait)
    ->DenseRange(0, 3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

}  // namespace
