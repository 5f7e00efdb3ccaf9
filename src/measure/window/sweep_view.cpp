// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/window/sweep_view.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "measure/window/plot_view.h"

namespace selvar::measure {
namespace {

const QStringList kColumns = {"code",    "set dB",  "Left dB", "Right dB", "error L",
                              "error R", "step dB", "THD+N",   "result"};

// A cell that shows its number rounded and sorts by its value; an empty one sorts first.
class NumberItem : public QTableWidgetItem {
  public:
    NumberItem(const std::optional<double>& value, int decimals, const QString& otherwise = {})
        : QTableWidgetItem(value ? QString::number(*value, 'f', decimals) : otherwise) {
        setData(Qt::UserRole, value ? *value : -1e300);
        setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    bool operator<(const QTableWidgetItem& other) const override {
        return data(Qt::UserRole).toDouble() < other.data(Qt::UserRole).toDouble();
    }
};

// Where a tab shows which plots, one above the other.
struct TabPlots {
    const char* name;
    std::vector<Plot> plots;
};
const std::array<TabPlots, 5> kTabs = {{
    {"Gain", {Plot::Gain, Plot::Error}},
    {"Step / L-R", {Plot::Step, Plot::Matching}},
    {"THD+N", {Plot::Thdn}},
    {"Spectrum", {Plot::Spectrum}},
    {"ZCD", {Plot::ZcdClick}},
}};

}  // namespace

SweepView::SweepView(QWidget* parent) : QWidget(parent) {
    tabs_ = new QTabWidget;
    tabs_->setObjectName("tabPlots");
    for (const TabPlots& tab : kTabs) {
        auto* page = new QWidget;
        auto* column = new QVBoxLayout(page);
        column->setContentsMargins(0, 0, 0, 0);
        for (Plot plot : tab.plots) {
            auto* view = new PlotView(makeChart(plot).release(),
                                      [this](const QPointF& p) { return hoverText(p); });
            view->setObjectName("plt" + plotFileStem(plot));
            views_[static_cast<std::size_t>(plot)] = view;
            column->addWidget(view);
        }
        tabs_->addTab(page, tab.name);
    }
    table_ = new QTableWidget(0, kColumns.size());
    table_->setObjectName("tblResults");
    table_->setHorizontalHeaderLabels(kColumns);
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Widths fixed once from the widest text a column holds: fitting them to the contents
    // would measure every cell at every refresh.
    const QFontMetrics metrics = table_->fontMetrics();
    const QStringList widest = {"255",    "-95.5",  "-120.000", "-120.000", "-0.000",
                                "-0.000", "-0.000", "-110.0",   "FAIL"};
    int total = 0;
    for (int c = 0; c < kColumns.size(); ++c) {
        const int width = std::max(metrics.horizontalAdvance(widest[c]),
                                   metrics.horizontalAdvance(kColumns[c]) + 16) +
                          12;
        table_->setColumnWidth(c, width);
        total += width;
    }
    table_->verticalHeader()->setDefaultSectionSize(metrics.height() + 4);
    table_->setMinimumWidth(total + table_->verticalScrollBar()->sizeHint().width() + 4);
    table_->setSortingEnabled(true);
    table_->sortByColumn(0, Qt::AscendingOrder);
    auto* copy = new QShortcut(QKeySequence::Copy, table_, nullptr, nullptr, Qt::WidgetShortcut);
    connect(copy, &QShortcut::activated, this, [this] { copyTable(); });

    auto* split = new QSplitter(Qt::Horizontal);
    split->addWidget(tabs_);
    split->addWidget(table_);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(split);
}

QChart& SweepView::chart(Plot plot) {
    return *views_[static_cast<std::size_t>(plot)]->chart();
}

Plot SweepView::currentPlot() const {
    const std::vector<Plot>& plots = kTabs[static_cast<std::size_t>(tabs_->currentIndex())].plots;
    return plots.front();
}

void SweepView::showResults(const PlotData& data) {
    shown_ = *data.rows;
    for (Plot plot : kPlots) {
        PlotView* view = views_[static_cast<std::size_t>(plot)];
        fillChart(*view->chart(), plot, data, !view->zoomed());
    }
    fillTable(*data.rows);
}

void SweepView::fillTable(const std::vector<SweepRow>& rows) {
    // Sorting while filling would move rows under the loop.
    table_->setSortingEnabled(false);
    table_->setRowCount(static_cast<int>(rows.size()));
    const QColor bad(255, 205, 205);
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const SweepRow& r = rows[static_cast<std::size_t>(i)];
        const std::array<QTableWidgetItem*, 9> cells = {
            new NumberItem(double(r.code), 0),
            new NumberItem(r.code > 0 ? std::optional(r.setDb) : std::nullopt, 1, "mute"),
            new NumberItem(r.gainDb[0], 3, r.floorLimited[0] ? "floor" : ""),
            new NumberItem(r.gainDb[1], 3, r.floorLimited[1] ? "floor" : ""),
            new NumberItem(r.errorDb[0], 3),
            new NumberItem(r.errorDb[1], 3),
            new NumberItem(r.stepDb, 3),
            new NumberItem(r.thdnDb, 1),
            new NumberItem(double(r.failed), 0, {})};
        cells[8]->setText(r.passes() ? "pass" : "FAIL");
        const std::array<std::pair<int, Check>, 5> marks = {{{4, Check::GainError},
                                                             {5, Check::GainError},
                                                             {6, Check::StepError},
                                                             {7, Check::Thdn},
                                                             {3, Check::Matching}}};
        for (const auto& [column, check] : marks) {
            if (r.fails(check)) {
                cells[static_cast<std::size_t>(column)]->setBackground(bad);
            }
        }
        if (!r.passes()) {
            cells[8]->setBackground(bad);
        }
        for (int c = 0; c < static_cast<int>(cells.size()); ++c) {
            table_->setItem(i, c, cells[static_cast<std::size_t>(c)]);
        }
    }
    table_->setSortingEnabled(true);
}

QString SweepView::tableText() const {
    QStringList lines = {kColumns.join('\t')};
    for (int row = 0; row < table_->rowCount(); ++row) {
        QStringList cells;
        for (int c = 0; c < table_->columnCount(); ++c) {
            const QTableWidgetItem* item = table_->item(row, c);
            cells << (item ? item->text() : QString());
        }
        lines << cells.join('\t');
    }
    return lines.join('\n') + '\n';
}

void SweepView::copyTable() const {
    QApplication::clipboard()->setText(tableText());
}

QString SweepView::hoverText(const QPointF& point) const {
    const int code = qRound(point.x());
    for (const SweepRow& r : shown_) {
        if (r.code == code) {
            return QString("code %1\nset %2 dB\nmeasured L %3 dB, R %4 dB\ny %5")
                .arg(code)
                .arg(r.setDb, 0, 'f', 1)
                .arg(r.gainDb[0] ? QString::number(*r.gainDb[0], 'f', 3) : "-")
                .arg(r.gainDb[1] ? QString::number(*r.gainDb[1], 'f', 3) : "-")
                .arg(point.y(), 0, 'f', 3);
        }
    }
    return QString("x %1, y %2").arg(point.x()).arg(point.y(), 0, 'f', 3);
}

}  // namespace selvar::measure
