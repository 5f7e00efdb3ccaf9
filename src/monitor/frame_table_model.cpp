// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/frame_table_model.h"

#include <algorithm>

#include "monitor/bus_capture.h"
#include "monitor/frame_texts.h"

namespace selvar::monitor {

namespace {

const char* const kHeaders[FrameTableModel::kColumns] = {"#",    "Time (ms)", "Kind",
                                                         "DUT2", "DUT1",      "Chain"};

}  // namespace

FrameTableModel::FrameTableModel(const BusCapture& capture, QObject* parent)
    : QAbstractTableModel(parent), capture_(capture) {
    sync(false);
}

int FrameTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(end_ - first_);
}

int FrameTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant FrameTableModel::data(const QModelIndex& index, int role) const {
    const std::uint64_t n = first_ + static_cast<std::uint64_t>(index.row());
    if (!index.isValid() || n >= end_ || n < capture_.first()) {
        return {};
    }
    if (role == Qt::ToolTipRole) {
        return QString::fromStdString(frameDecibels(capture_.frame(n)));
    }
    if (role == Qt::TextAlignmentRole) {
        return index.column() == kKind ? QVariant() : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    const FrameRow row = frameRow(capture_, n);
    const std::string* const cells[kColumns] = {&row.number, &row.time, &row.kind,
                                                &row.dut2,   &row.dut1, &row.chain};
    return QString::fromStdString(*cells[index.column()]);
}

QVariant FrameTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kColumns) {
        return {};
    }
    return QString(kHeaders[section]);
}

bool FrameTableModel::sync(bool hold) {
    bool changed = false;
    // Rows whose frames the ring has dropped (or a Clear forgot) go first.
    const std::uint64_t keptFirst = std::min(capture_.first(), end_);
    if (keptFirst > first_) {
        beginRemoveRows({}, 0, static_cast<int>(keptFirst - first_) - 1);
        first_ = keptFirst;
        endRemoveRows();
        changed = true;
    }
    if (first_ == end_ && capture_.first() > first_) {
        first_ = end_ = capture_.first();  // empty: start again at the oldest kept frame
    }
    if (!hold && capture_.end() > end_) {
        beginInsertRows({}, rowCount(), static_cast<int>(capture_.end() - first_) - 1);
        end_ = capture_.end();
        endInsertRows();
        changed = true;
    }
    return changed;
}

}  // namespace selvar::monitor
