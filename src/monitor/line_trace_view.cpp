// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/line_trace_view.h"

#include <QPainter>
#include <array>

#include "monitor/bus_capture.h"
#include "platform/wiring.h"

namespace selvar::monitor {

namespace {

using platform::Signal;
constexpr platform::ParallelWiring kWiring = platform::kParallelWiring;

struct Line {
    const char* name;
    std::uint8_t bit;  // in the capture's line levels
    const char* low;   // what the line's level means, as the operator reads it
    const char* high;
};
// MUTE is active low: a bare 0 beside it read as "not muted".
constexpr std::array<Line, 6> kLines = {{
    {"CS", kWiring.mask(Signal::ChipSelect), "0", "1"},
    {"CLK", kWiring.mask(Signal::Clock), "0", "1"},
    {"DATA", kWiring.mask(Signal::Data), "0", "1"},
    {"READ", LineHistory::kReadBackBit, "0", "1"},
    {"MUTE", kWiring.mask(Signal::Mute), "muted", "released"},
    {"ZCD", kWiring.mask(Signal::Zcd), "0", "1"},
}};
constexpr int kRowHeight = 22;
constexpr int kLabelWidth = 112;

std::uint8_t levelsNow(const BusCapture& c) {
    return static_cast<std::uint8_t>(c.dataLevel() |
                                     (c.readBackHigh() ? LineHistory::kReadBackBit : 0));
}

// One line's trace in its row: a level seen alone is drawn high or low, a slice that saw both
// as a bar; slices without accesses carry the last level on.
void paintTrace(QPainter& p, const LineHistory& history, std::uint8_t bit, QRect row) {
    const double step = static_cast<double>(row.width()) / LineHistory::kSlices;
    const int top = row.top() + 3;
    const int bottom = row.bottom() - 3;
    int last = -1;  // unknown until seen
    for (std::size_t age = LineHistory::kSlices; age-- > 0;) {
        const LineHistory::Slice& s = history.slice(age);
        const bool high = s.high & bit;
        const bool low = s.low & bit;
        const int x0 = row.left() + static_cast<int>((LineHistory::kSlices - 1 - age) * step);
        const int x1 = row.left() + static_cast<int>((LineHistory::kSlices - age) * step);
        if (high && low) {
            p.fillRect(QRect(QPoint(x0, top), QPoint(std::max(x0, x1 - 1), bottom)),
                       p.pen().color());
            last = -1;
            continue;
        }
        const int level = high ? 1 : low ? 0 : last;
        if (level >= 0) {
            const int y = level ? top : bottom;
            if (last >= 0 && last != level) {
                p.drawLine(x0, top, x0, bottom);
            }
            p.drawLine(x0, y, x1, y);
        }
        last = level;
    }
}

}  // namespace

LineTraceView::LineTraceView(const BusCapture& capture, QWidget* parent)
    : QWidget(parent), capture_(capture) {
    setObjectName("lineTrace");
    setMinimumHeight(kRowHeight * static_cast<int>(kLines.size()) + 4);
}

QSize LineTraceView::sizeHint() const {
    return {kLabelWidth + static_cast<int>(LineHistory::kSlices), minimumHeight()};
}

QStringList LineTraceView::levelTexts() const {
    const std::uint8_t levels = levelsNow(capture_);
    QStringList texts;
    for (const Line& line : kLines) {
        texts << QString("%1 %2").arg(line.name, (levels & line.bit) ? line.high : line.low);
    }
    return texts;
}

void LineTraceView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    const QStringList texts = levelTexts();
    const QRect traces(kLabelWidth, 2, width() - kLabelWidth - 4, height() - 4);
    for (std::size_t i = 0; i < kLines.size(); ++i) {
        const int y = 2 + static_cast<int>(i) * kRowHeight;
        p.setPen(palette().color(QPalette::Text));
        p.drawText(QRect(4, y, kLabelWidth - 8, kRowHeight), Qt::AlignVCenter | Qt::AlignLeft,
                   texts[static_cast<int>(i)]);
        p.setPen(QColor(0, 128, 0));
        paintTrace(p, capture_.history(), kLines[i].bit,
                   QRect(traces.left(), y, traces.width(), kRowHeight));
    }
}

}  // namespace selvar::monitor
