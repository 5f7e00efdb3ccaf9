// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "measure/procedures/results.h"
#include "measure/report/sweep_rows.h"

QT_BEGIN_NAMESPACE
class QChart;
QT_END_NAMESPACE

namespace selvar::measure {

// The plots the window shows and the report prints, in that order.
enum class Plot { Gain, Error, Step, Matching, Thdn, Spectrum, ZcdClick };
inline constexpr std::array<Plot, 7> kPlots = {Plot::Gain,     Plot::Error, Plot::Step,
                                               Plot::Matching, Plot::Thdn,  Plot::Spectrum,
                                               Plot::ZcdClick};

QString plotTitle(Plot plot);
QString plotFileStem(Plot plot);  // for exported images: "gain", "error", ...

// An empty chart of that kind: its axes, its series, the limit band where it has one. The
// series keep their order, so that filling it again replaces points and builds nothing.
std::unique_ptr<QChart> makeChart(Plot plot);

// What a chart shows; the spectrum is the chosen code's, if it was measured.
struct PlotData {
    const std::vector<SweepRow>* rows = nullptr;
    const Limits* limits = nullptr;
    const CodeResult* spectrumCode = nullptr;
    const std::optional<ZcdClickResult>* zcdClick = nullptr;
};

// Replaces the chart's points with the data's, codes outside the limits marked, and fits the
// axes to them unless the operator's zoom is to be kept.
void fillChart(QChart& chart, Plot plot, const PlotData& data, bool fit = true);

}  // namespace selvar::measure
