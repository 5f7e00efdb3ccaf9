// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractTableModel>
#include <cstdint>

namespace selvar::monitor {

class BusCapture;

// The frame table's rows: a window onto the capture's ring, never a copy of it. sync() brings
// the rows up to the capture (old frames dropped at the top, new ones added at the bottom);
// while held, no rows are added.
class FrameTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { kNumber, kTime, kKind, kDut2, kDut1, kChain, kColumns };

    explicit FrameTableModel(const BusCapture& capture, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Returns whether rows changed.
    bool sync(bool hold);

  private:
    const BusCapture& capture_;
    std::uint64_t first_ = 0;  // the capture's frame number of row 0
    std::uint64_t end_ = 0;
};

}  // namespace selvar::monitor
