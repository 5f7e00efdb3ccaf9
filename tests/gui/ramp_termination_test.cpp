// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QRadioButton>
#include <chrono>
#include <thread>

#include "chiplink/mod_selvar_hw.h"
#include "entry/termination_signals.h"
#include "entry_test_program.h"
#include "panel/ui/frm_main_controls.h"

namespace selvar::entry {
namespace {

// A termination signal mid-ramp (here a 19 s ramp at 1 us per access) ends the ramp after the
// move in progress, with the chips holding the last gain sent, and the close follows at once.
TEST(RampTermination, ASignalStopsARunningRampAfterTheMoveInProgress) {
    platform::SimBoardConfig paced = testing::unpacedBoard();
    paced.accessNs = 1000;
    testing::TestProgram p(paced);
    int closes = 0;
    TerminationSignals termination([&closes] { ++closes; });
    p.program().panelsLink().stopRampsOn(termination.request());

    panel::frmMain& dut1 = p.dut1();
    dut1.findChild<QPushButton*>("btn0dB")->click();
    dut1.findChild<QRadioButton*>("optLt0")->setChecked(true);
    dut1.txtBottom().setText("-96.0");
    dut1.cmbStep().setEditText("0.5");
    dut1.cmbDelay().setEditText("50");  // 192 moves, 0.1 s of reads after each
    const int start = dut1.findChild<platform::Slider*>("sldLt0")->value();

    std::thread signaller([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ::kill(::getpid(), SIGTERM);
    });
    QElapsedTimer ramp;
    ramp.start();
    dut1.findChild<QPushButton*>("btnDown")->click();
    ASSERT_TRUE(testing::finishJob(p.program(), 5000));
    const qint64 rampMs = ramp.elapsed();
    signaller.join();

    EXPECT_LT(rampMs, 800) << "the ramp ran on after the signal";
    const int reached = dut1.findChild<platform::Slider*>("sldLt0")->value();
    EXPECT_GT(start - reached, 0) << "no move before the signal";
    EXPECT_LT(start - reached, 10) << "more moves than the time allowed";
    EXPECT_EQ(p.board().gainRegister(0), chiplink::gainWord(dut1.gainCodes()));

    QElapsedTimer waited;
    waited.start();
    while (closes == 0 && waited.elapsed() < 500) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    EXPECT_EQ(closes, 1);
}

}  // namespace
}  // namespace selvar::entry
