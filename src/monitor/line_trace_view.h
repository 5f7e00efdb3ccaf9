// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

namespace selvar::monitor {

class BusCapture;

// The six lines: each one's name and level now, then its trace over the capture's recent
// history, newest at the right. Paints straight from the capture.
class LineTraceView : public QWidget {
    Q_OBJECT
  public:
    explicit LineTraceView(const BusCapture& capture, QWidget* parent = nullptr);
    QSize sizeHint() const override;

    // "CS 1", "CLK 0", ..., "MUTE released": the lines' names and levels now, top to bottom.
    QStringList levelTexts() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    const BusCapture& capture_;
};

}  // namespace selvar::monitor
