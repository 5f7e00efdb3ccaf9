#pragma once

#include <QWidget>
#include <memory>
#include <string>

#include "chiplink/mod_selvar_hw.h"
#include "panel/ui/panel_link.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

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
    void set0dB();

    // Writes the read-back code labels (lblRtCode, then lblLtCode).
    void showReadBackCodes(const std::string& rightCode, const std::string& leftCode);

    // Controls the entry window's reset works on.
    QCheckBox& chkMute();
    QCheckBox& chkZCD();
    QLineEdit& txtTop();
    QLineEdit& txtBottom();
    QComboBox& cmbStep();
    QComboBox& cmbDelay();

  protected:
    void closeEvent(QCloseEvent* event) override;  // hides; a panel is never closed

  private:
    struct Controls;
    PanelLink& link_;
    std::unique_ptr<Controls> c_;
};

}  // namespace selvar::panel
