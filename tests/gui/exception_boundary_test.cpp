// An exception that escapes a handler stops that action only: it is reported once and the
// program carries on with the next event.

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
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

    QTest::mouseClick(&p.control<QPushButton>(p.dut1(), "btn0dB"), Qt::LeftButton);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("access to 378h refused by the test"), std::string::npos);

    // The next action runs whole: both channels at unity reach the chip.
    QTest::mouseClick(&p.control<QPushButton>(p.dut1(), "btn0dB"), Qt::LeftButton);
    EXPECT_EQ(reports.size(), 1u);
    EXPECT_EQ(p.board().gainRegister(0), 0xC0C0);
    app.setReporter(previous);
}

}  // namespace
}  // namespace selvar::entry
