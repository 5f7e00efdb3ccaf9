// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/frm_bus.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>

#include "monitor/capture_file.h"
#include "monitor/frame_table_model.h"
#include "monitor/frame_texts.h"
#include "monitor/line_trace_view.h"
#include "platform/selected_port.h"

namespace selvar::monitor {

namespace {

constexpr int kRefreshMs = 34;  // at most thirty refreshes a second

QString askSavePath(QWidget& parent) {
    return QFileDialog::getSaveFileName(&parent, "Save Capture", "capture.vcd",
                                        "Waveform (*.vcd);;Table (*.csv)");
}

QString chipText(const char* name, std::uint16_t word) {
    return QString("%1:  %2   %3")
        .arg(name, QString::fromStdString(wordText(word)),
             QString::fromStdString(wordDecibels(word)));
}

}  // namespace

frmBus::frmBus(BusCapture& capture, const platform::BoardRegisters* board)
    : capture_(capture), board_(board), choosePath_(askSavePath) {
    setObjectName("frmBus");
    setWindowTitle("Orvane Selvar [Bus]");
    buildControls();
    timer_ = new QTimer(this);
    timer_->setInterval(kRefreshMs);
    connect(timer_, &QTimer::timeout, this, [this] { refresh(false); });
    capture_.addListener(*this);
}

frmBus::~frmBus() {
    capture_.removeListener(*this);
}

void frmBus::buildControls() {
    btnClear_ = new QPushButton("Clear", this);
    btnClear_->setObjectName("btnClear");
    chkPause_ = new QCheckBox("Pause", this);
    chkPause_->setObjectName("chkPause");
    btnSave_ = new QPushButton("Save…", this);
    btnSave_->setObjectName("btnSave");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnClear_);
    buttons->addWidget(chkPause_);
    buttons->addStretch();
    buttons->addWidget(btnSave_);

    model_ = new FrameTableModel(capture_, this);
    tblFrames_ = new QTableView(this);
    tblFrames_->setObjectName("tblFrames");
    tblFrames_->setModel(model_);
    tblFrames_->verticalHeader()->hide();
    tblFrames_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    tblFrames_->horizontalHeader()->setStretchLastSection(true);
    tblFrames_->setSelectionBehavior(QAbstractItemView::SelectRows);
    const int widths[] = {64, 88, 80, 64, 64};
    for (int column = 0; column < FrameTableModel::kChain; ++column) {
        tblFrames_->setColumnWidth(column, widths[column]);
    }

    auto* fraLines = new QGroupBox("Lines", this);
    fraLines->setObjectName("fraLines");
    lines_ = new LineTraceView(capture_, fraLines);
    (new QVBoxLayout(fraLines))->addWidget(lines_);

    fraChips_ = new QGroupBox("Chips", this);
    fraChips_->setObjectName("fraChips");
    lblDUT1Reg_ = new QLabel(fraChips_);
    lblDUT1Reg_->setObjectName("lblDUT1Reg");
    lblDUT2Reg_ = new QLabel(fraChips_);
    lblDUT2Reg_->setObjectName("lblDUT2Reg");
    auto* chips = new QVBoxLayout(fraChips_);
    chips->addWidget(lblDUT1Reg_);
    chips->addWidget(lblDUT2Reg_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(tblFrames_, 1);
    layout->addWidget(fraLines);
    layout->addWidget(fraChips_);
    resize(520, 640);
    // Beside the other windows rather than over them: the top right of the screen.
    const QRect screenArea = screen()->availableGeometry();
    move(screenArea.right() - width() - 16, screenArea.top() + 16);

    connect(btnClear_, &QPushButton::clicked, this, [this] { btnClear_Click(); });
    connect(chkPause_, &QCheckBox::toggled, this, [this] { chkPause_Click(); });
    connect(btnSave_, &QPushButton::clicked, this, [this] { btnSave_Click(); });
    showChips();
}

void frmBus::closeEvent(QCloseEvent* event) {
    event->ignore();
    hide();
}

void frmBus::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refresh(false);
    timer_->start();
}

void frmBus::hideEvent(QHideEvent* event) {
    timer_->stop();
    QWidget::hideEvent(event);
}

// Ramps run on the event loop now, so the view follows them on its own timer; painting from
// the access path as well would paint twice as often.
void frmBus::captureChanged() {}

// The view's tick: the capture decodes what passed since the last one. Inside a ramp no event
// is processed, so the views are laid out and painted here and now rather than scheduled; the
// event loop's timer does the same for everything else.
void frmBus::refresh(bool repaintNow) {
    if (!isVisible() || capture_.accesses() == seenAccesses_) {
        return;
    }
    seenAccesses_ = capture_.accesses();
    capture_.decodePending();
    QScrollBar* bar = tblFrames_->verticalScrollBar();
    const bool following = bar->value() >= bar->maximum();
    if (model_->sync(chkPause_->isChecked())) {
        tblFrames_->doItemsLayout();
        if (following) {
            tblFrames_->scrollToBottom();
        }
    }
    showChips();
    if (repaintNow) {
        tblFrames_->viewport()->repaint();
        bar->repaint();
        lines_->repaint();
        fraChips_->repaint();
    } else {
        lines_->update();
    }
}

// The simulated board shows what each chip latched when chip select last rose; a real board
// keeps its registers to itself.
void frmBus::showChips() {
    if (!board_) {
        lblDUT1Reg_->setText("A real board's registers are known only through a read-back.");
        lblDUT2Reg_->hide();
        return;
    }
    const int chips = board_->chips();
    lblDUT1Reg_->setText(chips >= 1 ? chipText("DUT1", board_->gainRegister(0))
                                    : QString("DUT1:  no chip on the simulated cable"));
    lblDUT2Reg_->setText(chips >= 2 ? chipText("DUT2", board_->gainRegister(1))
                                    : QString("DUT2:  no chip on the simulated cable"));
}

void frmBus::btnClear_Click() {
    capture_.clear();
    seenAccesses_ = ~std::uint64_t{0};
    refresh(false);
}

void frmBus::chkPause_Click() {
    seenAccesses_ = ~std::uint64_t{0};
    refresh(false);
}

void frmBus::btnSave_Click() {
    const QString path = choosePath_(*this);
    if (path.isEmpty()) {
        return;
    }
    std::string error;
    if (!saveCapture(capture_, path.toStdString(), error)) {
        std::fprintf(stderr, "selvar: %s\n", error.c_str());
        QMessageBox::warning(this, windowTitle(), QString::fromStdString(error));
    }
}

}  // namespace selvar::monitor
