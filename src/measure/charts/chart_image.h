// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QSize>
#include <string>

QT_BEGIN_NAMESPACE
class QChart;
QT_END_NAMESPACE

namespace selvar::measure {

// A chart as a picture at the given size: PNG, or SVG when the name ends in ".svg". The chart
// is drawn in a scene of its own and put back where it was.
QByteArray chartImage(QChart& chart, QSize size, bool svg);

// Writes the picture whole or not at all; false with the system's reason.
bool saveChartImage(QChart& chart, const std::string& path, QSize size, std::string& error);

}  // namespace selvar::measure
