// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <array>
#include <vector>

#include "measure/charts/sweep_charts.h"
#include "measure/report/sweep_rows.h"

class QTableWidget;
class QTabWidget;

namespace selvar::measure {

class PlotView;

// The plots and the results table (tblResults) of one set of results: what it is given, it
// shows; it keeps nothing of its own. Codes outside the limits are marked in both.
class SweepView : public QWidget {
    Q_OBJECT
  public:
    explicit SweepView(QWidget* parent = nullptr);

    // Shows the data: every plot refilled (keeping a zoom the operator chose), the table's rows
    // replaced.
    void showResults(const PlotData& data);
    // The table as tab-separated text, header first, rows in the order shown.
    QString tableText() const;
    void copyTable() const;  // to the clipboard

    QChart& chart(Plot plot);
    Plot currentPlot() const;

  private:
    void fillTable(const std::vector<SweepRow>& rows);
    QString hoverText(const QPointF& point) const;

    QTabWidget* tabs_ = nullptr;
    std::array<PlotView*, kPlots.size()> views_{};
    QTableWidget* table_ = nullptr;
    std::vector<SweepRow> shown_;  // what the plots show, for the hover's text
};

}  // namespace selvar::measure
