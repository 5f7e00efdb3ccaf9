// SPDX-License-Identifier: GPL-3.0-or-later
// What runs while a ramp runs: the whole program on the simulated board at its default pacing
// (1000 ns a port access), its windows shown (offscreen) and SCPI served on loopback. One
// client starts a delay-50 ramp (100 ms of reads after each move) and later aborts it; another
// asks *IDN? every 10 ms meanwhile. Measured: the second client's round trips, how often the
// bus monitor's line view is painted, and how long after the ABORt is sent the ramp ends.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QEvent>
#include <QHostAddress>
#include <QWidget>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "entry/frm_entry.h"
#include "entry/program.h"
#include "loopback_client.h"
#include "monitor/frm_bus.h"
#include "panel/ui/frm_main.h"
#include "platform/sim_board.h"
#include "remote/scpi_server.h"

namespace {

using namespace selvar;
using Clock = std::chrono::steady_clock;

double msOf(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

using Client = bench::LoopbackClient;

class PaintCounter : public QObject {
  public:
    std::atomic<long> paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

struct Run {
    std::vector<double> idnMs;
    double repaintHz = 0;
    double abortMs = 0;
};

constexpr auto kAbortAfter = std::chrono::milliseconds(2000);

Run runOnce() {
    entry::Program program(std::make_unique<platform::SimPortProvider>(
                               platform::SimBoardConfig{.chips = 2, .accessNs = 1000}),
                           [](const std::string&) {});
    program.start().show();
    program.frmDUT1().show();
    program.frmBus().show();
    QWidget* lines = program.frmBus().findChild<QWidget*>("fraLines")->findChild<QWidget*>();
    PaintCounter counter;
    lines->installEventFilter(&counter);
    remote::ScpiServer server(program.instrument());
    if (!server.listen(0, {QHostAddress(QHostAddress::LocalHost)}, nullptr)) {
        throw std::runtime_error("listen");
    }
    const int port = server.port();
    Clock::time_point ended{};
    QObject::connect(&program.jobs(), &entry::JobDriver::finished,
                     [&ended] { ended = Clock::now(); });

    Run run;
    std::atomic<bool> rampRunning = false;
    std::atomic<bool> done = false;
    Clock::time_point abortSent{};
    long paintsAtStart = 0;
    Clock::time_point rampStart{};
    std::thread owner([&] {
        Client c(port);
        c.send("DUT1:UNITy;:DUT1:RAMP:TARGet LEFT;BOTTom -30;DELay 50;*OPC?\n");
        c.readLine();
        rampStart = Clock::now();
        paintsAtStart = counter.paints;
        c.send("DUT1:RAMP:DOWN\n*OPC?\n");
        rampRunning = true;
        std::this_thread::sleep_for(kAbortAfter);
        abortSent = Clock::now();
        c.send("ABORt\n");
        c.readLine();  // the *OPC? queued before the ABORt
        done = true;
    });
    std::thread other([&] {
        Client c(port);
        while (!rampRunning) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        while (Clock::now() - rampStart < kAbortAfter - std::chrono::milliseconds(50)) {
            const auto t0 = Clock::now();
            c.send("*IDN?\n");
            c.readLine();
            run.idnMs.push_back(msOf(Clock::now() - t0));
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    while (!done) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    owner.join();
    other.join();
    run.repaintHz =
        static_cast<double>(counter.paints - paintsAtStart) / (msOf(abortSent - rampStart) / 1000);
    run.abortMs = msOf(ended - abortSent);
    return run;
}

void report(benchmark::State& state, const std::string& name, std::vector<double> v) {
    std::sort(v.begin(), v.end());
    state.counters[name + "_min"] = v.front();
    state.counters[name + "_med"] = v[v.size() / 2];
    state.counters[name + "_max"] = v.back();
}

void BM_RampKeepsTheProgramResponsive(benchmark::State& state) {
    std::vector<double> p50, p99, hz, abort;
    for (auto _ : state) {
        Run r = runOnce();
        std::sort(r.idnMs.begin(), r.idnMs.end());
        p50.push_back(r.idnMs[r.idnMs.size() / 2]);
        p99.push_back(r.idnMs[r.idnMs.size() * 99 / 100]);
        hz.push_back(r.repaintHz);
        abort.push_back(r.abortMs);
        state.SetIterationTime(msOf(kAbortAfter) / 1000);
    }
    report(state, "idn_p50_ms", p50);
    report(state, "idn_p99_ms", p99);
    report(state, "repaint_hz", hz);
    report(state, "abort_ms", abort);
}

BENCHMARK(BM_RampKeepsTheProgramResponsive)
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
