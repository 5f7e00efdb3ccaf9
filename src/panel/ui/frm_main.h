// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "chiplink/mod_selvar_hw.h"
#include "panel/coupling.h"
#include "panel/ui/panel_link.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace selvar::platform {
class Slider;
}

namespace selvar::panel {

// The gain panel window, one instance per DUT. Its controls carry their own names as Qt
// objectNames; the widgets are the panel's state.
class frmMain : public QWidget {
    Q_OBJECT
  public:
    explicit frmMain(PanelLink& link, QWidget* parent = nullptr);
    ~frmMain() override;

    // The codes the Left and Right sliders hold now.
    chiplink::GainCodes gainCodes() const;

    // Quick-set commands, public so the entry window's reset can call them.
    void setMaxAtten();
    bool set0dB();  // false: refused by the gain limit, nothing moved

    // Why moving `slider` to `value` would send a channel a code above the gain limit, in the
    // operator's words ("DUT1 Left would be +10.0 dB, above the gain limit +6.0 dB"); empty
    // when the move keeps within it. Every gesture that moves a gain asks this first.

    // Writes the read-back code labels (lblRtCode, then lblLtCode).
    void showReadBackCodes(const std::string& rightCode, const std::string& leftCode);

    // Controls the entry window's reset works on.
    QCheckBox& chkMute();
    QCheckBox& chkZCD();
    QLineEdit& txtTop();
    QLineEdit& txtBottom();
    QComboBox& cmbStep();
    QComboBox& cmbDelay();

    // The operator's gestures, for remote control: each acts as the hand on the control does,
    // through the same handlers, so the chips see the same traffic.
    enum class GainSlider { Left, Right, Gang, Pan };
    std::string limitRefusal(GainSlider slider, int value) const;
    // Before the program's start-up only: lowers the window's initial Left and Right to
    // `highest` where they lie above it, sending nothing, so that the start-up's reset (whose
    // frames carry both panels' words) sends no code above a gain limit set from the start.
    void lowerInitialGains(int highest);
    enum class RampField { Top, Bottom, Step, Delay };
    enum class RampTarget { None, Left, Right, Gang };
    // setByCommand and press0dB throw control::GainLimitExceeded for a move the gain limit
    // refuses; nothing moves then. A remote set of the slider to `value`: the value is assigned,
    // which runs its Change (Left and Right send their frame there), then the projection its Scroll
    // runs; Scroll's own Change, a repeat of the frame just sent, is left out. All four sliders end
    // where the operator's drag to `value` leaves them. A value equal to the current one runs
    // nothing.
    void setByCommand(GainSlider slider, int value);
    int sliderValue(GainSlider slider) const;
    void pressMaxAtten();
    void press0dB();
    void pressQuery();
    void pressRamp(bool up);
    // Typing `text` into the field and leaving it: the field's Validate runs.
    void enterRampField(RampField field, const QString& text);
    QString rampFieldText(RampField field) const;
    void selectRampTarget(RampTarget target);  // None: nothing, as no option unselects
    RampTarget selectedRampTarget() const;
    // The code labels' texts: left, then right.
    std::pair<QString, QString> readBackCodeTexts() const;

  protected:
    void closeEvent(QCloseEvent* event) override;  // hides; a panel is never closed

  private:
    struct Controls;

    platform::Slider& sliderOf(GainSlider slider) const;

    // The gain limit's side of the gestures.
    LeftRight codesAfter(GainSlider slider, int value) const;
    std::string refusalOf(LeftRight codes) const;
    std::optional<std::pair<std::string, int>> overLimit(LeftRight codes) const;
    // Whether the codes go above the limit; if so, the status line says the gesture was refused.
    bool refused(LeftRight codes, const std::string& gesture);
    // Where an operator's drag of `slider` towards `proposed` may go: as far as the limit lets.
    int reachable(GainSlider slider, int proposed);
    GainSlider gainSliderOf(const platform::Slider& slider) const;

    void connectHandlers();

    // Gain Control: one handler per event; the labels render from their slider alone.
    void sldLt0_Scroll();
    void sldLt0_Change();
    void lblLt0_Change();
    void sldRt0_Scroll();
    void sldRt0_Change();
    void lblRt0_Change();
    void sldLvl0_Scroll();
    void sldLvl0_Change();
    void lblLvl0_Change();
    void sldSkw0_Scroll();
    void sldSkw0_Change();
    void lblSkw0_Change();

    // Coupling between Left/Right and Gang/Pan.
    void projectOntoGangPan();
    void projectOntoLeftRight(int mode);  // 1: Gang was moved, 0: Pan was moved
    void setLeftRightKeepGang(int left, int right);
    void setLeftRightKeepPan(int left, int right);
    void place(const Placement& placement);

    // Mode Control and Register Loopback.
    void chkZCD_Click();
    void chkMute_Click();
    void btnMaxAtten_Click();
    void btn0dB_Click();
    void btnQuery_Click();

    // Ramp fields: normalised in place when the focus leaves them.
    void cmbStep_Validate();
    void cmbDelay_Validate();
    void txtTop_Validate();
    void txtBottom_Validate();
    void validateStop(QLineEdit& box);

    // Ramp execution.
    void btnUp_Click();
    void btnDown_Click();
    void orderStops(QLineEdit& top, QLineEdit& bottom);
    platform::Slider* rampTarget() const;
    void rampUp(platform::Slider& slider, int stop, int step, int delay);
    void rampDown(platform::Slider& slider, int stop, int step, int delay);
    void runRamp(platform::Slider& slider, int stop, int step, int delay, bool up);
    void moveRamp(platform::Slider& slider, int value);

    class RampJob;
    friend class RampJob;

    PanelLink& link_;
    std::unique_ptr<Controls> c_;
};

}  // namespace selvar::panel
