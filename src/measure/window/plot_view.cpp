// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/window/plot_view.h"

#include <QMouseEvent>
#include <QToolTip>
#include <QWheelEvent>
#include <QXYSeries>

namespace selvar::measure {

PlotView::PlotView(QChart* chart, HoverText hoverText, QWidget* parent)
    : QChartView(chart, parent), hoverText_(std::move(hoverText)) {
    setRenderHint(QPainter::Antialiasing);
    setRubberBand(QChartView::RectangleRubberBand);
    setMinimumSize(280, 200);
    connectHover();
}

void PlotView::connectHover() {
    for (QAbstractSeries* series : chart()->series()) {
        auto* xy = qobject_cast<QXYSeries*>(series);
        if (!xy) {
            continue;
        }
        connect(xy, &QXYSeries::hovered, this, [this](const QPointF& point, bool state) {
            if (!state || !hoverText_) {
                QToolTip::hideText();
                return;
            }
            QToolTip::showText(QCursor::pos(), hoverText_(point), this);
        });
    }
}

void PlotView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::MiddleButton) {
        panning_ = true;
        panFrom_ = event->position();
        event->accept();
        return;
    }
    if (event->button() == Qt::LeftButton) {
        zoomed_ = true;
    }
    QChartView::mousePressEvent(event);
}

void PlotView::mouseMoveEvent(QMouseEvent* event) {
    if (panning_) {
        const QPointF delta = event->position() - panFrom_;
        chart()->scroll(-delta.x(), delta.y());
        panFrom_ = event->position();
        zoomed_ = true;
        event->accept();
        return;
    }
    QChartView::mouseMoveEvent(event);
}

void PlotView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::MiddleButton) {
        panning_ = false;
        event->accept();
        return;
    }
    QChartView::mouseReleaseEvent(event);
}

void PlotView::mouseDoubleClickEvent(QMouseEvent* event) {
    chart()->zoomReset();
    zoomed_ = false;
    event->accept();
}

void PlotView::wheelEvent(QWheelEvent* event) {
    chart()->zoom(event->angleDelta().y() > 0 ? 1.25 : 0.8);
    zoomed_ = true;
    event->accept();
}

}  // namespace selvar::measure
