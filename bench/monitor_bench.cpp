// SPDX-License-Identifier: GPL-3.0-or-later
// The bus monitor open through a long session: a million gain-word transfers and a hundred
// thousand read-backs through the program as main builds it, the monitor window shown and
// repainting from inside the loop as it does during a ramp. Its capture keeps the last
// 100,000 frames, so resident memory may grow while that ring fills and must stay flat after.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "entry/frm_entry.h"
#include "entry/program.h"
#include "monitor/frm_bus.h"
#include "platform/sim_board.h"
#include "proc_figures.h"

namespace {

using namespace selvar;

constexpr long kTransfers = 1'000'000;
constexpr long kTransfersPerReadBack = 10;
constexpr long kRingFilled = 100'000;  // transfers by then, read-backs besides
constexpr long long kMaxGrowthKib = 16 * 1024;

void BM_MonitoredSoak(benchmark::State& state) {
    entry::Program program(
        std::make_unique<platform::SimPortProvider>(platform::SimBoardConfig{.accessNs = 0}),
        [](const std::string&) {});
    program.start().show();
    program.frmBus().show();
    chiplink::modSelvarHw& hw = program.hw();
    program.capture().decodePending();
    const std::uint64_t framesBefore = program.capture().end();
    const std::uint64_t accessesBefore = program.capture().accesses();

    const long long startKib = bench::residentKib();
    long long filledKib = 0;
    for (auto _ : state) {
        for (long i = 1; i <= kTransfers; ++i) {
            const chiplink::GainCodes dut2{.left = static_cast<int>(i & 0xFF), .right = 7};
            const chiplink::GainCodes dut1{.left = 3, .right = static_cast<int>((i >> 8) & 0xFF)};
            hw.sendGainWords(dut2, dut1);
            if (i % kTransfersPerReadBack == 0) {
                hw.readBackGainRegisters(dut2, dut1);
            }
            if (i == kRingFilled) {
                filledKib = bench::residentKib();
            }
        }
    }
    const long long endKib = bench::residentKib();
    monitor::BusCapture& capture = program.capture();
    capture.decodePending();

    state.counters["frames"] = static_cast<double>(capture.end() - framesBefore);
    state.counters["per_access"] =
        benchmark::Counter(static_cast<double>(capture.accesses() - accessesBefore),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["frames_kept"] = static_cast<double>(capture.end() - capture.first());
    state.counters["rss_start_kib"] = static_cast<double>(startKib);
    state.counters["rss_filled_kib"] = static_cast<double>(filledKib);
    state.counters["rss_end_kib"] = static_cast<double>(endKib);
    state.counters["growth_after_fill_kib"] = static_cast<double>(endKib - filledKib);
    state.counters["growth_kib"] = static_cast<double>(endKib - startKib);
    if (startKib == 0 || endKib == 0) {
        state.SkipWithError("cannot read VmRSS from /proc/self/status");
    } else if (capture.end() - capture.first() != monitor::BusCapture::kCapacity) {
        state.SkipWithError("the capture does not hold exactly its last 100,000 frames");
    } else if (endKib - startKib > kMaxGrowthKib) {
        state.SkipWithError("resident memory grew by more than 16 MiB");
    }
}
BENCHMARK(BM_MonitoredSoak)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
