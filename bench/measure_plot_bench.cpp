// SPDX-License-Identifier: GPL-3.0-or-later
// Redrawing the measurement window's plots and table for a full sweep: every code, both
// channels, as the window does at each refresh while a sweep runs (goal: 16 ms, one frame).

#include <benchmark/benchmark.h>

#include <QChartView>
#include <QImage>
#include <QPainter>
#include <cmath>

#include "measure/window/sweep_view.h"

namespace {

using namespace selvar::measure;

// A full sweep with small smooth errors and a few codes off, so that the marks are drawn too.
SweepResult fullSweep() {
    SweepResult sweep;
    for (int code = 0; code < kCodes; ++code) {
        CodeResult r;
        r.code = code;
        r.setDb = (code - 192) / 2.0;
        for (int ch = 0; ch < kChannels; ++ch) {
            const double error = 0.05 * std::sin(code * 0.1 + ch) + (code % 37 == 0 ? 0.7 : 0.0);
            r.channels[ch].gainDb = r.setDb + error;
            r.channels[ch].thdnDb = -95.0 + 10.0 * std::cos(code * 0.05);
        }
        sweep.codes[code] = r;
    }
    return sweep;
}

// What a refresh costs: the rows judged, all seven plots and the table refilled, and the
// plots shown on screen painted.
void BM_RedrawFullSweep(benchmark::State& state) {
    const SweepResult sweep = fullSweep();
    const Limits limits;
    SweepView view;
    view.resize(1300, 800);
    view.show();
    const bool paintEveryPlot = state.range(0) != 0;
    QImage canvas(640, 400, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        const std::vector<SweepRow> rows = sweepRows(sweep, limits);
        view.showResults(PlotData{&rows, &limits, &*sweep.codes[192], nullptr});
        if (paintEveryPlot) {
            // Every plot rendered, not only the tab in view: the report's and an export's cost.
            for (Plot plot : kPlots) {
                QPainter painter(&canvas);
                QChartView* chartView = view.findChild<QChartView*>("plt" + plotFileStem(plot));
                chartView->render(&painter);
            }
        } else {
            view.repaint();
        }
    }
}
BENCHMARK(BM_RedrawFullSweep)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
