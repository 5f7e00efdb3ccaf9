// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The controls of one gain panel, owned by the window (Qt parent-child); the panel keeps
// plain pointers to reach them by name.

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <array>

#include "panel/ui/frm_main.h"
#include "platform/toolkit/toolkit.h"

namespace selvar::panel {

struct frmMain::Controls {
    QGroupBox* frmGainCtrl = nullptr;
    QLabel* lblLt0St = nullptr;
    QLabel* lblRt0St = nullptr;
    QLabel* lblLvl0St = nullptr;
    QLabel* lblSkw0St = nullptr;
    platform::Slider* sldLt0 = nullptr;
    platform::Slider* sldRt0 = nullptr;
    platform::Slider* sldLvl0 = nullptr;
    platform::Slider* sldSkw0 = nullptr;
    QLabel* Label1 = nullptr;
    QRadioButton* optLt0 = nullptr;
    QRadioButton* optRt0 = nullptr;
    QRadioButton* optLvl0 = nullptr;
    QLabel* lblLt0 = nullptr;
    QLabel* lblRt0 = nullptr;
    QLabel* lblLvl0 = nullptr;
    QLabel* lblSkw0 = nullptr;
    std::array<QLabel*, 7> lblDb{};  // lblDb0..lblDb6

    QGroupBox* fraModalCtrl = nullptr;
    platform::CheckBox* chkZCD = nullptr;
    platform::CheckBox* chkMute = nullptr;
    QPushButton* btnMaxAtten = nullptr;
    QPushButton* btn0dB = nullptr;

    QGroupBox* fraLoopback = nullptr;
    QLabel* lblLtCodeSt = nullptr;
    QLabel* lblLtCode = nullptr;
    QLabel* lblRtCodeSt = nullptr;
    QLabel* lblRtCode = nullptr;
    QPushButton* btnQuery = nullptr;

    QGroupBox* fraRamp = nullptr;
    QLabel* lblTop = nullptr;
    QLineEdit* txtTop = nullptr;
    QLabel* lblBottom = nullptr;
    QLineEdit* txtBottom = nullptr;
    QLabel* lblStep = nullptr;
    QComboBox* cmbStep = nullptr;
    QLabel* lblDelay = nullptr;
    QComboBox* cmbDelay = nullptr;
    QPushButton* btnUp = nullptr;
    QPushButton* btnDown = nullptr;

    // Creates every control of the panel inside window, with its designer values, and lays
    // them out in the window's client area.
    explicit Controls(QWidget& window);

  private:
    // Each frame's controls, made and laid out inside it; then the frames in the window.
    void buildGainControl(QWidget& window);
    void layOutGainControl(QWidget& window);
    void buildModeControl(QWidget& window);
    void buildLoopback(QWidget& window);
    void buildRamp(QWidget& window);
    void layOutClient(QWidget& window);
};

}  // namespace selvar::panel
