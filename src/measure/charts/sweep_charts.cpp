// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/charts/sweep_charts.h"

#include <QChart>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPen>
#include <QScatterSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <functional>

namespace selvar::measure {
namespace {

struct PlotInfo {
    const char* title;
    const char* stem;
    const char* yTitle;
    std::vector<const char*> lines;  // line series, in order; "-" names a dashed limit line
};

const PlotInfo& info(Plot plot) {
    static const std::array<PlotInfo, kPlots.size()> infos = {{
        {"Measured gain against code", "gain", "gain (dB)", {"Left", "Right", "-Ideal"}},
        {"Gain error against code", "error", "error (dB)", {"Left", "Right", "-+limit", "--limit"}},
        {"Step size against code", "step", "step (dB)", {"Step", "-upper limit", "-lower limit"}},
        {"Left minus Right", "matching", "Left - Right (dB)", {"L - R", "-+limit", "--limit"}},
        {"THD+N against code", "thdn", "THD+N (dB)", {"THD+N", "-limit"}},
        {"Spectrum at the chosen code", "spectrum", "level (dBFS)", {"Left", "Right"}},
        {"ZCD click comparison", "zcd", "click energy (dB)", {"ZCD off", "ZCD on"}},
    }};
    return infos[static_cast<std::size_t>(plot)];
}

using Points = QList<QPointF>;

// The chart's line series in creation order, then the scatter of marked codes.
std::vector<Points> pointsFor(Plot plot, const PlotData& d, Points& marked) {
    std::vector<Points> out(info(plot).lines.size());
    const Limits& l = *d.limits;
    auto each = [&](const std::function<void(const SweepRow&)>& f) {
        for (const SweepRow& r : *d.rows) {
            f(r);
        }
    };
    auto markIf = [&marked](bool bad, double x, double y) {
        if (bad) {
            marked.append({x, y});
        }
    };
    switch (plot) {
        case Plot::Gain:
            each([&](const SweepRow& r) {
                for (int ch = 0; ch < kChannels; ++ch) {
                    if (r.gainDb[ch]) {
                        out[ch].append({double(r.code), *r.gainDb[ch]});
                        // Only the channel that is off, not its partner in the same row.
                        markIf(r.errorDb[ch] && std::abs(*r.errorDb[ch]) > l.gainErrorDb, r.code,
                               *r.gainDb[ch]);
                    }
                }
                if (r.code > 0) {
                    out[2].append({double(r.code), r.setDb});
                }
            });
            break;
        case Plot::Error:
            each([&](const SweepRow& r) {
                for (int ch = 0; ch < kChannels; ++ch) {
                    if (r.errorDb[ch]) {
                        out[ch].append({double(r.code), *r.errorDb[ch]});
                        markIf(std::abs(*r.errorDb[ch]) > l.gainErrorDb, r.code, *r.errorDb[ch]);
                    }
                }
            });
            out[2] = {{0, l.gainErrorDb}, {255, l.gainErrorDb}};
            out[3] = {{0, -l.gainErrorDb}, {255, -l.gainErrorDb}};
            break;
        case Plot::Step:
            each([&](const SweepRow& r) {
                if (r.stepDb) {
                    out[0].append({double(r.code), *r.stepDb});
                    markIf(r.fails(Check::StepError), r.code, *r.stepDb);
                    const double set = *r.stepDb - *r.stepErrorDb;
                    out[1].append({double(r.code), set + l.stepErrorDb});
                    out[2].append({double(r.code), set - l.stepErrorDb});
                }
            });
            break;
        case Plot::Matching:
            each([&](const SweepRow& r) {
                if (r.gainDb[0] && r.gainDb[1]) {
                    const double diff = *r.gainDb[0] - *r.gainDb[1];
                    out[0].append({double(r.code), diff});
                    markIf(r.fails(Check::Matching), r.code, diff);
                }
            });
            out[1] = {{0, l.matchingDb}, {255, l.matchingDb}};
            out[2] = {{0, -l.matchingDb}, {255, -l.matchingDb}};
            break;
        case Plot::Thdn:
            each([&](const SweepRow& r) {
                if (r.thdnDb) {
                    out[0].append({double(r.code), *r.thdnDb});
                    markIf(r.fails(Check::Thdn), r.code, *r.thdnDb);
                }
            });
            out[1] = {{0, l.thdnDb}, {255, l.thdnDb}};
            break;
        case Plot::Spectrum:
            if (d.spectrumCode) {
                for (int ch = 0; ch < kChannels; ++ch) {
                    const Spectrum& s = d.spectrumCode->spectra[ch];
                    for (std::size_t i = 0; i < s.frequencyHz.size(); ++i) {
                        if (s.frequencyHz[i] > 0) {
                            out[ch].append({s.frequencyHz[i], s.levelDbfs[i]});
                        }
                    }
                }
            }
            break;
        case Plot::ZcdClick:
            if (d.zcdClick && *d.zcdClick) {
                const ZcdClickResult& z = **d.zcdClick;
                for (std::size_t i = 0; i < z.offDb.size(); ++i) {
                    out[0].append({double(i + 1), z.offDb[i]});
                }
                for (std::size_t i = 0; i < z.onDb.size(); ++i) {
                    out[1].append({double(i + 1), z.onDb[i]});
                }
            }
            break;
    }
    return out;
}

void fitAxes(QChart& chart, Plot plot, const std::vector<Points>& lines) {
    double lo = INFINITY, hi = -INFINITY, xLo = INFINITY, xHi = -INFINITY;
    for (const Points& points : lines) {
        for (const QPointF& p : points) {
            lo = std::min(lo, p.y());
            hi = std::max(hi, p.y());
            xLo = std::min(xLo, p.x());
            xHi = std::max(xHi, p.x());
        }
    }
    if (!(lo <= hi)) {
        lo = -1;
        hi = 1;
    }
    const double pad = std::max(0.05 * (hi - lo), 0.05);
    auto* y = static_cast<QValueAxis*>(chart.axes(Qt::Vertical).front());
    y->setRange(lo - pad, hi + pad);
    y->applyNiceNumbers();  // ticks on round values a reader can take dB from
    QAbstractAxis* x = chart.axes(Qt::Horizontal).front();
    if (plot == Plot::Spectrum) {
        x->setRange(xLo <= xHi ? xLo : 10.0, xLo <= xHi ? xHi : 24000.0);
    } else if (plot == Plot::ZcdClick) {
        x->setRange(0, xLo <= xHi ? xHi + 1 : 10);
    }
}

}  // namespace

QString plotTitle(Plot plot) {
    return QString::fromUtf8(info(plot).title);
}

QString plotFileStem(Plot plot) {
    return QString::fromUtf8(info(plot).stem);
}

std::unique_ptr<QChart> makeChart(Plot plot) {
    auto chart = std::make_unique<QChart>();
    chart->setTitle(plotTitle(plot));
    chart->setAnimationOptions(QChart::NoAnimation);
    QAbstractAxis* x = nullptr;
    if (plot == Plot::Spectrum) {
        auto* log = new QLogValueAxis;
        log->setTitleText(QStringLiteral("frequency (Hz)"));
        log->setLabelFormat(QStringLiteral("%g"));
        x = log;
    } else {
        auto* linear = new QValueAxis;
        linear->setTitleText(plot == Plot::ZcdClick ? QStringLiteral("gain change")
                                                    : QStringLiteral("code"));
        linear->setRange(0, 255);
        linear->setLabelFormat(QStringLiteral("%d"));
        if (plot != Plot::ZcdClick) {  // codes in steps of 32: 0, 32, ... 192 (0 dB), 224
            linear->setTickType(QValueAxis::TicksDynamic);
            linear->setTickAnchor(0);
            linear->setTickInterval(32);
        }
        x = linear;
    }
    auto* y = new QValueAxis;
    y->setTitleText(QString::fromUtf8(info(plot).yTitle));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    auto attach = [&](QXYSeries* series) {
        chart->addSeries(series);
        series->attachAxis(x);
        series->attachAxis(y);
    };
    for (const char* name : info(plot).lines) {
        auto* series = plot == Plot::ZcdClick ? static_cast<QXYSeries*>(new QScatterSeries)
                                              : static_cast<QXYSeries*>(new QLineSeries);
        const bool limit = name[0] == '-';
        series->setName(QString::fromUtf8(limit ? name + 1 : name));
        if (limit) {
            series->setPen(QPen(Qt::darkGray, 1, Qt::DashLine));
        }
        attach(series);
    }
    auto* marked = new QScatterSeries;
    marked->setName(QStringLiteral("outside limits"));
    marked->setColor(Qt::red);
    marked->setMarkerSize(7);
    attach(marked);
    return chart;
}

void fillChart(QChart& chart, Plot plot, const PlotData& data, bool fit) {
    Points marked;
    const std::vector<Points> lines = pointsFor(plot, data, marked);
    const QList<QAbstractSeries*> series = chart.series();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        static_cast<QXYSeries*>(series[static_cast<int>(i)])->replace(lines[i]);
    }
    static_cast<QXYSeries*>(series.back())->replace(marked);
    if (fit) {
        fitAxes(chart, plot, lines);
    }
}

}  // namespace selvar::measure
