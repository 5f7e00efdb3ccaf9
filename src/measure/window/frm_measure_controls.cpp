// SPDX-License-Identifier: GPL-3.0-or-later
// The window's left column: set-up, run, limits and export, each a group of its own.
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include "measure/window/frm_measure.h"

namespace selvar::measure {
namespace {

template <class Control>
Control* named(Control* control, const char* name, const char* tooltip = nullptr) {
    control->setObjectName(name);
    if (tooltip) {
        control->setToolTip(tooltip);
    }
    return control;
}

QPushButton* button(const char* caption, const char* name, const char* tooltip) {
    return named(new QPushButton(caption), name, tooltip);
}

QProgressBar* meter(const char* name) {
    auto* bar = named(new QProgressBar, name);
    bar->setRange(-120, 0);
    bar->setValue(-120);
    bar->setFormat("%v dBFS");
    return bar;
}

}  // namespace

QWidget* frmMeasure::buildSetup() {
    auto* group = new QGroupBox("Set-up");
    auto* form = new QFormLayout(group);
    cmbOutput_ = named(new QComboBox, "cmbOutput", "The sound card output feeding the board");
    cmbInput_ = named(new QComboBox, "cmbInput", "The sound card input the board feeds");
    cmbRate_ = named(new QComboBox, "cmbRate", "Sample rate");
    // The procedures' stimuli and analysis are made for the rate the sound card layer opens
    // both streams at.
    cmbRate_->addItem("48000");
    for (bool outputs : {true, false}) {
        std::vector<std::string> names =
            hooks_.devices ? hooks_.devices(outputs) : std::vector<std::string>{"sim"};
        for (const std::string& name : names) {
            (outputs ? cmbOutput_ : cmbInput_)->addItem(QString::fromStdString(name));
        }
        if (hooks_.device) {
            (outputs ? cmbOutput_ : cmbInput_)
                ->setCurrentText(QString::fromStdString(hooks_.device(outputs)));
        }
    }
    form->addRow("Output", cmbOutput_);
    form->addRow("Input", cmbInput_);
    form->addRow("Sample rate", cmbRate_);
    lblCalibration_ = named(new QLabel, "lblCalibration");
    lblCalibration_->setWordWrap(true);
    form->addRow("Calibration", lblCalibration_);
    auto* calibrate = new QHBoxLayout;
    calibrate->addWidget(button("Calibrate...", "btnCalibrate", "Measure the card, looped"));
    calibrate->addWidget(button("Load...", "btnLoadCal", "Load a saved calibration"));
    calibrate->addWidget(button("Save...", "btnSaveCal", "Save the calibration in use"));
    form->addRow(calibrate);
    for (QComboBox* box : {cmbOutput_, cmbInput_, cmbRate_}) {
        connect(box, &QComboBox::activated, this, [this] { devicesChosen(); });
    }
    return group;
}

QWidget* frmMeasure::buildRun() {
    auto* group = new QGroupBox("Measurement");
    auto* form = new QFormLayout(group);
    cmbDut_ = named(new QComboBox, "cmbDut", "The board measured");
    cmbDut_->addItems({"DUT1", "DUT2"});
    cmbChannel_ = named(new QComboBox, "cmbChannel", "Channels of a one-channel procedure");
    cmbChannel_->addItems({"Left and Right", "Left", "Right"});
    cmbProcedure_ = named(new QComboBox, "cmbProcedure", "What Start measures");
    cmbProcedure_->addItems({"Gain sweep", "Channel matching", "Mute depth",
                             "THD and THD+N at the code", "Crosstalk", "ZCD click", "ZCD timeout"});
    spnCode_ = named(new QSpinBox, "spnCode", "The code for THD and the spectrum plot");
    spnCode_->setRange(1, 255);
    spnCode_->setValue(192);
    btnStart_ = button("Start", "btnStart", "Run the procedure (Esc or Stop ends it)");
    prgRun_ = named(new QProgressBar, "prgRun");
    prgRun_->setFormat("");
    prgRun_->setValue(0);
    mtrLeft_ = meter("mtrLeft");
    mtrRight_ = meter("mtrRight");
    lblReply_ = named(new QLabel, "lblReply");
    lblReply_->setWordWrap(true);
    form->addRow("Board", cmbDut_);
    form->addRow("Channels", cmbChannel_);
    form->addRow("Procedure", cmbProcedure_);
    form->addRow("Code", spnCode_);
    form->addRow(btnStart_);
    form->addRow(prgRun_);
    form->addRow("Left in", mtrLeft_);
    form->addRow("Right in", mtrRight_);
    form->addRow(lblReply_);
    connect(spnCode_, &QSpinBox::valueChanged, this, [this] { refresh_->start(); });
    return group;
}

QWidget* frmMeasure::buildLimits() {
    auto* group = new QGroupBox("Limits");
    auto* form = new QFormLayout(group);
    struct Field {
        const char* label;
        const char* name;
        double min, max, step;
    };
    const Field fields[] = {
        {"Gain error ± dB", "spnGainError", 0.0, 10.0, 0.05},
        {"Step error ± dB", "spnStepError", 0.0, 5.0, 0.01},
        {"Matching ± dB", "spnMatching", 0.0, 5.0, 0.05},
        {"Mute depth ≥ dB", "spnMuteDepth", 0.0, 200.0, 1.0},
        {"THD+N ≤ dB", "spnThdn", -200.0, 0.0, 1.0},
    };
    for (const Field& f : fields) {
        auto* spin = named(new QDoubleSpinBox, f.name);
        spin->setRange(f.min, f.max);
        spin->setSingleStep(f.step);
        spin->setDecimals(2);
        form->addRow(QString::fromUtf8(f.label), spin);
        connect(spin, &QDoubleSpinBox::editingFinished, this, [this] { limitsEdited(); });
        limits_.push_back(spin);
    }
    return group;
}

QWidget* frmMeasure::buildExport() {
    auto* group = new QGroupBox("Export");
    auto* grid = new QGridLayout(group);
    txtNote_ = named(new QLineEdit, "txtNote", "The operator's note on the report's title page");
    txtNote_->setPlaceholderText("Note for the report");
    grid->addWidget(txtNote_, 0, 0, 1, 2);
    grid->addWidget(button("Save CSV...", "btnSaveCsv", "The results table with its set-up"), 1, 0);
    grid->addWidget(button("Save Plot...", "btnSavePlot", "The plot shown, as PNG or SVG"), 1, 1);
    grid->addWidget(button("Copy Table", "btnCopy", "The table as tab-separated text"), 2, 0);
    grid->addWidget(button("Report...", "btnReport", "The PDF evaluation report"), 2, 1);
    return group;
}

}  // namespace selvar::measure
