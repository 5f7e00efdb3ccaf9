// SPDX-License-Identifier: GPL-3.0-or-later
// A long session with both bus traces on: a million gain-word transfers and a hundred thousand
// read-backs through the selected port, every access streamed to an access log and a waveform.
// The traces are streamed, so resident memory must stay flat however long the run.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "chiplink/mod_selvar_hw.h"
#include "platform/bus_trace.h"
#include "platform/sim_board.h"
#include "proc_figures.h"

namespace {

using namespace selvar;
using bench::bytesWritten;
using bench::residentKib;
namespace fs = std::filesystem;

// Counts the accesses the traces saw.
class AccessCounter final : public platform::AccessObserver {
  public:
    long long accesses = 0;
    void onRead(std::uint16_t, std::uint8_t) override { ++accesses; }
    void onWrite(std::uint16_t, std::uint8_t) override { ++accesses; }
};

// A private directory whose waveform file name ends in ".vcd" but leads to /dev/null: the
// waveform writer is picked by the name, and a run this long would otherwise fill gigabytes.
class WaveformSink {
  public:
    WaveformSink() {
        std::string pattern = (fs::temp_directory_path() / "selvar-soak-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            dir_ = pattern;
            fs::create_symlink("/dev/null", dir_ / "bus.vcd");
        }
    }
    ~WaveformSink() {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    WaveformSink(const WaveformSink&) = delete;
    WaveformSink& operator=(const WaveformSink&) = delete;
    std::string path() const { return (dir_ / "bus.vcd").string(); }

  private:
    fs::path dir_;
};

constexpr long kTransfers = 1'000'000;
constexpr long kTransfersPerReadBack = 10;  // 100,000 read-backs in all
constexpr long kWarmUpTransfers = 10'000;
constexpr long kMaxGrowthKib = 1024;

// Codes that walk every value at different rates on the four channels, so every data bit
// and every chip's register really changes from frame to frame.
chiplink::GainCodes codesOf(long i, int salt) {
    return {.left = static_cast<int>((i * (3 + salt)) & 0xFF),
            .right = static_cast<int>((i * (7 + salt) + 128) & 0xFF)};
}

void BM_TracedSoak(benchmark::State& state) {
    WaveformSink waveform;
    std::string error;
    std::unique_ptr<platform::AccessObserver> log = platform::openBusTrace("/dev/null", 0, error);
    std::unique_ptr<platform::AccessObserver> vcd =
        platform::openBusTrace(waveform.path(), 0, error);
    if (!log || !vcd) {
        state.SkipWithError(("cannot open the traces: " + error).c_str());
        return;
    }
    AccessCounter counter;
    platform::SimPortProvider provider({.chips = 2, .accessNs = 0});
    platform::SelectedPort port(provider, [](const std::string&) {});
    port.observers().attach(*log);
    port.observers().attach(*vcd);
    port.observers().attach(counter);
    chiplink::BitMaskTable masks;
    masks.buildBitMasks();
    chiplink::modSelvarHw hw(port, masks);
    hw.choosePort(chiplink::PortChoice::Lpt1);

    const long long writtenBefore = bytesWritten();
    long long warmKib = 0;
    long readBacks = 0;
    bool readBacksAgree = true;
    for (auto _ : state) {
        for (long i = 1; i <= kTransfers; ++i) {
            const chiplink::GainCodes dut2 = codesOf(i, 0);
            const chiplink::GainCodes dut1 = codesOf(i, 2);
            hw.sendGainWords(dut2, dut1);
            if (i % kTransfersPerReadBack == 0) {
                // The chips hand back the words of the last transfer.
                const chiplink::ReadBack r = hw.readBackGainRegisters(dut2, dut1);
                readBacksAgree = readBacksAgree && r.chainLength == 32 &&
                                 r.bytes[0] == dut2.right && r.bytes[1] == dut2.left &&
                                 r.bytes[2] == dut1.right && r.bytes[3] == dut1.left;
                ++readBacks;
            }
            if (i == kWarmUpTransfers) {
                warmKib = residentKib();
            }
        }
    }
    const long long endKib = residentKib();
    port.observers().detach(*log);
    port.observers().detach(*vcd);
    log.reset();  // flushes the last buffered lines; no access follows
    vcd.reset();
    const long long traceMib = (bytesWritten() - writtenBefore) >> 20;
    const long long growthKib = endKib - warmKib;

    state.counters["transfers"] = static_cast<double>(kTransfers);
    state.counters["read_backs"] = static_cast<double>(readBacks);
    state.counters["accesses"] = static_cast<double>(counter.accesses);
    state.counters["per_access"] =
        benchmark::Counter(static_cast<double>(counter.accesses),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["trace_mib"] = static_cast<double>(traceMib);
    state.counters["rss_warm_kib"] = static_cast<double>(warmKib);
    state.counters["rss_end_kib"] = static_cast<double>(endKib);
    state.counters["rss_growth_kib"] = static_cast<double>(growthKib);
    if (warmKib == 0 || endKib == 0) {
        state.SkipWithError("cannot read VmRSS from /proc/self/status");
    } else if (!readBacksAgree) {
        state.SkipWithError("a read-back did not return the words of the last transfer");
    } else if (growthKib > kMaxGrowthKib) {
        state.SkipWithError("resident memory grew by more than 1 MiB");
    }
}
BENCHMARK(BM_TracedSoak)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
