// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChartView>
#include <functional>

namespace selvar::measure {

// A chart on screen that the mouse zooms and pans: drag a rectangle to zoom into it, the wheel
// zooms about the middle, the middle button drags the view, a double click shows it all again.
// Hovering a point shows what hoverText says about it.
class PlotView : public QChartView {
    Q_OBJECT
  public:
    using HoverText = std::function<QString(const QPointF& point)>;

    // Takes the chart.
    PlotView(QChart* chart, HoverText hoverText, QWidget* parent = nullptr);
    // Whether the operator has zoomed or panned: refilling then keeps the view.
    bool zoomed() const { return zoomed_; }

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    void connectHover();

    HoverText hoverText_;
    QPointF panFrom_;
    bool panning_ = false;
    bool zoomed_ = false;
};

}  // namespace selvar::measure
