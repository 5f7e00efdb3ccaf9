// SPDX-License-Identifier: GPL-3.0-or-later
#include <cmath>

#include "measure/window/frm_measure.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include "measure/charts/chart_image.h"
#include "measure/charts/report_pdf.h"
#include "measure/report/session_report.h"
#include "measure/window/sweep_view.h"

namespace selvar::measure {
namespace {

constexpr int kRefreshMs = 34;  // at most thirty refreshes a second

QString askPath(QWidget& parent, const QString& title, const QString& filter, bool save) {
    return save ? QFileDialog::getSaveFileName(&parent, title, {}, filter)
                : QFileDialog::getOpenFileName(&parent, title, {}, filter);
}

}  // namespace

frmMeasure::frmMeasure(MeasurementSession& session, MeasureHooks hooks)
    : session_(session), hooks_(std::move(hooks)) {
    setObjectName("frmMeasure");
    setWindowTitle("Orvane Selvar [Measure]");
    if (!hooks_.choosePath) {
        hooks_.choosePath = askPath;
    }
    refresh_ = new QTimer(this);
    refresh_->setSingleShot(true);
    refresh_->setInterval(kRefreshMs);
    connect(refresh_, &QTimer::timeout, this, [this] { refreshNow(); });

    auto* column = new QVBoxLayout;
    column->addWidget(buildSetup());
    column->addWidget(buildRun());
    column->addWidget(buildLimits());
    column->addWidget(buildExport());
    column->addStretch();
    view_ = new SweepView;
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(column);
    layout->addWidget(view_, 1);

    const std::pair<const char*, void (frmMeasure::*)()> clicks[] = {
        {"btnStart", &frmMeasure::btnStart_Click},
        {"btnCalibrate", &frmMeasure::btnCalibrate_Click},
        {"btnLoadCal", &frmMeasure::btnLoadCal_Click},
        {"btnSaveCal", &frmMeasure::btnSaveCal_Click},
        {"btnSaveCsv", &frmMeasure::btnSaveCsv_Click},
        {"btnSavePlot", &frmMeasure::btnSavePlot_Click},
        {"btnReport", &frmMeasure::btnReport_Click}};
    for (const auto& [name, handler] : clicks) {
        connect(findChild<QPushButton*>(name), &QPushButton::clicked, this, handler);
    }
    connect(findChild<QPushButton*>("btnCopy"), &QPushButton::clicked, view_,
            &SweepView::copyTable);
    observe();
    showLimits();
    showCalibration();
    refreshNow();
    placeOnScreen();
}

frmMeasure::~frmMeasure() {
    session_.removeObserver(observer_);
}

void frmMeasure::observe() {
    MeasurementSession::Observer o;
    // A sweep reports each code; the plots catch up at most thirty times a second.
    o.codeMeasured = [this](int, int) {
        if (!refresh_->isActive()) {
            refresh_->start();
        }
    };
    o.resultsChanged = [this] {
        showLimits();
        refresh_->start();
    };
    o.calibrationChanged = [this] { showCalibration(); };
    o.progress = [this](const Progress& p) { showProgress(p); };
    o.levels = [this](double left, double right) { showLevels(left, right); };
    observer_ = session_.addObserver(std::move(o));
}

// As large as most of the screen allows, in its middle: the plots want room.
void frmMeasure::placeOnScreen() {
    const QRect area = screen()->availableGeometry();
    resize(std::min(1500, area.width() * 9 / 10), std::min(900, area.height() * 9 / 10));
    move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
}

void frmMeasure::closeEvent(QCloseEvent* event) {
    hide();
    event->ignore();
}

void frmMeasure::refreshNow() {
    refresh_->stop();
    const Limits& limits = session_.limits();
    const std::optional<SweepResult>& sweep = session_.sweep();
    const std::vector<SweepRow> rows = sweep ? sweepRows(*sweep, limits) : std::vector<SweepRow>{};
    const int code = spnCode_->value();
    const CodeResult* spectrum = sweep && sweep->codes[code] ? &*sweep->codes[code] : nullptr;
    const std::optional<ZcdClickResult>& zcd = session_.zcdClick();
    view_->showResults(PlotData{&rows, &limits, spectrum, &zcd});
}

std::unique_ptr<MeasurementJob> frmMeasure::makeJob(Procedure procedure) {
    const int dut = cmbDut_->currentIndex() + 1;
    const Channel channel = cmbChannel_->currentIndex() == 2 ? Channel::Right : Channel::Left;
    auto reply = [this](const QueryReply& r) { showReply(r); };
    switch (procedure) {
        case Procedure::Sweep:
        case Procedure::Matching:  // Left minus Right comes from a sweep of both channels
            return session_.sweepGain(dut, reply);
        case Procedure::Mute:
            return session_.measureMute(dut, true, reply);
        case Procedure::Thd:
            return session_.measureThd(dut, channel, spnCode_->value(), true, reply);
        case Procedure::Crosstalk:
            return session_.measureCrosstalk(dut, channel, reply);
        case Procedure::ZcdClick:
            return session_.measureZcdClick(dut, reply);
        case Procedure::ZcdTimeout:
            return session_.measureZcdTimeout(dut, reply);
    }
    return nullptr;
}

void frmMeasure::runJob(std::unique_ptr<MeasurementJob> job) {
    lblReply_->clear();
    prgRun_->setValue(0);
    if (hooks_.startJob) {
        hooks_.startJob(std::move(job));
    } else {
        // No driver (a window on its own): run it here; the loop waits meanwhile.
        while (job->runSlice(control::Job::Clock::now() + std::chrono::milliseconds(4))) {
        }
    }
}

void frmMeasure::setJobRunning(bool running) {
    if (!running && prgRun_->value() > 0) {
        prgRun_->setFormat(prgRun_->value() >= prgRun_->maximum() ? "done" : "stopped");
    }
    btnStart_->setEnabled(!running);
    findChild<QPushButton*>("btnCalibrate")->setEnabled(!running);
}

void frmMeasure::btnStart_Click() {
    runJob(makeJob(static_cast<Procedure>(cmbProcedure_->currentIndex())));
}

void frmMeasure::btnCalibrate_Click() {
    const auto answer = QMessageBox::question(
        this, "Calibrate",
        "Cable the sound card's output straight to its input (Left to Left, Right to Right), "
        "without the board, then press OK.",
        QMessageBox::Ok | QMessageBox::Cancel);
    if (answer == QMessageBox::Ok) {
        runJob(session_.calibrate([this](const QueryReply& r) { showReply(r); }));
    }
}

void frmMeasure::btnLoadCal_Click() {
    const QString path =
        hooks_.choosePath(*this, "Load Calibration", "Calibrations (*.json);;All files (*)", false);
    std::string error;
    if (!path.isEmpty() && !session_.loadCalibration(path.toStdString(), error)) {
        QMessageBox::warning(this, "Load Calibration",
                             QString("%1 could not be loaded: %2").arg(path, error.c_str()));
    }
}

void frmMeasure::btnSaveCal_Click() {
    saveWith("Save Calibration", "Calibrations (*.json)",
             [this](const std::string& path, std::string& error) {
                 return session_.saveCalibration(path, error);
             });
}

void frmMeasure::btnSaveCsv_Click() {
    saveWith("Save Results", "Results (*.csv)", [this](const std::string& path, std::string& e) {
        return saveSessionResults(session_, reportSetup(), path, e);
    });
}

void frmMeasure::btnSavePlot_Click() {
    saveWith(
        "Save Plot", "Pictures (*.png *.svg)", [this](const std::string& path, std::string& e) {
            return saveChartImage(view_->chart(view_->currentPlot()), path, QSize(1000, 600), e);
        });
}

void frmMeasure::btnReport_Click() {
    saveWith("Evaluation Report", "PDF (*.pdf)", [this](const std::string& path, std::string& e) {
        return saveSessionReport(session_, reportSetup(), path, e);
    });
}

void frmMeasure::saveWith(const QString& title, const QString& filter,
                          const std::function<bool(const std::string&, std::string&)>& save) {
    const QString path = hooks_.choosePath(*this, title, filter, true);
    std::string error;
    if (!path.isEmpty() && !save(path.toStdString(), error)) {
        QMessageBox::warning(this, title,
                             QString("%1 was not written: %2").arg(path, error.c_str()));
    }
}

ReportSetup frmMeasure::reportSetup() const {
    ReportSetup setup = hooks_.setup ? hooks_.setup() : ReportSetup{};
    setup.board = cmbDut_->currentText().toStdString();
    if (session_.sweep()) {
        setup.board = "DUT" + std::to_string(session_.sweep()->dut);
    }
    if (setup.outputDevice.empty()) {
        setup.outputDevice = cmbOutput_->currentText().toStdString();
        setup.inputDevice = cmbInput_->currentText().toStdString();
        setup.sampleRate = cmbRate_->currentText().toDouble();
    }
    setup.note = txtNote_->text().toStdString();
    return setup;
}

void frmMeasure::devicesChosen() {
    if (hooks_.choose) {
        hooks_.choose(cmbOutput_->currentText().toStdString(),
                      cmbInput_->currentText().toStdString(), cmbRate_->currentText().toInt());
    }
}

void frmMeasure::limitsEdited() {
    Limits l;
    l.gainErrorDb = limits_[0]->value();
    l.stepErrorDb = limits_[1]->value();
    l.matchingDb = limits_[2]->value();
    l.muteDepthDb = limits_[3]->value();
    l.thdnDb = limits_[4]->value();
    session_.setLimits(l);
}

void frmMeasure::showLimits() {
    const Limits& l = session_.limits();
    const double values[] = {l.gainErrorDb, l.stepErrorDb, l.matchingDb, l.muteDepthDb, l.thdnDb};
    for (std::size_t i = 0; i < limits_.size(); ++i) {
        const QSignalBlocker quiet(limits_[i]);
        limits_[i]->setValue(values[i]);
    }
}

void frmMeasure::showCalibration() {
    const std::optional<Calibration>& c = session_.calibration();
    if (!c) {
        lblCalibration_->setText("none (results include the card's own gain)");
        return;
    }
    // Three decimals; a gain that rounds to nothing reads 0.000, not -0.000.
    const auto db = [](double value) {
        return QString::number(std::abs(value) < 0.0005 ? 0.0 : value, 'f', 3);
    };
    lblCalibration_->setText(
        QString("%1%2\n%3 -> %4\ncard gain L %5 dB, R %6 dB")
            .arg(c->file.empty() ? QString("not saved, ") : QString::fromStdString(c->file) + "\n",
                 QString::fromStdString(c->createdAt), QString::fromStdString(c->outputDevice),
                 QString::fromStdString(c->inputDevice), db(c->gainDb[0]), db(c->gainDb[1])));
}

void frmMeasure::showProgress(const Progress& p) {
    prgRun_->setRange(0, std::max(p.total, 1));
    prgRun_->setValue(p.done);
    const QString code = p.code ? QString("code %1, ").arg(*p.code) : QString();
    prgRun_->setFormat(QString("%1%2 s left").arg(code).arg(p.secondsLeft, 0, 'f', 0));
}

void frmMeasure::showLevels(double left, double right) {
    mtrLeft_->setValue(static_cast<int>(std::clamp(left, -120.0, 0.0)));
    mtrRight_->setValue(static_cast<int>(std::clamp(right, -120.0, 0.0)));
}

void frmMeasure::showReply(const QueryReply& reply) {
    if (reply.failure != Failure::None) {
        lblReply_->setText("Not measured: " + QString::fromStdString(reply.detail));
        return;
    }
    QStringList values;
    for (double v : reply.values) {
        values << QString::number(v, 'g', 6);
    }
    lblReply_->setText("Result: " + values.join(", "));
}

}  // namespace selvar::measure
