// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/frm_bus.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <QCheckBox>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "entry_test_program.h"
#include "monitor/capture_file.h"
#include "monitor/line_trace_view.h"

namespace selvar::monitor {
namespace {

using entry::testing::TestProgram;
using Row = std::vector<std::string>;  // the cells of a table row, "#" to "Chain"

// The whole program with the monitor opened by its button on the entry window.
struct Monitored {
    explicit Monitored(platform::SimBoardConfig config = entry::testing::unpacedBoard())
        : p(config), bus(p.program().frmBus()), table(p.control<QTableView>(bus, "tblFrames")) {
        p.control<QPushButton>(p.entry(), "btnBus").click();
    }
    int rows() const { return table.model()->rowCount(); }
    Row row(int r) const {
        Row cells;
        for (int c = 0; c < table.model()->columnCount(); ++c) {
            cells.push_back(table.model()->index(r, c).data().toString().toStdString());
        }
        return cells;
    }
    // Rows show within a refresh (at most a thirtieth of a second) of the frames.
    bool waitForRows(int n) const {
        return QTest::qWaitFor([&] { return rows() == n; }, 1000);
    }
    void moveDut1Left(int code) { p.control<QSlider>(p.dut1(), "sldLt0").setValue(code); }

    TestProgram p;
    frmBus& bus;
    QTableView& table;
};

const Row kStartUpGain[] = {{"1", "", "gain", "C000", "C0C0", ""},
                            {"2", "", "gain", "0000", "C0C0", ""},
                            {"3", "", "gain", "0000", "C000", ""},
                            {"4", "", "gain", "0000", "0000", ""}};

TEST(BusMonitor, ShowsExactlyTheStartUpFramesTimedByTheTraceClock) {
    struct Case {
        int chips;
        Row readBack;  // both read-backs, without "#" and time
    };
    for (const Case& c : {Case{2, {"read-back", "0000", "0000", "32"}},
                          Case{1, {"read-back", "----", "0000", "16"}}}) {
        SCOPED_TRACE(c.chips);
        platform::SimBoardConfig config = entry::testing::unpacedBoard(c.chips);
        config.accessNs = 1000;  // the waveform's clock: one microsecond per access
        Monitored m(config);
        ASSERT_TRUE(m.waitForRows(6));
        EXPECT_TRUE(m.bus.isVisible());
        EXPECT_EQ(m.bus.windowTitle(), "Orvane Selvar [Bus]");

        // Chip select is low from power-up, then falls at the start of each later frame.
        std::vector<std::string> falls = {"0.000"};
        std::uint8_t level = 0;
        const auto& log = m.p.log().accesses;
        for (std::size_t i = 0; i < log.size(); ++i) {
            if (log[i].kind == 'W' && log[i].address == 0x378) {
                if ((level & 0x02) && !(log[i].value & 0x02)) {
                    falls.push_back(QString::number((i + 1) / 1000.0, 'f', 3).toStdString());
                }
                level = log[i].value;
            }
        }
        ASSERT_EQ(falls.size(), 6u);
        for (int r = 0; r < 6; ++r) {
            Row expected = r < 4 ? kStartUpGain[r] : Row{std::to_string(r + 1), ""};
            if (r >= 4) {
                expected.insert(expected.end(), c.readBack.begin(), c.readBack.end());
            }
            expected[1] = falls[static_cast<std::size_t>(r)];
            EXPECT_EQ(m.row(r), expected) << "row " << r;
        }
    }
}

TEST(BusMonitor, AddsAMovesFrameClearsAndHoldsRowsWhilePaused) {
    Monitored m;
    ASSERT_TRUE(m.waitForRows(6));
    m.moveDut1Left(200);  // +4.0 dB
    ASSERT_TRUE(m.waitForRows(7));
    EXPECT_EQ(m.row(6)[2] + " " + m.row(6)[3] + " " + m.row(6)[4], "gain 0000 00C8");
    EXPECT_EQ(m.table.model()->index(6, 0).data(Qt::ToolTipRole).toString().toStdString(),
              "DUT2: Left -Inf, Right -Inf dB\nDUT1: Left 4.0, Right -Inf dB");
    EXPECT_EQ(m.p.control<QLabel>(m.bus, "lblDUT1Reg").text().toStdString(),
              "DUT1:  00C8   Left 4.0, Right -Inf dB");
    // Read back, each chip's word is in its own column: only DUT1's moved.
    m.p.program().hw().readBackGainRegisters({}, {.left = 200, .right = 0});
    ASSERT_TRUE(m.waitForRows(8));
    EXPECT_EQ(m.row(7)[2] + " " + m.row(7)[3] + " " + m.row(7)[4], "read-back 0000 00C8");

    // MUTE is active low: the line's text says what it does, not its level.
    const auto& lines = m.p.control<LineTraceView>(m.bus, "lineTrace");
    EXPECT_TRUE(lines.levelTexts().contains("MUTE released"));
    m.p.dut1().chkMute().click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return lines.levelTexts().contains("MUTE muted"); }, 1000));
    m.p.dut1().chkMute().click();

    m.p.control<QPushButton>(m.bus, "btnClear").click();
    EXPECT_EQ(m.rows(), 0);
    auto& pause = m.p.control<QCheckBox>(m.bus, "chkPause");
    pause.click();
    m.moveDut1Left(10);
    m.moveDut1Left(20);
    QTest::qWait(100);
    EXPECT_EQ(m.rows(), 0) << "rows added while paused";
    pause.click();
    ASSERT_TRUE(m.waitForRows(2));
    EXPECT_EQ(m.row(0)[0] + " " + m.row(0)[4], "1 000A");
    EXPECT_EQ(m.row(1)[0] + " " + m.row(1)[4], "2 0014");

    // Closing only hides it; the entry window still runs the program.
    QCloseEvent close;
    QApplication::sendEvent(&m.bus, &close);
    EXPECT_FALSE(m.bus.isVisible());
    EXPECT_TRUE(m.p.entry().isVisible());
}

// Counts a widget's paints and the table rows each one showed.
class PaintWatch : public QObject {
  public:
    PaintWatch(QWidget& painted, const QTableView& table) : table_(table) {
        painted.installEventFilter(this);
    }
    std::vector<int> rowsPainted;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            rowsPainted.push_back(table_.model()->rowCount());
        }
        return false;
    }

  private:
    const QTableView& table_;
};

TEST(BusMonitor, FollowsARampAtMostThirtyTimesASecond) {
    platform::SimBoardConfig config = entry::testing::unpacedBoard();
    config.accessNs = 1000;  // 10 ms of waiting after each move
    Monitored m(config);
    ASSERT_TRUE(m.waitForRows(6));
    m.p.control<QPushButton>(m.p.dut1(), "btn0dB").click();
    m.p.dut1().txtBottom().setText("-10");
    ASSERT_TRUE(m.waitForRows(8));
    QTest::qWait(50);
    PaintWatch watch(*m.table.viewport(), m.table);
    QElapsedTimer clock;
    clock.start();
    m.p.control<QPushButton>(m.p.dut1(), "btnDown").click();  // 20 moves, 40 frames
    ASSERT_TRUE(entry::testing::finishJob(m.p.program()));
    const double seconds = static_cast<double>(clock.elapsed()) / 1000;
    ASSERT_GE(watch.rowsPainted.size(), 3u) << "not repainted during the ramp";
    // A thirtieth of a second between refreshes, counting one at each end of the measured span.
    EXPECT_LE(static_cast<double>(watch.rowsPainted.size()), seconds * 30 + 2);
    EXPECT_TRUE(std::is_sorted(watch.rowsPainted.begin(), watch.rowsPainted.end()));
    EXPECT_GT(watch.rowsPainted.back(), watch.rowsPainted.front());
    EXPECT_TRUE(m.waitForRows(8 + 40)) << "the ramp's last frames show after it";
}

TEST(BusMonitor, KeepsTheLastHundredThousandFramesFollowingTheNewestUnlessScrolledUp) {
    Monitored m;
    ASSERT_TRUE(m.waitForRows(6));
    const auto send = [&](int frames) {
        for (int i = 0; i < frames; ++i) {
            m.p.program().hw().sendGainWords({}, {.left = i & 0xFF, .right = 0});
        }
    };
    const auto lastRowIs = [&](std::uint64_t number) {
        return QTest::qWaitFor([&] { return m.row(m.rows() - 1)[0] == std::to_string(number); },
                               1000);
    };
    const int extra = 10;
    send(static_cast<int>(BusCapture::kCapacity) + extra - 6);
    ASSERT_TRUE(lastRowIs(BusCapture::kCapacity + extra));
    EXPECT_EQ(m.rows(), static_cast<int>(BusCapture::kCapacity));
    EXPECT_EQ(m.row(0)[0], std::to_string(extra + 1));
    QScrollBar& bar = *m.table.verticalScrollBar();
    EXPECT_EQ(bar.value(), bar.maximum()) << "the newest row is not in view";

    bar.setValue(bar.maximum() / 2);  // the operator scrolls up: the view stays put
    const int scrolled = bar.value();
    send(3);
    ASSERT_TRUE(lastRowIs(BusCapture::kCapacity + extra + 3));
    EXPECT_EQ(bar.value(), scrolled);
}

// sigrok's SPI decoder prints each frame's 16-bit words as "%02X": "00", "C8", "C0C0".
std::string sigrokWord(const std::string& hex) {
    const uint word = QString::fromStdString(hex).toUInt(nullptr, 16);
    return QString::number(word, 16).toUpper().rightJustified(2, '0').toStdString();
}

std::vector<std::string> sigrokFrames(const QString& vcd, const char* annotation) {
    QProcess sigrok;
    sigrok.start("sigrok-cli",
                 {"-I", "vcd", "-i", vcd, "-A", QString("spi=") + annotation, "-P",
                  "spi:clk=clk:mosi=mosi:miso=miso:cs=cs:cs_polarity=active-low:cpol=0:cpha=0:"
                  "bitorder=msb-first:wordsize=16"});
    EXPECT_TRUE(sigrok.waitForFinished(60000)) << "sigrok-cli did not run";
    std::vector<std::string> lines;
    for (const QString& l :
         QString(sigrok.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts)) {
        lines.push_back(l.toStdString());
    }
    return lines;
}

TEST(BusMonitor, SavesTheRowsAsAWaveformThatDecodesBackAndAsCsv) {
    Monitored m(entry::testing::unpacedBoard(1));
    m.moveDut1Left(200);
    m.p.program().hw().readBackGainRegisters({}, {.left = 200, .right = 0});
    ASSERT_TRUE(m.waitForRows(8));
    QTemporaryDir dir;
    for (const char* name : {"capture.vcd", "capture.csv"}) {
        const QString path = dir.filePath(name);
        m.bus.setSavePathChooser([&](QWidget&) { return path; });
        m.p.control<QPushButton>(m.bus, "btnSave").click();
        ASSERT_TRUE(QFile::exists(path)) << name;
    }

    const auto mosi = sigrokFrames(dir.filePath("capture.vcd"), "mosi-transfer");
    const auto miso = sigrokFrames(dir.filePath("capture.vcd"), "miso-transfer");
    ASSERT_EQ(mosi.size(), 8u);
    ASSERT_EQ(miso.size(), 8u);
    QFile csv(dir.filePath("capture.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_EQ(csv.readLine().toStdString(), "#,Time (ms),Kind,DUT2,DUT1,Chain\n");
    for (int r = 0; r < 8; ++r) {
        const Row row = m.row(r);
        SCOPED_TRACE(row[0]);
        EXPECT_EQ(csv.readLine().toStdString(), row[0] + "," + row[1] + "," + row[2] + "," +
                                                    row[3] + "," + row[4] + "," + row[5] + "\n");
        if (row[2] == "gain") {
            EXPECT_EQ(mosi[r], "spi-1: " + sigrokWord(row[3]) + " " + sigrokWord(row[4]));
        } else {  // one chip: its word comes out first, DUT2 gave none
            EXPECT_EQ(row[3], "----");
            const std::string first = "spi-1: " + sigrokWord(row[4]) + " ";
            EXPECT_EQ(miso[r].substr(0, first.size()), first);
        }
    }
    EXPECT_EQ(m.row(7)[4], "00C8");
}

TEST(BusMonitor, SaysWhenASaveCouldNotBeWrittenWhole) {
    Monitored m;
    ASSERT_TRUE(m.waitForRows(6));
    QTemporaryDir dir;
    for (const char* name : {"full.vcd", "full.csv"}) {
        ASSERT_TRUE(QFile::link("/dev/full", dir.filePath(name)));
    }
    for (const char* name : {"full.vcd", "full.csv", "no-such-folder/capture.vcd"}) {
        std::string error;
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(saveCapture(m.p.program().capture(), dir.filePath(name).toStdString(), error))
            << name;
        // A save is no trace: the run goes on being recorded wherever it is.
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(said.find("not recorded"), std::string::npos) << said;
        EXPECT_NE(error.find(name), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace selvar::monitor
