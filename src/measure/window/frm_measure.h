// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "measure/gateway/measure_module.h"
#include "measure/procedures/measurement_session.h"

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTimer;

namespace selvar::measure {

class SweepView;

// The measurement window: set-up, procedures, limits and exports on the left, the plots and
// the results table beside them. A view: every result and the limits live in the session, which
// it observes (a run started over SCPI fills it as one started here does), and its buttons
// make the session's jobs. Closing it only hides it.
class frmMeasure : public QWidget {
    Q_OBJECT
  public:
    frmMeasure(MeasurementSession& session, MeasureHooks hooks);
    ~frmMeasure() override;

    // Start's procedures, in cmbProcedure's order.
    enum class Procedure { Sweep, Matching, Mute, Thd, Crosstalk, ZcdClick, ZcdTimeout };

    SweepView& sweepView() { return *view_; }
    // Brings the plots and the table up to the session now rather than at the next refresh.
    void refreshNow();
    // While a job runs, Start and Calibrate wait for it: one job runs at a time.
    void setJobRunning(bool running);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    QWidget* buildSetup();
    QWidget* buildRun();
    QWidget* buildLimits();
    QWidget* buildExport();
    void observe();
    void placeOnScreen();
    std::unique_ptr<MeasurementJob> makeJob(Procedure procedure);
    void btnStart_Click();
    void btnCalibrate_Click();
    void btnLoadCal_Click();
    void btnSaveCal_Click();
    void btnSaveCsv_Click();
    void btnSavePlot_Click();
    void btnReport_Click();
    void limitsEdited();
    void showLimits();
    void showCalibration();
    void showProgress(const Progress& progress);
    void showLevels(double left, double right);
    void showReply(const QueryReply& reply);
    void devicesChosen();
    void runJob(std::unique_ptr<MeasurementJob> job);
    ReportSetup reportSetup() const;
    void saveWith(const QString& title, const QString& filter,
                  const std::function<bool(const std::string&, std::string&)>& save);

    MeasurementSession& session_;
    MeasureHooks hooks_;
    int observer_ = -1;
    SweepView* view_ = nullptr;
    QTimer* refresh_ = nullptr;
    QComboBox* cmbOutput_ = nullptr;
    QComboBox* cmbInput_ = nullptr;
    QComboBox* cmbRate_ = nullptr;
    QLabel* lblCalibration_ = nullptr;
    QComboBox* cmbDut_ = nullptr;
    QComboBox* cmbChannel_ = nullptr;
    QComboBox* cmbProcedure_ = nullptr;
    QSpinBox* spnCode_ = nullptr;
    QPushButton* btnStart_ = nullptr;
    QProgressBar* prgRun_ = nullptr;
    QProgressBar* mtrLeft_ = nullptr;
    QProgressBar* mtrRight_ = nullptr;
    QLabel* lblReply_ = nullptr;
    std::vector<QDoubleSpinBox*> limits_;
    QLineEdit* txtNote_ = nullptr;
};

}  // namespace selvar::measure
