// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>

#include "monitor/bus_capture.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QTableView;
class QTimer;

namespace selvar::platform {
class BoardRegisters;
}

namespace selvar::monitor {

class FrameTableModel;
class LineTraceView;

// The bus monitor window: the frames the capture decoded, the lines and, on the simulated
// board, the chips' registers. A view: it reads the capture and the board and sends the
// capture commands. It keeps up while the event loop runs (a timer) and also while a handler
// holds it (a ramp): the capture's news then repaints it on the spot, at most thirty times a
// second. Closing it only hides it.
class frmBus : public QWidget, private CaptureListener {
    Q_OBJECT
  public:
    // Asks the operator where to save; an empty result saves nothing.
    using SavePathChooser = std::function<QString(QWidget& parent)>;

    // board: the chips' registers where the board shows them (the simulation), else null.
    frmBus(BusCapture& capture, const platform::BoardRegisters* board);
    ~frmBus() override;

    void setSavePathChooser(SavePathChooser chooser) { choosePath_ = std::move(chooser); }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void buildControls();
    void captureChanged() override;
    // Brings the views up to the capture; repaintNow paints before returning.
    void refresh(bool repaintNow);
    void showChips();
    void btnClear_Click();
    void chkPause_Click();
    void btnSave_Click();

    BusCapture& capture_;
    const platform::BoardRegisters* board_;
    SavePathChooser choosePath_;
    FrameTableModel* model_ = nullptr;
    QTableView* tblFrames_ = nullptr;
    LineTraceView* lines_ = nullptr;
    QGroupBox* fraChips_ = nullptr;
    QLabel* lblDUT1Reg_ = nullptr;
    QLabel* lblDUT2Reg_ = nullptr;
    QPushButton* btnClear_ = nullptr;
    QCheckBox* chkPause_ = nullptr;
    QPushButton* btnSave_ = nullptr;
    QTimer* timer_ = nullptr;
    std::uint64_t seenAccesses_ = ~std::uint64_t{0};
};

}  // namespace selvar::monitor
