// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/charts/report_pdf.h"

#include <QBuffer>
#include <QChart>
#include <QGraphicsScene>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <cstdio>

#include "measure/charts/sweep_charts.h"
#include "measure/report/saved_bytes.h"
#include "measure/report/session_report.h"

namespace selvar::measure {
namespace {

// Lays text and pictures down the page, starting a new page where the next one does not fit.
class PageFlow {
  public:
    explicit PageFlow(QPdfWriter& writer) : writer_(writer), painter_(&writer) {
        area_ =
            QRectF(QPointF(0, 0), writer.pageLayout().paintRectPixels(writer.resolution()).size());
    }
    QPainter& painter() { return painter_; }
    double width() const { return area_.width(); }

    void newPage() {
        writer_.newPage();
        y_ = 0;
    }
    void heading(const QString& text) {
        if (y_ > 0) {
            y_ += lineHeight(11);
        }
        line(text, 16, true);
    }
    void line(const QString& text, int points = 10, bool bold = false, double indent = 0) {
        QFont font(QStringLiteral("DejaVu Sans"), points);
        font.setBold(bold);
        const double h = lineHeight(points);
        room(h);
        painter_.setFont(font);
        painter_.drawText(QRectF(indent, y_, width() - indent, h), Qt::AlignLeft | Qt::AlignVCenter,
                          text);
        y_ += h;
    }
    // Text wrapped at the page's width, indented.
    void paragraph(const QString& text, int points, double indent) {
        const QFont font(QStringLiteral("DejaVu Sans"), points);
        painter_.setFont(font);
        const QRectF box(indent, 0, width() - indent, area_.height());
        const double h = painter_.boundingRect(box, Qt::TextWordWrap, text).height();
        room(h);
        painter_.drawText(QRectF(indent, y_, width() - indent, h), Qt::TextWordWrap, text);
        y_ += h + lineHeight(points) * 0.2;
    }
    // Cells at the given fractions of the width.
    void row(const QStringList& cells, const std::vector<double>& at, bool bold = false) {
        QFont font(QStringLiteral("DejaVu Sans"), 8);
        font.setBold(bold);
        const double h = lineHeight(8);
        room(h);
        painter_.setFont(font);
        for (int i = 0; i < cells.size(); ++i) {
            painter_.drawText(QRectF(at[i] * width(), y_, width() * 0.2, h), Qt::AlignVCenter,
                              cells[i]);
        }
        y_ += h;
    }
    void chart(QChart& chart, double height) {
        room(height);
        QGraphicsScene scene;
        scene.addItem(&chart);
        const QRectF target(0, y_, width(), height);
        // Laid out at screen size, then scaled onto the page, so fonts keep their proportion.
        chart.resize(640, 640 * height / width());
        scene.render(&painter_, target, QRectF(QPointF(0, 0), chart.size()));
        scene.removeItem(&chart);
        y_ += height + lineHeight(10);
    }

  private:
    double lineHeight(int points) const { return points * 1.6 * writer_.resolution() / 72.0; }
    void room(double height) {
        if (y_ + height > area_.height()) {
            newPage();
        }
    }
    QPdfWriter& writer_;
    QPainter painter_;
    QRectF area_;
    double y_ = 0;
};

QString num(const std::optional<double>& v, int decimals = 2) {
    return v ? QString::number(*v, 'f', decimals) : QStringLiteral("-");
}
QString q(const std::string& s) {
    return s.empty() ? QStringLiteral("-") : QString::fromStdString(s);
}

void titlePage(PageFlow& f, const ReportContent& c, const Verdict& verdict) {
    f.line(QStringLiteral("%1 evaluation report").arg(q(c.setup.chip)), 24, true);
    f.line(QString());
    f.line(QStringLiteral("Chip: %1").arg(q(c.setup.chip)), 12);
    f.line(QStringLiteral("Board: %1").arg(q(c.setup.board)), 12);
    f.line(QStringLiteral("Date: %1").arg(q(c.setup.date)), 12);
    f.line(QStringLiteral("Program: Selvar Control %1").arg(q(c.setup.version)), 12);
    f.line(QStringLiteral("Note: %1").arg(q(c.setup.note)), 12);
    f.line(QString());
    f.line(QStringLiteral("Verdict: %1").arg(QString::fromStdString(verdict.headline())), 14, true);
}

void setupSection(PageFlow& f, const ReportContent& c) {
    const ReportSetup& s = c.setup;
    f.heading(QStringLiteral("Set-up"));
    f.line(QStringLiteral("Port: %1").arg(q(s.port)));
    f.line(QStringLiteral("Chips found: %1").arg(q(s.chain)));
    f.line(QStringLiteral("Output device: %1").arg(q(s.outputDevice)));
    f.line(QStringLiteral("Input device: %1").arg(q(s.inputDevice)));
    f.line(QStringLiteral("Sample rate: %1 Hz").arg(s.sampleRate, 0, 'f', 0));
    if (c.sweep) {
        f.line(QStringLiteral("Sweep started: %1, %2, %3 retries")
                   .arg(q(c.sweep->startedAt),
                        c.sweep->complete ? QStringLiteral("complete") : QStringLiteral("partial"))
                   .arg(c.sweep->retries));
    }
    f.heading(QStringLiteral("Calibration"));
    if (!s.calibration) {
        f.line(QStringLiteral("None: the results include the sound card's own gain."));
        return;
    }
    const Calibration& k = *s.calibration;
    f.line(QStringLiteral("Made: %1, %2 -> %3")
               .arg(q(k.createdAt), q(k.outputDevice), q(k.inputDevice)));
    f.line(QStringLiteral("Card gain: Left %1 dB, Right %2 dB; latency %3 ms")
               .arg(k.gainDb[0], 0, 'f', 3)
               .arg(k.gainDb[1], 0, 'f', 3)
               .arg(k.latencyMs, 0, 'f', 1));
    f.line(QStringLiteral("Card THD+N: Left %1 dB, Right %2 dB")
               .arg(k.thdnDb[0], 0, 'f', 1)
               .arg(k.thdnDb[1], 0, 'f', 1));
}

void limitsAndVerdict(PageFlow& f, const ReportContent& c, const Verdict& verdict) {
    const Limits& l = c.limits;
    f.heading(QStringLiteral("Limits"));
    const std::vector<double> at = {0.0, 0.5};
    f.row({QStringLiteral("Quantity"), QStringLiteral("Limit")}, at, true);
    f.row({QStringLiteral("Gain error"), QStringLiteral("± %1 dB").arg(l.gainErrorDb)}, at);
    f.row({QStringLiteral("Step error"), QStringLiteral("± %1 dB").arg(l.stepErrorDb)}, at);
    f.row({QStringLiteral("Channel matching"), QStringLiteral("± %1 dB").arg(l.matchingDb)}, at);
    f.row({QStringLiteral("Mute depth"), QStringLiteral("≥ %1 dB").arg(l.muteDepthDb)}, at);
    f.row({QStringLiteral("THD+N"), QStringLiteral("≤ %1 dB").arg(l.thdnDb)}, at);
    if (c.mute) {
        f.line(QStringLiteral("Mute depth measured: MUTE line %1 dB, code 0 %2 dB")
                   .arg(c.mute->pinDb, 0, 'f', 1)
                   .arg(c.mute->codeDb, 0, 'f', 1));
    }
    f.heading(QStringLiteral("Verdict"));
    f.line(QString::fromStdString(verdict.headline()), 12, true);
    for (const std::string& failure : verdict.failures) {
        f.paragraph(QString::fromStdString(failure), 9, f.width() * 0.03);
    }
}

void plots(PageFlow& f, const ReportContent& c, const std::vector<SweepRow>& rows) {
    f.newPage();
    f.heading(QStringLiteral("Plots"));
    const CodeResult* spectrum =
        c.sweep && c.spectrumCode >= 0 && c.spectrumCode < kCodes && c.sweep->codes[c.spectrumCode]
            ? &*c.sweep->codes[c.spectrumCode]
            : nullptr;
    const PlotData data{&rows, &c.limits, spectrum, &c.zcdClick};
    for (Plot plot : kPlots) {
        auto chart = makeChart(plot);
        fillChart(*chart, plot, data);
        f.chart(*chart, f.width() * 0.55);
    }
}

void resultsTable(PageFlow& f, const std::vector<SweepRow>& rows) {
    f.newPage();
    f.heading(QStringLiteral("Results"));
    const std::vector<double> at = {0.0, 0.08, 0.2, 0.33, 0.46, 0.58, 0.7, 0.8, 0.9};
    f.row({"code", "set dB", "Left dB", "Right dB", "err L", "err R", "step", "THD+N", "result"},
          at, true);
    for (const SweepRow& r : rows) {
        f.row({QString::number(r.code),
               r.code > 0 ? QString::number(r.setDb, 'f', 1) : QStringLiteral("mute"),
               r.floorLimited[0] ? QStringLiteral("floor") : num(r.gainDb[0]),
               r.floorLimited[1] ? QStringLiteral("floor") : num(r.gainDb[1]), num(r.errorDb[0]),
               num(r.errorDb[1]), num(r.stepDb, 3), num(r.thdnDb, 1),
               r.passes() ? QStringLiteral("pass") : QStringLiteral("FAIL")},
              at);
    }
}

}  // namespace

QByteArray reportPdf(const ReportContent& content) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(18, 18, 18, 18), QPageLayout::Millimeter);
        writer.setResolution(150);
        writer.setTitle(QStringLiteral("%1 evaluation report").arg(q(content.setup.chip)));
        writer.setCreator(QStringLiteral("Selvar Control"));
        const std::vector<SweepRow> rows =
            content.sweep ? sweepRows(*content.sweep, content.limits) : std::vector<SweepRow>{};
        const Verdict verdict = verdictOf(rows, content.mute, content.limits);
        PageFlow flow(writer);
        titlePage(flow, content, verdict);
        flow.newPage();
        setupSection(flow, content);
        limitsAndVerdict(flow, content, verdict);
        plots(flow, content, rows);
        resultsTable(flow, rows);
    }
    return bytes;
}

bool saveReportPdf(const std::string& path, const ReportContent& content, std::string& error) {
    const QByteArray pdf = reportPdf(content);
    return saveBytes(path, std::string_view(pdf.constData(), static_cast<std::size_t>(pdf.size())),
                     error);
}

bool saveSessionReport(const MeasurementSession& session, const ReportSetup& setup,
                       const std::string& path, std::string& error) {
    return saveReportPdf(path, reportContentOf(session, setup), error);
}

}  // namespace selvar::measure
