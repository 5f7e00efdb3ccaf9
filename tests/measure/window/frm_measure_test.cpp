// SPDX-License-Identifier: GPL-3.0-or-later
// The measurement window offscreen: the table and the plots' marks for a sweep with errors put in
// by hand, and the window as a view of the session (limits, the jobs Start makes).
#include <gtest/gtest.h>

#include <QApplication>
#include <QChart>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QTableWidget>
#include <QXYSeries>

#include <QFile>
#include <QTemporaryDir>

#include "../../gui/entry_test_program.h"
#include "../report/sweep_fixture.h"
#include "entry/frm_entry.h"
#include "entry/panel_instrument.h"
#include "measure/window/frm_measure.h"
#include "measure/window/sweep_view.h"

namespace selvar::measure {
namespace {

using test::kInjected;

class NoBench : public AudioBench {
  public:
    audio::AudioPort* portFor(int, Failure& failure) override {
        failure = Failure::NoDevice;
        return nullptr;
    }
    audio::AudioPort* loopThroughPort(Failure& failure) override { return portFor(0, failure); }
    std::unique_ptr<DutAccess> dut(int) override { return nullptr; }
    std::string outputDevice() const override { return {}; }
    std::string inputDevice() const override { return {}; }
};

struct Shown {
    Limits limits;
    std::vector<SweepRow> rows;
    SweepView view;
    explicit Shown(const SweepResult& sweep) : rows(sweepRows(sweep, limits)) {
        view.showResults(PlotData{&rows, &limits, nullptr, nullptr});
    }
    QTableWidget& table() { return *view.findChild<QTableWidget*>("tblResults"); }
};

TEST(MeasureWindow, TableShowsEachInjectedCodeWithItsMark) {
    Shown shown(test::sweepOf(kInjected));
    QTableWidget& table = shown.table();
    ASSERT_EQ(table.rowCount(), static_cast<int>(kInjected.size()));
    for (int row = 0; row < table.rowCount(); ++row) {
        const test::Injected& want = kInjected[static_cast<std::size_t>(row)];
        EXPECT_EQ(table.item(row, 0)->text().toInt(), want.code);
        EXPECT_EQ(table.item(row, 8)->text().toStdString(), want.failed ? "FAIL" : "pass")
            << want.code;
    }
    const QStringList lines = shown.view.tableText().split('\n');
    EXPECT_EQ(lines[0],
              "code\tset dB\tLeft dB\tRight dB\terror L\terror R\tstep dB\tTHD+N\tresult");
    EXPECT_EQ(lines[5], "154\t-19.0\t-18.400\t-18.700\t0.600\t0.300\t1.050\t-90.0\tFAIL");
    // Sorted by value, not by text: -70 dB is the worst THD+N.
    table.sortByColumn(7, Qt::DescendingOrder);
    EXPECT_EQ(table.item(0, 0)->text(), "153");
}

TEST(MeasureWindow, PlotsMarkTheCodesOutsideTheLimits) {
    Shown shown(test::sweepOf(kInjected));
    struct Case {
        Plot plot;
        QList<QPointF> marked;
    };
    const Case cases[] = {
        {Plot::Gain, {{154, -18.4}, {155, -17.9}, {155, -17.9}}},
        {Plot::Matching, {{152, -0.25}, {153, -0.25}, {154, 0.3}}},
        {Plot::Step, {{152, 0.8}, {154, 1.05}, {155, 0.8}}},
    };
    for (const Case& c : cases) {
        const auto* marks = static_cast<QXYSeries*>(shown.view.chart(c.plot).series().back());
        ASSERT_EQ(marks->count(), c.marked.size()) << plotFileStem(c.plot).toStdString();
        for (int i = 0; i < marks->count(); ++i) {
            EXPECT_NEAR(marks->at(i).x(), c.marked[i].x(), 1e-9);
            EXPECT_NEAR(marks->at(i).y(), c.marked[i].y(), 1e-9);
        }
    }
}

TEST(MeasureWindow, WindowEditsTheSessionsLimitsAndHandsStartsJobOn) {
    NoBench bench;
    MeasurementSession session(bench);
    std::vector<std::string> started;
    frmMeasure window(session, {.startJob = [&started](std::unique_ptr<MeasurementJob> job) {
                          started.push_back(job->description());
                      }});
    auto* gain = window.findChild<QDoubleSpinBox*>("spnGainError");
    gain->setValue(0.25);
    emit gain->editingFinished();
    EXPECT_EQ(session.limits().gainErrorDb, 0.25);

    Limits remote;
    remote.thdnDb = -95.0;
    session.setLimits(remote);  // as a remote command would
    EXPECT_EQ(window.findChild<QDoubleSpinBox*>("spnThdn")->value(), -95.0);

    window.findChild<QComboBox*>("cmbDut")->setCurrentIndex(1);
    window.findChild<QComboBox*>("cmbProcedure")->setCurrentIndex(0);
    window.findChild<QPushButton*>("btnStart")->click();
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0], "DUT2 gain sweep");
}

// The window, its charts and the session are built when "Measure" is first pressed.
TEST(MeasureWindow, MeasureButtonBuildsTheWindowOnFirstUseOnly) {
    entry::testing::TestProgram p;
    const auto measureWindows = [] {
        int found = 0;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            found += w->objectName() == "frmMeasure" && w->isVisible();
            EXPECT_TRUE(w->findChildren<QChart*>().isEmpty() || w->objectName() == "frmMeasure");
        }
        return found;
    };
    for (QWidget* w : QApplication::topLevelWidgets()) {
        EXPECT_NE(w->objectName(), "frmMeasure");
    }
    p.control<QPushButton>(p.entry(), "btnMeasure").click();
    EXPECT_EQ(measureWindows(), 1);
    EXPECT_EQ(p.measureWindow().windowTitle(), "Orvane Selvar [Measure]");
}

// MMEMory:STORe:RESults and :REPort: a whole file, or the failure's kind and the system's reason
// with nothing left under the name.
TEST(MeasureWindow, RemoteStoreWritesWholeFilesOrSaysWhy) {
    using Status = control::SetupFileResult::Status;
    entry::testing::TestProgram p;
    auto& instrument = dynamic_cast<entry::PanelInstrument&>(p.program().instrument());
    NoBench bench;
    MeasurementSession session(bench);
    instrument.attachMeasurement([&session]() -> const MeasurementSession& { return session; },
                                 [] {
                                     ReportSetup s;
                                     s.version = "1.2.3";
                                     return s;
                                 });
    QTemporaryDir dir;
    struct Case {
        QString name;
        bool report;
        Status status;
        const char* starts;  // the file's first bytes, when written
    };
    const Case cases[] = {
        {"r.csv", false, Status::Done, "# program,Selvar Control 1.2.3"},
        {"r.pdf", true, Status::Done, "%PDF"},
        {"missing/r.pdf", true, Status::NotFound, nullptr},
        {"missing/r.csv", false, Status::NotFound, nullptr},
        {"", false, Status::NotWritten, nullptr},  // the folder itself
    };
    for (const Case& c : cases) {
        const QString path = c.name.isEmpty() ? dir.path() : dir.filePath(c.name);
        const control::SetupFileResult r = c.report ? instrument.saveReport(path.toStdString())
                                                    : instrument.saveResults(path.toStdString());
        EXPECT_EQ(r.status, c.status) << c.name.toStdString() << ": " << r.reason;
        QFile file(path);
        if (c.starts) {
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            EXPECT_TRUE(file.readAll().startsWith(c.starts)) << c.name.toStdString();
        } else {
            EXPECT_FALSE(r.reason.empty());
            EXPECT_TRUE(c.name.isEmpty() || !file.exists()) << c.name.toStdString();
        }
    }
}

}  // namespace
}  // namespace selvar::measure

namespace selvar::measure {
namespace {

// A gain sweep of the simulated board with errors put in by hand, run from the window as the
// operator runs it: the table's marks follow the injected table, worked out by hand against
// the default limits (±0.5 gain, ±0.1 step, ±0.2 matching).
TEST(MeasureWindow, SweepWithInjectedErrorsFillsTheTableWithTheirMarks) {
    entry::AudioOptions audio;
    audio.simAnalog.errors[150] = {0.6, 0.0};    // gain, step into and out of it, matching
    audio.simAnalog.errors[170] = {0.25, 0.0};   // within the gain limit; steps and matching not
    audio.simAnalog.errors[200] = {-0.15, 0.0};  // steps only
    entry::testing::TestProgram p(entry::testing::unpacedBoard(), audio);
    p.control<QPushButton>(p.entry(), "btnMeasure").click();
    frmMeasure& window = p.measureWindow();
    window.findChild<QComboBox*>("cmbProcedure")->setCurrentIndex(0);
    window.findChild<QPushButton*>("btnStart")->click();
    ASSERT_TRUE(entry::testing::finishJob(p.program()));
    window.refreshNow();

    QTableWidget& table = *window.findChild<QTableWidget*>("tblResults");
    ASSERT_EQ(table.rowCount(), kCodes);
    struct Row {
        int code;
        double errorLeft;
        const char* result;
    };
    // Low codes are left out: their output lies near the path's noise, so THD+N fails there.
    const Row rows[] = {{149, 0.0, "pass"}, {150, 0.6, "FAIL"},   {151, 0.0, "FAIL"},
                        {160, 0.0, "pass"}, {170, 0.25, "FAIL"},  {171, 0.0, "FAIL"},
                        {192, 0.0, "pass"}, {200, -0.15, "FAIL"}, {201, 0.0, "FAIL"},
                        {230, 0.0, "pass"}};
    for (const Row& r : rows) {
        const QList<QTableWidgetItem*> found =
            table.findItems(QString::number(r.code), Qt::MatchExactly);
        ASSERT_FALSE(found.isEmpty()) << r.code;
        const int row = found.front()->row();
        EXPECT_NEAR(table.item(row, 4)->text().toDouble(), r.errorLeft, 0.02) << r.code;
        EXPECT_EQ(table.item(row, 8)->text().toStdString(), r.result) << r.code;
    }
}

}  // namespace
}  // namespace selvar::measure
