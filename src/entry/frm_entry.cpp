// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/frm_entry.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <algorithm>
#include <array>

#include "chiplink/mod_selvar_hw.h"
#include "control/instrument.h"
#include "entry/mod_glbl_data.h"
#include "entry/panels_link.h"
#include "entry/placement.h"
#include "entry/screen_fit.h"
#include "entry/status_line.h"
#include "gain/mod_pub_share.h"
#include "panel/ui/frm_main.h"
#include "platform/toolkit/toolkit.h"
#include "ramp/field_validation.h"

namespace selvar::entry {

namespace {

// Client area in twips: the specified 4155 by 2415, grown at the bottom by the row of further
// buttons and the status line, so that no control above them moves.
constexpr int kClientWidth = 4155;
constexpr int kClientHeight = 3795;
// The layout in twips was drawn for an 8-point font; larger, the captions would not fit.
constexpr int kFontPoints = 8;

std::string limitText(std::optional<int> code) {
    return code ? modPubShare::signedChannelDb(*code) + " dB" : std::string();
}

}  // namespace

frmEntry::frmEntry(modGlblData& glbl, chiplink::modSelvarHw& hw, PanelsLink& link,
                   std::function<QWidget&()> busMonitor)
    : glbl_(glbl),
      hw_(hw),
      link_(link),
      busMonitor_(std::move(busMonitor)),
      dpi_(screen()->logicalDotsPerInch()) {
    setObjectName("frmEntry");
    buildControls();
    connectHandlers();
    link_.onReadBack([this] { showStatus(); });
    link_.onLimitNews([this] { showStatus(); });
    Form_Initialize();
}

frmEntry::~frmEntry() {
    link_.onReadBack({});
    link_.onLimitNews({});
}

int frmEntry::pixels(int twips) const {
    return platform::twipsToPixels(twips, dpi_);
}

// Positions inside a frame are relative to the frame, as a group box places its children.
template <class Control>
Control* frmEntry::addControl(QWidget* parent, const char* caption, const char* name,
                              const char* tooltip, TwipsRect r) {
    auto* control = new Control(caption, parent);
    control->setObjectName(name);
    control->setToolTip(tooltip);
    // A caption wider than its box in this font gets the few pixels it needs rather than
    // being cut off; the frames leave room for that.
    const int width = std::max(pixels(r.width), control->sizeHint().width());
    control->setGeometry(pixels(r.left), pixels(r.top), width, pixels(r.height));
    return control;
}

void frmEntry::buildControls() {
    setFixedSize(pixels(kClientWidth), pixels(kClientHeight));
    QFont small = font();
    small.setPointSize(kFontPoints);
    setFont(small);

    fraPCItfc_ =
        addControl<QGroupBox>(this, "PC Interface Port", "fraPCItfc", "", {30, 90, 2565, 1215});
    opt378h_ = addControl<QRadioButton>(fraPCItfc_, "Port 378h:  LPT1", "opt378h", "",
                                        {120, 240, 2295, 255});
    opt278h_ = addControl<QRadioButton>(fraPCItfc_, "Port 278h:  LPT2", "opt278h", "",
                                        {120, 540, 2295, 255});
    opt3BCh_ = addControl<QRadioButton>(fraPCItfc_, "Port 3BCh:  LPT3", "opt3BCh", "",
                                        {120, 840, 2295, 255});
    fraCBus_ = addControl<QGroupBox>(this, "Selvar Control Bus", "fraCBus",
                                     "Select daisy-chain configuration", {30, 1410, 2565, 945});
    opt1DUT_ = addControl<QRadioButton>(fraCBus_, "Single DUT", "opt1DUT",
                                        "One demo board, no ribbon cable", {120, 240, 2295, 255});
    opt2DUT_ = addControl<QRadioButton>(fraCBus_, "Dual DUT (Daisy-Chain)", "opt2DUT",
                                        "Two demo boards, one ribbon cable", {120, 540, 2295, 255});
    btnResetAll_ = addControl<QPushButton>(this, "Reset All", "btnResetAll", "Reset: initial state",
                                           {2730, 930, 1395, 375});
    btnDUT1_ = addControl<QPushButton>(this, "DUT1 Panel", "btnDUT1", "Show: PC-side DUT",
                                       {2730, 1530, 1395, 375});
    btnDUT2_ = addControl<QPushButton>(this, "DUT2 Panel", "btnDUT2", "Show: far-side DUT",
                                       {2730, 1980, 1395, 375});
    // The monitor's button takes the free top of the button column, level with the port frame,
    // so the other controls keep their places and the window its size.
    btnBus_ = addControl<QPushButton>(this, "Bus Monitor", "btnBus", "Show: bus monitor",
                                      {2730, 90, 1395, 375});
    btnMeasure_ = addControl<QPushButton>(this, "Measure", "btnMeasure", "Show: measurement window",
                                          kButtonRow[0]);
    btnMeasure_->setEnabled(false);
    btnSaveSetup_ =
        addControl<QPushButton>(this, "Save Setup...", "btnSaveSetup",
                                "Save: port, boards, gains, lines, ramps", kButtonRow[1]);
    btnLoadSetup_ = addControl<QPushButton>(this, "Load Setup...", "btnLoadSetup",
                                            "Load: a saved setup", kButtonRow[2]);
    static_assert(kButtonRow[0].top >= 1980 + 375 && kStatusLine.top >= kButtonRow[0].top + 375 &&
                      kStatusLine.top + kStatusLine.height < kClientHeight,
                  "the row and the status line lie below the specified controls, in the window");
    lblStatus_ = addControl<QLabel>(this, "", "lblStatus", "", kStatusLine);
    lblStatus_->setWordWrap(true);
    lblStatus_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblStatus_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    buildJobControls();

    // The frames take no focus; the rest follow their tab indices.
    const std::array<QWidget*, 12> tabOrder = {opt1DUT_, opt2DUT_,    opt378h_,      opt278h_,
                                               opt3BCh_, btnDUT1_,    btnDUT2_,      btnResetAll_,
                                               btnBus_,  btnMeasure_, btnSaveSetup_, btnLoadSetup_};
    for (std::size_t i = 1; i < tabOrder.size(); ++i) {
        QWidget::setTabOrder(tabOrder[i - 1], tabOrder[i]);
    }
}

// The stop button sits at the right end of the status line's last row, shown only while a job
// runs; the status line then leaves it room.
void frmEntry::buildJobControls() {
    btnStop_ = addControl<QPushButton>(this, "Stop", "btnStop", "Stop the running job (Esc)",
                                       {kStatusLine.left + kStatusLine.width - 705,
                                        kStatusLine.top + kStatusLine.height - 375, 705, 375});
    btnStop_->move(pixels(kStatusLine.left + kStatusLine.width) - btnStop_->width(), btnStop_->y());
    btnStop_->hide();
}

void frmEntry::showJob(const QString& description) {
    setJobText(description);
    btnStop_->setVisible(!description.isEmpty());
    const int full = pixels(kStatusLine.width);
    lblStatus_->resize(description.isEmpty() ? full : btnStop_->x() - lblStatus_->x() - pixels(60),
                       lblStatus_->height());
}

void frmEntry::connectHandlers() {
    platform::onClick(*opt378h_, [this] { opt378h_Click(); });
    platform::onClick(*opt278h_, [this] { opt278h_Click(); });
    platform::onClick(*opt3BCh_, [this] { opt3BCh_Click(); });
    platform::onClick(*opt1DUT_, [this] { opt1DUT_Click(); });
    platform::onClick(*opt2DUT_, [this] { opt2DUT_Click(); });
    platform::onClick(*btnResetAll_, [this] { btnResetAll_Click(); });
    platform::onClick(*btnDUT1_, [this] { btnDUT1_Click(); });
    platform::onClick(*btnDUT2_, [this] { btnDUT2_Click(); });
    platform::onClick(*btnBus_, [this] { btnBus_Click(); });
    platform::onClick(*btnMeasure_, [this] { btnMeasure_Click(); });
    platform::onClick(*btnSaveSetup_, [this] { btnSaveSetup_Click(); });
    platform::onClick(*btnLoadSetup_, [this] { btnLoadSetup_Click(); });
}

void frmEntry::placeWindow(QWidget& window, long long leftTwips, long long topTwips) const {
    // move() places the window's outer top-left corner, frame included, as Left and Top do.
    // A window that would reach past the available screen area (a small screen, a large
    // scale factor) is moved inside it.
    const QPoint wanted(pixels(static_cast<int>(leftTwips)), pixels(static_cast<int>(topTwips)));
    window.move(keepOnScreen(screen()->availableGeometry(), wanted, window.frameGeometry().size()));
}

// Outer sizes come from frameGeometry() of the windows created (winId()) but not yet shown.
// Platforms that decide the frame themselves know it then (offscreen: 2 px a side); under X11
// the window manager tells it only once the window is mapped, so there the panels land one
// frame width closer than the outer size would put them; bare Xvfb has no frame at all.
void frmEntry::Form_Initialize() {
    glbl_.buildBitMasks();
    setWindowTitle("Orvane Selvar [Main]");

    const QSize screenSize = screen()->size();
    const WindowPosition entry =
        placeEntry(twipsOf(screenSize.width(), dpi_), twipsOf(screenSize.height(), dpi_));
    placeWindow(*this, entry.left, entry.top);

    panel::frmMain& dut1 = glbl_.frmDUT1();
    dut1.setWindowTitle("Orvane Selvar [DUT1]");
    winId();
    dut1.winId();
    const PanelPositions panels = placePanels(entry, twipsOf(frameGeometry().width(), dpi_),
                                              twipsOf(dut1.frameGeometry().height(), dpi_));
    placeWindow(dut1, panels.dut1.left, panels.dut1.top);

    panel::frmMain& dut2 = glbl_.frmDUT2();
    dut2.setWindowTitle("Orvane Selvar [DUT2]");
    placeWindow(dut2, panels.dut2.left, panels.dut2.top);

    // MUTE and ZCD are common to both boards: the operator works them from the DUT1 panel.
    dut2.chkZCD().setEnabled(false);
    dut2.chkMute().setEnabled(false);

    opt378h_->setChecked(true);
}

void frmEntry::closeEvent(QCloseEvent* event) {
    // Ends the program at once; quit() would first ask every shown panel to close.
    event->accept();
    QCoreApplication::exit(0);
}

void frmEntry::selectPort(chiplink::PortChoice choice) {
    const std::array<QRadioButton*, 3> options = {opt378h_, opt278h_, opt3BCh_};
    options.at(static_cast<std::size_t>(choice))->setChecked(true);
}

chiplink::PortChoice frmEntry::selectedPort() const {
    return opt278h_->isChecked()   ? chiplink::PortChoice::Lpt2
           : opt3BCh_->isChecked() ? chiplink::PortChoice::Lpt3
                                   : chiplink::PortChoice::Lpt1;
}

void frmEntry::selectTopology(bool dual) {
    (dual ? opt2DUT_ : opt1DUT_)->setChecked(true);
}

bool frmEntry::dualTopology() const {
    return opt2DUT_->isChecked();
}

void frmEntry::pressPanelButton(int dut) {
    if (dut == 2) {
        btnDUT2_Click();
    } else {
        btnDUT1_Click();
    }
}

void frmEntry::pressResetAll() {
    btnResetAll_Click();
}

void frmEntry::choosePort(chiplink::PortChoice choice) {
    hw_.choosePort(choice);
    resetPanels();
}

void frmEntry::opt378h_Click() {
    choosePort(chiplink::PortChoice::Lpt1);
}

void frmEntry::opt278h_Click() {
    choosePort(chiplink::PortChoice::Lpt2);
}

void frmEntry::opt3BCh_Click() {
    choosePort(chiplink::PortChoice::Lpt3);
}

void frmEntry::opt1DUT_Click() {
    btnDUT2_->setEnabled(false);
    glbl_.frmDUT2().hide();
    showStatus();
}

void frmEntry::opt2DUT_Click() {
    btnDUT2_->setEnabled(true);
    showStatus();
}

void frmEntry::setJobText(const QString& text) {
    jobText_ = text;
    showStatus();
}

void frmEntry::showStatus() {
    const platform::SelectedPort& port = link_.port();
    const StatusText status = statusText({.lpt = port.lpt(),
                                          .opened = port.present(),
                                          .port = port.description(),
                                          .failure = port.failure(),
                                          .chainLength = link_.lastReadBack().chainLength,
                                          .dual = opt2DUT_->isChecked(),
                                          .job = jobText_.toStdString(),
                                          .gainLimit = limitText(link_.gainLimit()),
                                          .limitNews = link_.limitNews()});
    lblStatus_->setText(QString::fromStdString(status.text));
    // In red, a warning is seen at a glance.
    lblStatus_->setStyleSheet(status.warning ? QStringLiteral("color: #b00000;") : QString());
}

// A panel is a top-level window of its own, modeless, so the entry window stays usable.
void frmEntry::btnDUT1_Click() {
    panel::frmMain& p = glbl_.frmDUT1();
    p.show();
    p.raise();
}

void frmEntry::btnDUT2_Click() {
    panel::frmMain& p = glbl_.frmDUT2();
    p.show();
    p.raise();
}

void frmEntry::btnBus_Click() {
    QWidget& monitor = busMonitor_();
    monitor.show();
    monitor.raise();
}

void frmEntry::attachMeasureWindow(std::function<QWidget*(std::string& error)> measure) {
    measure_ = std::move(measure);
    btnMeasure_->setEnabled(static_cast<bool>(measure_));
}

void frmEntry::pressMeasureButton() {
    if (btnMeasure_->isEnabled()) {
        btnMeasure_Click();
    }
}

void frmEntry::btnMeasure_Click() {
    std::string error;
    QWidget* window = measure_(error);
    if (window == nullptr) {
        QMessageBox::warning(this, windowTitle(),
                             QStringLiteral("The measurement window cannot open:\n%1")
                                 .arg(QString::fromStdString(error)));
        return;
    }
    window->show();
    window->raise();
}

namespace {

const QString kSetupFilter = QStringLiteral("Setups (*.json);;All files (*)");

}  // namespace

void frmEntry::btnSaveSetup_Click() {
    QFileDialog dialog(this, QStringLiteral("Save Setup"), setupFolder_, kSetupFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("json"));
    if (!instrument_ || dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const QString path = dialog.selectedFiles().constFirst();
    setupFolder_ = QFileInfo(path).absolutePath();
    const control::SetupFileResult result =
        instrument_->saveSetup(QFile::encodeName(path).toStdString());
    if (result.status != control::SetupFileResult::Status::Done) {
        reportSetupFailure(QStringLiteral("saved to"), path, result.reason);
    }
}

void frmEntry::btnLoadSetup_Click() {
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Load Setup"),
                                                      setupFolder_, kSetupFilter);
    if (!instrument_ || path.isEmpty()) {
        return;
    }
    setupFolder_ = QFileInfo(path).absolutePath();
    const control::SetupFileResult result =
        instrument_->loadSetup(QFile::encodeName(path).toStdString());
    if (result.status != control::SetupFileResult::Status::Done) {
        reportSetupFailure(QStringLiteral("loaded from"), path, result.reason);
    }
}

void frmEntry::reportSetupFailure(const QString& action, const QString& path,
                                  const std::string& reason) {
    QMessageBox::warning(
        this, windowTitle(),
        QStringLiteral("The setup was not %1 %2:\n%3")
            .arg(action, QDir::toNativeSeparators(path), QString::fromStdString(reason)));
}

void frmEntry::btnResetAll_Click() {
    resetPanels();
}

// Single topology, both panels to their initial state (the far panel first) and both chips to
// maximum attenuation, then two read-backs. The selected port is left as it is. Mute is
// released only once both panels' attenuation has gone out: releasing it after the first
// panel would let the other chip play at its old gain, up to +31.5 dB, until its own
// attenuation arrived.
void frmEntry::resetPanels() {
    opt1DUT_->setChecked(true);
    resetPanelUnderMute(glbl_.frmDUT2());
    resetPanelUnderMute(glbl_.frmDUT1());
    platform::setCheckValue(glbl_.frmDUT2().chkMute(), 0);
    platform::setCheckValue(glbl_.frmDUT1().chkMute(), 0);
    link_.readBackGainRegisters();
    link_.readBackGainRegisters();
}

// Everything of a panel's reset but the release of mute.
void frmEntry::resetPanelUnderMute(panel::frmMain& p) {
    // Mute goes on before the gain changes (unless the operator had muted already, in which
    // case the box's handler does not run).
    platform::setCheckValue(p.chkMute(), 1);
    p.txtTop().setText(ramp::kTopDefault);
    p.txtBottom().setText(ramp::kBottomDefault);
    p.cmbStep().setEditText(ramp::kStepDefault);
    p.cmbDelay().setEditText(ramp::kDelayDefault);
    // Checked, then unchecked: whatever the box held, its handler runs with the unchecked state
    // and leaves the ZCD line low.
    platform::setCheckValue(p.chkZCD(), 1);
    platform::setCheckValue(p.chkZCD(), 0);
    p.setMaxAtten();
}

}  // namespace selvar::entry
