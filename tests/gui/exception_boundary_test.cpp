// SPDX-License-Identifier: GPL-3.0-or-later
// An exception that escapes a handler stops that action only: it is reported once and the
// program carries on with the next event.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <string>
#include <vector>

#include "entry/guarded_application.h"
#include "entry_test_program.h"

namespace selvar::entry {
namespace {

// Refuses the next write it hears of, as the guard refuses a stray address.
class RefuseOnce : public platform::AccessObserver {
  public:
    void onRead(std::uint16_t, std::uint8_t) override {}
    void onWrite(std::uint16_t, std::uint8_t) override {
        if (armed) {
            armed = false;
            throw platform::PortAccessRefused("access to 378h refused by the test");
        }
    }
    bool armed = true;
};

TEST(ExceptionBoundary, AThrowingHandlerIsReportedOnceAndTheProgramGoesOn) {
    testing::TestProgram p;
    auto& app = dynamic_cast<GuardedApplication&>(*QCoreApplication::instance());
    std::vector<std::string> reports;
    const auto previous = app.setReporter([&](const std::string& m) { reports.push_back(m); });
    RefuseOnce refuse;
    platform::ObserverAttachment attached(p.program().observers(), refuse);
    p.dut1().show();

    // Delivered as an event, as every operator action is. (Through a mouse event the exception
    // would also cross Qt's widget code, which is built without exception cleanup and leaks
    // that event's bookkeeping: a small price the program pays only on such a fault.)
    const auto pressUnityAsAnEvent = [&] {
        QMetaObject::invokeMethod(
            &p.dut1(), [&] { p.dut1().press0dB(); }, Qt::QueuedConnection);
        QCoreApplication::processEvents();
    };
    pressUnityAsAnEvent();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("access to 378h refused by the test"), std::string::npos);

    // The next action runs whole: both channels at unity reach the chip.
    pressUnityAsAnEvent();
    EXPECT_EQ(reports.size(), 1u);
    EXPECT_EQ(p.board().gainRegister(0), 0xC0C0);
    app.setReporter(previous);
}

}  // namespace
}  // namespace selvar::entry
