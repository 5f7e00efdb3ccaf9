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
#include <string>
#include <vector>

#include "chiplink/mod_selvar_hw.h"
#include "panel/ui/frm_main.h"
#include "panel/ui/panel_link.h"
#include "platform/sim_board.h"
#include "ramp/wait_steps.h"

namespace {

using namespace selvar;
using Clock = std::chrono::steady_clock;

double microsecondsOf(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

class AccessCounter final : public platform::AccessObserver {
  public:
    long long accesses = 0;
    void onRead(std::uint16_t, std::uint8_t) override { ++accesses; }
    void onWrite(std::uint16_t, std::uint8_t) override { ++accesses; }
};

// The program's wiring: one chip link for both panels, the DUT2 panel's word first. It also
// keeps account of the waits, so their share of the ramp can be told from the transfers'.
class MeasuredLink final : public panel::PanelLink {
  public:
    explicit MeasuredLink(std::int64_t accessNs) : provider_({.chips = 2, .accessNs = accessNs}) {
        globals_.buildBitMasks();
        hw_.choosePort(chiplink::PortChoice::Lpt1);
    }

    panel::frmMain* dut1 = nullptr;
    panel::frmMain* dut2 = nullptr;

    // What one ramp did; reset before each.
    struct Account {
        long long accesses = 0;
        long long waitAccesses = 0;
        long long frames = 0;
        double waitUs = 0;
    };
    void startAccount() {
        account_ = {};
        accessesAtStart_ = counter_.accesses;
    }
    Account account() const {
        Account a = account_;
        a.accesses = counter_.accesses - accessesAtStart_;
        return a;
    }

    void sendGainWords() override {
        ++account_.frames;
        hw_.sendGainWords(dut2->gainCodes(), dut1->gainCodes());
    }
    void readBackGainRegisters() override {
        const chiplink::ReadBackResult r =
            hw_.readBackGainRegisters(dut2->gainCodes(), dut1->gainCodes());
        dut2->showReadBackCodes(r.dut2Right, r.dut2Left);
        dut1->showReadBackCodes(r.dut1Right, r.dut1Left);
    }
    void waitSteps(int delay, int step) override {
        const long long before = counter_.accesses;
        const auto start = Clock::now();
        modPubShare::waitSteps(port_, port_.base(), delay, step);
        account_.waitUs += microsecondsOf(Clock::now() - start);
        account_.waitAccesses += counter_.accesses - before;
    }
    void setZcdPin() override { hw_.setZcdPin(); }
    void clearZcdPin() override { hw_.clearZcdPin(); }
    void clearMutePin() override { hw_.clearMutePin(); }
    void setMutePin() override { hw_.setMutePin(); }

  private:
    platform::SimPortProvider provider_;
    AccessCounter counter_;
    platform::SelectedPort port_{provider_, [](const std::string&) {}, &counter_};
    chiplink::PortGlobals globals_;
    chiplink::modSelvarHw hw_{port_, globals_};
    Account account_;
    long long accessesAtStart_ = 0;
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

// Arg: simulated duration of one port access in ns (1000 as the program runs, 0 pacing off).
// The ramps are repeated within one run rather than with benchmark repetitions: this library
// version crashes computing repetition statistics when the first repetition was skipped with
// an error, which a goal check must be free to do.
void BM_RampDownLeft(benchmark::State& state) {
    const std::int64_t accessNs = state.range(0);
    MeasuredLink link(accessNs);
    panel::frmMain dut1(link);
    panel::frmMain dut2(link);
    link.dut1 = &dut1;
    link.dut2 = &dut2;
    dut1.setMaxAtten();
    dut2.setMaxAtten();
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

    MeasuredLink::Account a;
    std::vector<double> rampUs, waitUs, waitDeviationPct;
    long long paints = 0;
    std::string error;
    for (auto _ : state) {
        btn0dB.click();
        if (dut1.gainCodes().left != kStartCode) {
            state.SkipWithError("unity gain did not put Left at code 192");
            return;
        }
        link.startAccount();
        const long long paintsBefore = paintCounter.paints;
        const auto start = Clock::now();
        btnDown.click();
        rampUs.push_back(microsecondsOf(Clock::now() - start));
        state.SetIterationTime(rampUs.back() / 1e6);
        a = link.account();
        paints = paintCounter.paints - paintsBefore;

        const double expectedWaitUs = static_cast<double>(a.waitAccesses * accessNs) / 1000.0;
        waitUs.push_back(a.waitUs);
        waitDeviationPct.push_back(
            expectedWaitUs > 0 ? 100.0 * (a.waitUs - expectedWaitUs) / expectedWaitUs : 0.0);
        if (dut1.gainCodes().left != kStopCode) {
            error = "the ramp did not end at code 132";
        } else if (a.waitAccesses != kWaitReads) {
            error = "the waits did not make 600,000 reads";
        } else if (std::abs(waitDeviationPct.back()) > kWaitTolerancePct) {
            error = "a ramp's waits are off their paced length by more than 3%: " +
                    std::to_string(waitDeviationPct.back()) + "% (is another process busy?)";
        }
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
    if (!error.empty()) {
        state.SkipWithError(error.c_str());
    }
}

BENCHMARK(BM_RampDownLeft)
    ->ArgName("access_ns")
    ->Arg(1000)
    ->Arg(0)
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
