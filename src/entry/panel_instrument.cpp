#include "entry/panel_instrument.h"

#include <QCheckBox>
#include <QEventLoop>
#include <QString>

#include "entry/frm_entry.h"
#include "entry/job_driver.h"
#include "entry/mod_glbl_data.h"
#include "entry/panels_link.h"
#include "panel/ui/frm_main.h"
#include "platform/toolkit/toolkit.h"

namespace selvar::entry {

namespace {

using Panel = panel::frmMain;

// The remote enums list the controls in the panel's own order.
static_assert(static_cast<int>(remote::Slider::Pan) == static_cast<int>(Panel::GainSlider::Pan));
static_assert(static_cast<int>(remote::RampField::Delay) ==
              static_cast<int>(Panel::RampField::Delay));
static_assert(static_cast<int>(remote::RampTarget::Gang) ==
              static_cast<int>(Panel::RampTarget::Gang));
static_assert(static_cast<int>(remote::Port::Lpt3) == static_cast<int>(chiplink::PortChoice::Lpt3));

Panel::GainSlider gainSlider(remote::Slider slider) {
    return static_cast<Panel::GainSlider>(slider);
}
Panel::RampField rampFieldOf(remote::RampField field) {
    return static_cast<Panel::RampField>(field);
}

// A code label shows "C0h", or "XXh" where no chip could be told.
int codeOf(const QString& label) {
    bool ok = false;
    const int code = label.chopped(1).toInt(&ok, 16);
    return label.endsWith(QLatin1Char('h')) && ok ? code : -1;
}

}  // namespace

PanelInstrument::PanelInstrument(frmEntry& entry, const modGlblData& glbl, const PanelsLink& link,
                                 JobDriver& jobs)
    : entry_(entry), glbl_(glbl), link_(link), jobs_(jobs) {}

Panel& PanelInstrument::panel(int dut) const {
    return dut == 2 ? glbl_.frmDUT2() : glbl_.frmDUT1();
}

void PanelInstrument::resetAll() {
    entry_.pressResetAll();
}

void PanelInstrument::selectPort(remote::Port port) {
    entry_.selectPort(static_cast<chiplink::PortChoice>(port));
}

remote::Port PanelInstrument::port() const {
    return static_cast<remote::Port>(entry_.selectedPort());
}

void PanelInstrument::selectTopology(remote::Topology topology) {
    entry_.selectTopology(topology == remote::Topology::Dual);
}

remote::Topology PanelInstrument::topology() const {
    return entry_.dualTopology() ? remote::Topology::Dual : remote::Topology::Single;
}

void PanelInstrument::moveSlider(int dut, remote::Slider slider, int value) {
    panel(dut).operatorMove(gainSlider(slider), value);
}

int PanelInstrument::sliderValue(int dut, remote::Slider slider) const {
    return panel(dut).sliderValue(gainSlider(slider));
}

void PanelInstrument::setMaxAtten(int dut) {
    panel(dut).pressMaxAtten();
}

void PanelInstrument::set0dB(int dut) {
    panel(dut).press0dB();
}

remote::ReadBackCodes PanelInstrument::interrogate(int dut) {
    Panel& p = panel(dut);
    p.pressQuery();
    const auto [left, right] = p.readBackCodeTexts();
    return {codeOf(left), codeOf(right)};
}

int PanelInstrument::chainLength() const {
    return link_.lastReadBack().chainLength;
}

// The lines are common to both boards; the operator works them from the DUT1 panel.
void PanelInstrument::setPin(remote::PinLine line, bool checked) {
    Panel& p = glbl_.frmDUT1();
    platform::setCheckValue(line == remote::PinLine::Mute ? p.chkMute() : p.chkZCD(),
                            checked ? 1 : 0);
}

bool PanelInstrument::pin(remote::PinLine line) const {
    Panel& p = glbl_.frmDUT1();
    return platform::checkValue(line == remote::PinLine::Mute ? p.chkMute() : p.chkZCD()) == 1;
}

void PanelInstrument::enterRampField(int dut, remote::RampField field, std::string_view text) {
    panel(dut).enterRampField(rampFieldOf(field),
                              QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

std::string PanelInstrument::rampField(int dut, remote::RampField field) const {
    return panel(dut).rampFieldText(rampFieldOf(field)).toStdString();
}

void PanelInstrument::selectRampTarget(int dut, remote::RampTarget target) {
    panel(dut).selectRampTarget(static_cast<Panel::RampTarget>(target));
}

remote::RampTarget PanelInstrument::rampTarget(int dut) const {
    return static_cast<remote::RampTarget>(panel(dut).selectedRampTarget());
}

void PanelInstrument::ramp(int dut, remote::RampDirection direction) {
    panel(dut).pressRamp(direction == remote::RampDirection::Up);
}

// Showing is the entry window's panel button; hiding is the panel's close box.
void PanelInstrument::showPanel(int dut, bool shown) {
    if (shown) {
        entry_.pressPanelButton(dut);
    } else {
        panel(dut).close();
    }
}

bool PanelInstrument::panelShown(int dut) const {
    return panel(dut).isVisible();
}

std::string PanelInstrument::version() const {
    return SELVAR_VERSION;
}

}  // namespace selvar::entry

namespace selvar::entry {

bool PanelInstrument::jobRunning() const {
    return jobs_.running();
}

void PanelInstrument::abortJob() {
    jobs_.stop();
}

void PanelInstrument::afterJob(std::function<void()> then) {
    if (!jobs_.running()) {
        then();
        return;
    }
    QObject::connect(&jobs_, &JobDriver::finished, &jobs_, std::move(then),
                     Qt::SingleShotConnection);
}

// The loop runs on meanwhile: painting, the other clients, the stop gestures.
void PanelInstrument::awaitJob() {
    if (!jobs_.running()) {
        return;
    }
    QEventLoop loop;
    QObject::connect(&jobs_, &JobDriver::finished, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace selvar::entry
