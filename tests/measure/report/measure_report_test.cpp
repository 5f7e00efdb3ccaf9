// SPDX-License-Identifier: GPL-3.0-or-later
// The results as they leave the program: the marks against the limits, the CSV read back, and
// the PDF report as a PDF reader sees it.
#include <gtest/gtest.h>

#include <algorithm>

#include <QChart>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "measure/charts/chart_image.h"
#include "measure/charts/report_pdf.h"
#include "measure/charts/sweep_charts.h"
#include "measure/report/results_csv.h"
#include "measure/report/sweep_rows.h"
#include "sweep_fixture.h"

namespace selvar::measure {
namespace {

using test::Injected;
using test::kInjected;

TEST(MeasureReport, CsvCarriesEveryCodeWithItsMarksAgainstTheDefaultLimits) {
    const SweepResult sweep = test::sweepOf(kInjected);
    ReportSetup setup;
    setup.version = "9.8.7";
    setup.outputDevice = "card, analog out";  // a comma survives the round trip
    ResultsFile file;
    std::string error;
    ASSERT_TRUE(
        readResultsCsv(resultsCsv(setup, Limits{}, sweepRows(sweep, Limits{})), file, error))
        << error;
    ASSERT_EQ(file.rows.size(), kInjected.size());
    for (std::size_t i = 0; i < kInjected.size(); ++i) {
        const Injected& want = kInjected[i];
        const SweepRow& got = file.rows[i];
        SCOPED_TRACE(want.code);
        EXPECT_EQ(got.code, want.code);
        EXPECT_NEAR(*got.gainDb[0], want.setDb + want.errorLeft, 1e-4);
        EXPECT_NEAR(*got.gainDb[1], want.setDb + want.errorRight, 1e-4);
        EXPECT_NEAR(*got.errorDb[0], want.errorLeft, 1e-4);
        EXPECT_NEAR(*got.thdnDb, want.thdnDb, 1e-4);
        EXPECT_EQ(got.failed, want.failed);
    }
    const auto has = [&file](const std::string& key, const std::string& value) {
        return std::find(file.header.begin(), file.header.end(), std::pair{key, value}) !=
               file.header.end();
    };
    EXPECT_TRUE(has("program", "Selvar Control 9.8.7"));
    EXPECT_TRUE(has("output device", "card, analog out"));
    EXPECT_TRUE(has("limit gain error dB", "0.5000"));
}

TEST(MeasureReport, VerdictFailsOnlyWhatIsOutsideTheLimits) {
    const SweepResult sweep = test::sweepOf(kInjected);
    struct Case {
        Limits limits;
        std::optional<MuteResult> mute;
        bool pass;
        std::size_t failures;
    };
    Limits loose;
    loose.gainErrorDb = 1.0;
    loose.stepErrorDb = 1.0;
    loose.matchingDb = 1.0;
    loose.thdnDb = -60.0;
    const Case cases[] = {
        {Limits{}, std::nullopt, false, 4},  // the fixture's marks, one line per check failed
        {loose, std::nullopt, true, 0},
        {loose, MuteResult{.pinDb = 99.0, .codeDb = 120.0}, false, 1},
    };
    for (const Case& c : cases) {
        const Verdict v = verdictOf(sweepRows(sweep, c.limits), c.mute, c.limits);
        EXPECT_EQ(v.pass(), c.pass);
        EXPECT_EQ(v.failures.size(), c.failures);
        EXPECT_EQ(v.codesJudged, static_cast<int>(kInjected.size()));
    }
}

QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

TEST(MeasureReport, PdfReportHasTitleEverySectionVerdictAndItsPages) {
    const SweepResult sweep = test::sweepOf(kInjected);
    ReportContent content;
    content.setup.board = "DUT1";
    content.setup.note = "second sample, lot 7";
    content.sweep = &sweep;
    QTemporaryDir dir;
    const std::string path = dir.filePath("report.pdf").toStdString();
    std::string error;
    ASSERT_TRUE(saveReportPdf(path, content, error)) << error;

    const QString text = run("pdftotext", {QString::fromStdString(path), "-"});
    for (const char* expected :
         {"Selvar evaluation report", "Board: DUT1", "Note: second sample, lot 7", "Set-up",
          "Calibration", "Limits", "Verdict: FAIL (2 of 6 codes within the limits)",
          "Measured gain against code", "Gain error against code", "Step size against code",
          "Left minus Right", "THD+N against code", "Results",
          "gain error outside ±0.50 dB at 2 codes: 154-155; worst +0.60 dB at code 154",
          "step error outside ±0.10 dB at 3 codes: 152, 154-155; worst +0.55 dB at code 154",
          "THD+N above -80.00 dB at 1 code: 153; worst -70.00 dB at code 153"}) {
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected;
    }
    // A title page, set-up with limits and verdict, seven plots two to a page, the table.
    EXPECT_TRUE(run("pdfinfo", {QString::fromStdString(path)})
                    .contains(QRegularExpression("Pages:\\s+7\\n")));
}

// A plot exported as the name asks: SVG by its suffix, else PNG at the size given.
TEST(MeasureReport, PlotExportsAsSvgOrPngByName) {
    const SweepResult sweep = test::sweepOf(kInjected);
    const Limits limits;
    const std::vector<SweepRow> rows = sweepRows(sweep, limits);
    auto chart = makeChart(Plot::Error);
    fillChart(*chart, Plot::Error, PlotData{&rows, &limits, nullptr, nullptr});
    QTemporaryDir dir;
    std::string error;
    const std::string svg = dir.filePath("error.svg").toStdString();
    const std::string png = dir.filePath("error.png").toStdString();
    ASSERT_TRUE(saveChartImage(*chart, svg, QSize(800, 500), error)) << error;
    ASSERT_TRUE(saveChartImage(*chart, png, QSize(800, 500), error)) << error;
    QFile file(QString::fromStdString(svg));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.contains("<svg")) << text.left(200).toStdString();
    EXPECT_TRUE(text.contains("Gain error against code"));
    EXPECT_EQ(QImage(QString::fromStdString(png), "PNG").size(), QSize(800, 500));
}

}  // namespace
}  // namespace selvar::measure
