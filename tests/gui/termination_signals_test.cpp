// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/termination_signals.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <csignal>

namespace selvar::entry {
namespace {

// Key repeat on a held Ctrl+C while the event loop is busy (a ramp) sends hundreds of
// signals that nobody drains. Each must return at once, and the program must still close.
TEST(TerminationSignals, AStormOfSignalsWhileTheLoopIsBusyNeitherBlocksNorIsLost) {
    int closes = 0;
    TerminationSignals termination([&closes] { ++closes; });
    ::alarm(20);  // a handler blocked on a full pipe would hang here; SIGALRM then ends the test
    for (int i = 0; i < 5000; ++i) {
        std::raise(i % 2 == 0 ? SIGINT : SIGTERM);
    }
    ::alarm(0);
    QElapsedTimer waited;
    waited.start();
    while (closes == 0 && waited.elapsed() < 2000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    EXPECT_GE(closes, 1);
    // Drained: a later signal closes again.
    const int before = closes;
    std::raise(SIGHUP);
    waited.restart();
    while (closes == before && waited.elapsed() < 2000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    EXPECT_EQ(closes, before + 1);
}

}  // namespace
}  // namespace selvar::entry
