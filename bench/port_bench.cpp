// SPDX-License-Identifier: GPL-3.0-or-later
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "chiplink/mod_selvar_hw.h"
#include "monitor/bus_capture.h"
#include "platform/sim_board.h"

// Counts heap allocations so the benchmark can prove the transfer path makes none. A replaced
// global operator new has no owner to hang state on, hence the one file-level counter.
namespace {
std::size_t allocationCount = 0;
}  // namespace

// All kept out of line: once inlined, the compiler pairs malloc/free with new/delete
// expressions and warns of a mismatch that is not there.
[[gnu::noinline]] void* operator new(std::size_t size) {
    ++allocationCount;
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
[[gnu::noinline]] void* operator new[](std::size_t size) {
    return ::operator new(size);
}
[[gnu::noinline]] void operator delete(void* p) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete[](void* p) noexcept {
    ::operator delete(p);
}
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept {
    ::operator delete(p);
}
[[gnu::noinline]] void operator delete[](void* p, std::size_t) noexcept {
    ::operator delete(p);
}

namespace {

using namespace selvar;

constexpr int kAccessesPerTransfer = 101;  // 2 reads + 99 writes

// The chip link on the simulated board behind the guarded port, as the program runs it.
struct Rig {
    explicit Rig(std::int64_t accessNs) : provider({.chips = 2, .accessNs = accessNs}) {
        masks.buildBitMasks();
        hw.choosePort(chiplink::PortChoice::Lpt1);
    }
    platform::SimPortProvider provider;
    platform::SelectedPort port{provider, [](const std::string&) {}};
    chiplink::BitMaskTable masks;
    chiplink::modSelvarHw hw{port, masks};
};

// An observer that does nothing: the floor of what any observer adds to an access.
class NullObserver final : public platform::AccessObserver {
  public:
    void onRead(std::uint16_t, std::uint8_t) override {}
    void onWrite(std::uint16_t, std::uint8_t) override {}
};

// The monitor window's part: told at most thirty times a second.
class NullListener final : public monitor::CaptureListener {
  public:
    void captureChanged() override {}
};

enum class Watched { Nothing, NullObserver, Monitor };

// The time per access, and the heap allocations the loop made (taken before the counters,
// which allocate): any is an error.
void reportPerAccess(benchmark::State& state, long accessesPerIteration, std::size_t allocations) {
    state.counters["per_access"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * static_cast<double>(accessesPerIteration),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["allocations"] = static_cast<double>(allocations);
    if (allocations != 0) {
        state.SkipWithError("the access path allocated on the heap");
    }
}

// The same transfers bare, with an observer that does nothing, and with the bus monitor's
// capture watching every access: what the monitor adds to an access, and that it allocates
// nothing per access either.
void BM_SendGainWords(benchmark::State& state, Watched watched) {
    Rig rig(0);
    monitor::BusCapture capture(platform::VcdTiming::simulated(0));
    NullObserver null;
    NullListener listener;
    capture.addListener(listener);  // as the program has it: the window listens
    platform::ObserverAttachment attachment;
    if (watched == Watched::NullObserver) {
        attachment = platform::ObserverAttachment(rig.port.observers(), null);
    } else if (watched == Watched::Monitor) {
        attachment = platform::ObserverAttachment(rig.port.observers(), capture);
        capture.onPortSelected(rig.port.base());  // selected before the capture came
    }
    int code = 0;
    const std::size_t allocationsBefore = allocationCount;
    for (auto _ : state) {
        code = (code + 1) & 0xFF;
        rig.hw.sendGainWords({.left = code, .right = 255 - code}, {.left = 192, .right = code});
    }
    reportPerAccess(state, kAccessesPerTransfer, allocationCount - allocationsBefore);
    benchmark::DoNotOptimize(rig.provider.board().gainRegister(0));
    capture.decodePending();
    state.counters["frames_captured"] = static_cast<double>(capture.end());
}
BENCHMARK_CAPTURE(BM_SendGainWords, bare, Watched::Nothing);
BENCHMARK_CAPTURE(BM_SendGainWords, null_observer, Watched::NullObserver);
BENCHMARK_CAPTURE(BM_SendGainWords, monitored, Watched::Monitor);

// A ramp's wait, unpaced: runs of data-register reads, bare and with the monitor's capture.
void BM_WaitReads(benchmark::State& state, Watched watched) {
    constexpr long kReads = 10'000;
    Rig rig(0);
    monitor::BusCapture capture(platform::VcdTiming::simulated(0));
    platform::ObserverAttachment attachment;
    if (watched == Watched::Monitor) {
        attachment = platform::ObserverAttachment(rig.port.observers(), capture);
        capture.onPortSelected(rig.port.base());
    }
    const std::size_t allocationsBefore = allocationCount;
    for (auto _ : state) {
        rig.port.wait(rig.port.base(), kReads);
    }
    reportPerAccess(state, kReads, allocationCount - allocationsBefore);
}
BENCHMARK_CAPTURE(BM_WaitReads, bare, Watched::Nothing);
BENCHMARK_CAPTURE(BM_WaitReads, monitored, Watched::Monitor);

// Keeps the last frame the port ran.
class FrameKeeper final : public platform::AccessObserver {
  public:
    void onRead(std::uint16_t, std::uint8_t) override {}
    void onWrite(std::uint16_t, std::uint8_t) override {}
    bool takesFrames() const override { return true; }
    void onFrame(std::uint16_t, const platform::BusBatch& batch) override { last = batch; }
    platform::BusBatch last;
};

// The capture's keeping and, once its store is full, decoding of one gain frame alone, without
// the port: what the monitor adds to a transfer, measured apart from the simulated board's own
// cost.
void BM_CaptureDecodesAGainFrame(benchmark::State& state) {
    Rig rig(0);
    FrameKeeper keeper;
    {
        const platform::ObserverAttachment attachment(rig.port.observers(), keeper);
        rig.hw.sendGainWords({.left = 0x5A, .right = 0xA5}, {.left = 192, .right = 17});
    }
    monitor::BusCapture capture(platform::VcdTiming::simulated(0));
    capture.onPortSelected(rig.port.base());
    for (auto _ : state) {
        capture.onFrameBegin();
        capture.onFrame(rig.port.base(), keeper.last);
    }
    capture.decodePending();
    benchmark::DoNotOptimize(capture.end());
    state.counters["per_access"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * static_cast<double>(keeper.last.accesses()),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_CaptureDecodesAGainFrame);

// Paced accesses, as the ramp's wait makes them: each must take accessNs on average.
void BM_PacingAccuracy(benchmark::State& state) {
    constexpr std::int64_t kAccessNs = 1000;
    const auto accesses = state.range(0);
    Rig rig(kAccessNs);
    const auto base = rig.port.base();
    double totalNs = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (std::int64_t i = 0; i < accesses; ++i) {
            benchmark::DoNotOptimize(rig.port.read(base));
        }
        const auto elapsed = std::chrono::steady_clock::now() - start;
        totalNs += static_cast<double>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count());
    }
    const double perAccess = totalNs / (static_cast<double>(state.iterations()) * accesses);
    const double deviation = 100.0 * (perAccess - kAccessNs) / kAccessNs;
    state.counters["ns_per_access"] = perAccess;
    state.counters["deviation_pct"] = deviation;
    if (std::abs(deviation) > 5.0) {
        state.SkipWithError("paced accesses are off their period by more than 5%");
    }
}
BENCHMARK(BM_PacingAccuracy)->Arg(100'000)->Iterations(10)->Unit(benchmark::kMillisecond);

}  // namespace
