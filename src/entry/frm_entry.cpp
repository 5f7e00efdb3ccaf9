#include "entry/frm_entry.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include "entry/mod_glbl_data.h"
#include "entry/placement.h"
#include "panel/ui/frm_main.h"
#include "platform/toolkit/toolkit.h"

namespace selvar::entry {

namespace {

// Client area in twips.
constexpr int kClientWidth = 4155;
constexpr int kClientHeight = 2415;

struct TwipsRect {
    int left, top, width, height;
};

}  // namespace

frmEntry::frmEntry(modGlblData& glbl) : glbl_(glbl), dpi_(screen()->logicalDotsPerInch()) {
    setObjectName("frmEntry");
    buildControls();
    connectHandlers();
    Form_Initialize();
}

frmEntry::~frmEntry() = default;

int frmEntry::pixels(int twips) const {
    return platform::twipsToPixels(twips, dpi_);
}

void frmEntry::buildControls() {
    setFixedSize(pixels(kClientWidth), pixels(kClientHeight));

    // Positions inside a frame are relative to the frame, as a group box places its children.
    const auto place = [this](QWidget* w, const char* name, const char* tooltip, TwipsRect r) {
        w->setObjectName(name);
        if (tooltip) {
            w->setToolTip(tooltip);
        }
        w->setGeometry(pixels(r.left), pixels(r.top), pixels(r.width), pixels(r.height));
    };

    fraPCItfc_ = new QGroupBox("PC Interface Port", this);
    place(fraPCItfc_, "fraPCItfc", nullptr, {30, 90, 2565, 1215});
    opt378h_ = new QRadioButton("Port 378h:  LPT1", fraPCItfc_);
    place(opt378h_, "opt378h", nullptr, {120, 240, 2295, 255});
    opt278h_ = new QRadioButton("Port 278h:  LPT2", fraPCItfc_);
    place(opt278h_, "opt278h", nullptr, {120, 540, 2295, 255});
    opt3BCh_ = new QRadioButton("Port 3BCh:  LPT3", fraPCItfc_);
    place(opt3BCh_, "opt3BCh", nullptr, {120, 840, 2295, 255});

    fraCBus_ = new QGroupBox("Selvar Control Bus", this);
    place(fraCBus_, "fraCBus", "Select daisy-chain configuration", {30, 1410, 2565, 945});
    opt1DUT_ = new QRadioButton("Single DUT", fraCBus_);
    place(opt1DUT_, "opt1DUT", "One demo board, no ribbon cable", {120, 240, 2295, 255});
    opt2DUT_ = new QRadioButton("Dual DUT (Daisy-Chain)", fraCBus_);
    place(opt2DUT_, "opt2DUT", "Two demo boards, one ribbon cable", {120, 540, 2295, 255});

    btnResetAll_ = new QPushButton("Reset All", this);
    place(btnResetAll_, "btnResetAll", "Reset: initial state", {2730, 930, 1395, 375});
    btnDUT1_ = new QPushButton("DUT1 Panel", this);
    place(btnDUT1_, "btnDUT1", "Show: PC-side DUT", {2730, 1530, 1395, 375});
    btnDUT2_ = new QPushButton("DUT2 Panel", this);
    place(btnDUT2_, "btnDUT2", "Show: far-side DUT", {2730, 1980, 1395, 375});

    // The frames take no focus; the rest follow their tab indices.
    QWidget::setTabOrder(opt1DUT_, opt2DUT_);
    QWidget::setTabOrder(opt2DUT_, opt378h_);
    QWidget::setTabOrder(opt378h_, opt278h_);
    QWidget::setTabOrder(opt278h_, opt3BCh_);
    QWidget::setTabOrder(opt3BCh_, btnDUT1_);
    QWidget::setTabOrder(btnDUT1_, btnDUT2_);
    QWidget::setTabOrder(btnDUT2_, btnResetAll_);
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
}

void frmEntry::placeWindow(QWidget& window, long long leftTwips, long long topTwips) const {
    // move() places the window's outer top-left corner, frame included, as Left and Top do.
    window.move(pixels(static_cast<int>(leftTwips)), pixels(static_cast<int>(topTwips)));
}

// Outer sizes are read from frameGeometry(). Before a window is first shown the window system
// has not told Qt its frame, so at start-up they are the client sizes: under a window manager
// the panels land one frame width closer than a framed measure would put them; without one
// (offscreen, bare Xvfb) there is no frame and the figures are exact.
void frmEntry::Form_Initialize() {
    glbl_.portGlobals().buildBitMasks();
    setWindowTitle("Orvane Selvar [Main]");

    const QSize screenSize = screen()->size();
    const WindowPosition entry =
        placeEntry(twipsOf(screenSize.width(), dpi_), twipsOf(screenSize.height(), dpi_));
    placeWindow(*this, entry.left, entry.top);

    panel::frmMain& dut1 = glbl_.frmDUT1();
    dut1.setWindowTitle("Orvane Selvar [DUT1]");
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

void frmEntry::choosePort(chiplink::PortChoice choice) {
    glbl_.hw().choosePort(choice);
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
}

void frmEntry::opt2DUT_Click() {
    btnDUT2_->setEnabled(true);
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

void frmEntry::btnResetAll_Click() {
    resetPanels();
}

// Single topology, both panels to their initial state (the far panel first) and both chips to
// maximum attenuation, then two read-backs. The selected port is left as it is.
void frmEntry::resetPanels() {
    opt1DUT_->setChecked(true);
    resetPanel(glbl_.frmDUT2());
    resetPanel(glbl_.frmDUT1());
    glbl_.readBackGainRegisters();
    glbl_.readBackGainRegisters();
}

void frmEntry::resetPanel(panel::frmMain& p) {
    // Mute brackets the gain change, so the attenuation lands while the outputs are muted
    // (unless the operator had muted already, in which case the box's handler does not run).
    platform::setCheckValue(p.chkMute(), 1);
    p.txtTop().setText("0");
    p.txtBottom().setText("-30");
    p.cmbStep().setEditText("0.5");
    p.cmbDelay().setEditText("5");
    // Checked, then unchecked: whatever the box held, its handler runs with the unchecked state
    // and leaves the ZCD line low.
    platform::setCheckValue(p.chkZCD(), 1);
    platform::setCheckValue(p.chkZCD(), 0);
    p.setMaxAtten();
    platform::setCheckValue(p.chkMute(), 0);
}

}  // namespace selvar::entry
