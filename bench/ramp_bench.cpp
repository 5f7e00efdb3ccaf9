// SPDX-License-Identifier: GPL-3.0-or-later
// Pacing of a whole ramp as the operator runs it: a real gain panel, wired to the chip link on
// the simulated board, ramps Left from 0.0 dB down to -30.0 dB in 0.5 dB steps with delay 5.
// The ramp's only clock is the port read, so its waits must last as long as the reads would on
// a real port: 60 waits of 10,000 reads at 1 us each.

#include <benchmark/benchmark.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "chiplink/bus_decoder.h"
#include "entry/program.h"
#include "panel/ui/frm_main.h"
#include "platform/sim_board.h"
#include "ramp/wait_steps.h"

namespace {

using namespace selvar;
using Clock = std::chrono::steady_clock;

double microsecondsOf(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

// Keeps account of what a ramp does at the port, from the accesses alone: frames sent, and the
// waits (runs of data-register reads outside frames) with the time they took.
class RampAccount final : public platform::AccessObserver {
  public:
    struct Totals {
        long long accesses = 0;
        long long waitAccesses = 0;
        long long frames = 0;
        double waitUs = 0;
    };

    void start() {
        totals_ = {};
        previousWasDataRead_ = false;
    }
    Totals totals() const { return totals_; }

    void onPortSelected(std::uint16_t base) override {
        base_ = base;
        decoder_.portSelected(base);
    }
    void onRead(std::uint16_t address, std::uint8_t value) override {
        ++totals_.accesses;
        count(decoder_.read(address, value));
        const auto now = Clock::now();
        const bool dataRead = address == base_;
        if (dataRead && previousWasDataRead_) {
            // The second read of a run and every later one belong to a wait.
            lastIntervalUs_ = microsecondsOf(now - previous_);
            totals_.waitUs += lastIntervalUs_;
            totals_.waitAccesses += runLength_ == 1 ? 2 : 1;
            ++runLength_;
        } else {
            runLength_ = 1;
        }
        previousWasDataRead_ = dataRead;
        previous_ = now;
    }
    void onWrite(std::uint16_t address, std::uint8_t value) override {
        ++totals_.accesses;
        count(decoder_.write(address, value));
        if (previousWasDataRead_ && runLength_ > 1) {
            // That last read began the next frame (a read, then writes): it was no wait.
            totals_.waitAccesses -= 1;
            totals_.waitUs -= lastIntervalUs_;
        }
        previousWasDataRead_ = false;
        runLength_ = 0;
    }

  private:
    void count(const std::optional<chiplink::BusEvent>& e) {
        totals_.frames += e && e->kind == chiplink::BusEvent::Kind::Gain;
    }

    chiplink::BusDecoder decoder_;
    std::uint16_t base_ = 0;
    Totals totals_;
    bool previousWasDataRead_ = false;
    long long runLength_ = 0;
    double lastIntervalUs_ = 0;
    Clock::time_point previous_;
};

// Counts the paint events a widget receives: the ramp repaints the gain frame between moves.
class PaintCounter final : public QObject {
  public:
    long long paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

template <typename Widget>
Widget& control(panel::frmMain& panel, const char* name) {
    return *panel.findChild<Widget*>(QString::fromLatin1(name));
}

constexpr int kStartCode = 192;  // 0.0 dB
constexpr int kStopCode = 132;   // -30.0 dB
constexpr long long kFrames = 60;
constexpr long long kWaitReads = kFrames * 5 * 1 * modPubShare::kReadsPerWaitUnit;
constexpr double kWaitTolerancePct = 3.0;
constexpr int kRamps = 7;

// Minimum, median and maximum of the ramps of one run, put out as counters.
void reportSpread(benchmark::State& state, const std::string& name, std::vector<double> v) {
    std::sort(v.begin(), v.end());
    state.counters[name + "_min"] = v.front();
    state.counters[name + "_med"] = v[v.size() / 2];
    state.counters[name + "_max"] = v.back();
}

// Args: simulated duration of one port access in ns (1000 as the program runs, 0 pacing off);
// whether the ramp's slices run on the event loop (1, as in the program) or back to back (0,
// the ramp as a blocking handler, for the side-by-side comparison).
// The ramps are repeated within one run rather than with benchmark repetitions: this library
// version crashes computing repetition statistics when the first repetition was skipped with
// an error, which a goal check must be free to do.
void BM_RampDownLeft(benchmark::State& state) {
    const std::int64_t accessNs = state.range(0);
    const bool onTheLoop = state.range(1) != 0;
    entry::Program program(std::make_unique<platform::SimPortProvider>(
                               platform::SimBoardConfig{.chips = 2, .accessNs = accessNs}),
                           [](const std::string&) {});
    RampAccount account;
    platform::ObserverAttachment attachment(program.observers(), account);
    program.glbl().buildBitMasks();
    program.hw().choosePort(chiplink::PortChoice::Lpt1);
    panel::frmMain& dut1 = program.frmDUT1();
    program.frmDUT2().setMaxAtten();
    dut1.setMaxAtten();
    dut1.show();
    // The operator sees the panel before clicking: let it be exposed, so repaints really paint.
    QCoreApplication::processEvents();
    PaintCounter paintCounter;
    control<QGroupBox>(dut1, "frmGainCtrl").installEventFilter(&paintCounter);

    dut1.txtBottom().setText(QStringLiteral("-30.0"));
    dut1.cmbStep().setEditText(QStringLiteral("0.5"));
    dut1.cmbDelay().setEditText(QStringLiteral("5"));
    auto& btn0dB = control<QPushButton>(dut1, "btn0dB");
    auto& btnDown = control<QPushButton>(dut1, "btnDown");
    control<QRadioButton>(dut1, "optLt0").setChecked(true);

    RampAccount::Totals a;
    std::vector<double> rampUs, waitUs, waitDeviationPct;
    long long paints = 0;
    int rampsOffGoal = 0;
    std::string error;
    for (auto _ : state) {
        btn0dB.click();
        if (dut1.gainCodes().left != kStartCode) {
            state.SkipWithError("unity gain did not put Left at code 192");
            return;
        }
        account.start();
        const long long paintsBefore = paintCounter.paints;
        const auto start = Clock::now();
        btnDown.click();
        if (onTheLoop) {  // slices with the event loop served between them, as the program runs
            while (program.jobs().running()) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            }
        } else {  // every slice back to back, nothing between: the ramp as one blocking handler
            program.jobs().finishNow();
        }
        rampUs.push_back(microsecondsOf(Clock::now() - start));
        state.SetIterationTime(rampUs.back() / 1e6);
        a = account.totals();
        paints = paintCounter.paints - paintsBefore;

        const double expectedWaitUs = static_cast<double>(a.waitAccesses * accessNs) / 1000.0;
        waitUs.push_back(a.waitUs);
        waitDeviationPct.push_back(
            expectedWaitUs > 0 ? 100.0 * (a.waitUs - expectedWaitUs) / expectedWaitUs : 0.0);
        if (dut1.gainCodes().left != kStopCode) {
            error = "the ramp did not end at code 132";
        } else if (a.waitAccesses != kWaitReads) {
            error = "the waits did not make 600,000 reads";
        }
        // Off the goal is a figure to read (a busy machine makes waits long), not a failure.
        rampsOffGoal += std::abs(waitDeviationPct.back()) > kWaitTolerancePct;
    }

    // What the last ramp sent and read; every ramp was checked for its end code and reads.
    state.counters["frames"] = static_cast<double>(a.frames);
    state.counters["paints"] = static_cast<double>(paints);
    state.counters["wait_reads"] = static_cast<double>(a.waitAccesses);
    state.counters["transfer_accesses"] = static_cast<double>(a.accesses - a.waitAccesses);
    state.counters["expected_us"] = static_cast<double>(a.accesses * accessNs) / 1000.0;
    reportSpread(state, "ramp_us", rampUs);
    reportSpread(state, "wait_us", waitUs);
    reportSpread(state, "wait_dev_pct", waitDeviationPct);
    state.counters["ramps_off_3pct"] = rampsOffGoal;
    if (!error.empty()) {
        state.SkipWithError(error.c_str());
    }
}

BENCHMARK(BM_RampDownLeft)
    ->ArgNames({"access_ns", "loop"})
    ->Args({1000, 0})
    ->Args({1000, 1})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Iterations(kRamps)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The pacer spins on this clock; its cost per read bounds how finely an access can be paced.
void BM_SteadyClockNow(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(Clock::now());
    }
}
BENCHMARK(BM_SteadyClockNow);

}  // namespace
