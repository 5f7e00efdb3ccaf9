// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/selected_port.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "access_recorder.h"
#include "platform/sim_board.h"

namespace selvar::platform {
namespace {

using testing::Access;
using testing::AccessRecorder;

// What reached the backend, and when backends came and went.
struct BackendLog {
    std::vector<Access> accesses;
    std::vector<std::string> events;
};

class RecordingBackend : public PortIo {
  public:
    RecordingBackend(BackendLog& log, int lpt) : log_(log), lpt_(lpt) {}
    ~RecordingBackend() override { log_.events.push_back("close LPT" + std::to_string(lpt_)); }
    std::uint8_t read(std::uint16_t address) override {
        log_.accesses.push_back({'R', address, 0x5A});
        return 0x5A;
    }
    void write(std::uint16_t address, std::uint8_t value) override {
        log_.accesses.push_back({'W', address, value});
    }

  private:
    BackendLog& log_;
    int lpt_;
};

// Opens recording backends, or fails for the LPTs listed in failing.
class FakeProvider : public PortProvider {
  public:
    explicit FakeProvider(BackendLog& log) : log_(log) {}
    Opened open(int lpt, std::uint16_t /*base*/) override {
        log_.events.push_back("open LPT" + std::to_string(lpt));
        if (lpt == failingLpt) {
            return {nullptr, "LPT" + std::to_string(lpt) + ": cannot open: broken"};
        }
        return {std::make_unique<RecordingBackend>(log_, lpt), {}};
    }
    int failingLpt = 0;

  private:
    BackendLog& log_;
};

struct Rig {
    BackendLog log;
    FakeProvider provider{log};
    AccessRecorder traffic;
    std::vector<std::string> reported;
    SelectedPort port{provider, [this](const std::string& m) { reported.push_back(m); }, &traffic};
};

TEST(SelectedPort, PassesTheThreeRegistersOfTheSelectedPortThrough) {
    Rig rig;
    rig.port.select(1, 0x378);
    EXPECT_TRUE(rig.port.present());
    EXPECT_EQ(rig.port.base(), 0x378);
    rig.port.write(0x378, 0x1B);
    EXPECT_EQ(rig.port.read(0x379), 0x5A);
    rig.port.write(0x37A, 0x00);
    const std::vector<Access> expected{{'W', 0x378, 0x1B}, {'R', 0x379, 0x5A}, {'W', 0x37A, 0}};
    EXPECT_EQ(rig.log.accesses, expected);
    EXPECT_EQ(rig.traffic.accesses, expected);
    EXPECT_TRUE(rig.reported.empty());
}

TEST(SelectedPort, RefusesEveryAddressOutsideTheSelectedPortWithoutTouchingTheBackend) {
    struct Case {
        std::uint16_t base;
        std::vector<std::uint16_t> refused;
    };
    const std::vector<Case> cases{
        {0x378, {0x377, 0x37B, 0x000, 0x001, 0x278, 0x3BC, 0x3BD, 0x80, 0xFFFF}},
        {0x278, {0x277, 0x27B, 0x378, 0x379, 0x37A}},
        {0x3BC, {0x3BB, 0x3BF, 0x3C0, 0x378}},
        {0xFFFD, {0xFFFC, 0x0000, 0x0001}},  // no wrap-around past the top of the I/O space
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.port.select(1, c.base);
        for (const std::uint16_t address : c.refused) {
            EXPECT_THROW(rig.port.read(address), PortAccessRefused) << std::hex << address;
            EXPECT_THROW(rig.port.write(address, 0xFF), PortAccessRefused) << std::hex << address;
        }
        EXPECT_TRUE(rig.log.accesses.empty()) << std::hex << c.base;
        EXPECT_TRUE(rig.traffic.accesses.empty()) << std::hex << c.base;
    }
}

TEST(SelectedPort, RefusesEverythingBeforeAPortIsSelected) {
    Rig rig;
    for (const std::uint16_t address : {0x0, 0x1, 0x2, 0x378, 0x379, 0x37A}) {
        EXPECT_THROW(rig.port.read(address), PortAccessRefused);
        EXPECT_THROW(rig.port.write(address, 0), PortAccessRefused);
    }
    EXPECT_TRUE(rig.log.events.empty());
    EXPECT_TRUE(rig.log.accesses.empty());
    EXPECT_TRUE(rig.traffic.accesses.empty());
}

TEST(SelectedPort, ReleasesThePreviousPortBeforeOpeningTheNext) {
    Rig rig;
    rig.port.select(1, 0x378);
    rig.port.select(2, 0x278);
    rig.port.select(2, 0x278);
    const std::vector<std::string> expected{"open LPT1", "close LPT1", "open LPT2", "close LPT2",
                                            "open LPT2"};
    EXPECT_EQ(rig.log.events, expected);
    EXPECT_THROW(rig.port.write(0x378, 0), PortAccessRefused);
    rig.port.write(0x278, 7);
    EXPECT_EQ(rig.log.accesses, (std::vector<Access>{{'W', 0x278, 7}}));
    EXPECT_EQ(rig.traffic.accesses, rig.log.accesses);
}

TEST(SelectedPort, AFailedOpenIsReportedOnceAndLeavesThePortAbsent) {
    Rig rig;
    rig.provider.failingLpt = 3;
    rig.port.select(3, 0x3BC);
    ASSERT_EQ(rig.reported, std::vector<std::string>{"LPT3: cannot open: broken"});
    EXPECT_FALSE(rig.port.present());
    for (int i = 0; i < 3; ++i) {
        rig.port.write(0x3BC, 0x12);
        EXPECT_EQ(rig.port.read(0x3BC), 0xFF);
        EXPECT_EQ(rig.port.read(0x3BD), 0xFF);
    }
    EXPECT_EQ(rig.reported.size(), 1u);
    EXPECT_TRUE(rig.log.accesses.empty());
    // The trace still shows what the program did, and what an empty port gave back.
    ASSERT_EQ(rig.traffic.accesses.size(), 9u);
    EXPECT_EQ(rig.traffic.accesses[0], (Access{'W', 0x3BC, 0x12}));
    EXPECT_EQ(rig.traffic.accesses[2], (Access{'R', 0x3BD, 0xFF}));
    // The guard still holds on an absent port.
    EXPECT_THROW(rig.port.write(0x378, 0), PortAccessRefused);

    // Picking a working port afterwards brings it back.
    rig.port.select(1, 0x378);
    EXPECT_TRUE(rig.port.present());
    EXPECT_EQ(rig.port.read(0x378), 0x5A);
    EXPECT_EQ(rig.reported.size(), 1u);
    EXPECT_EQ(rig.traffic.accesses.back(), (Access{'R', 0x378, 0x5A}));
}

TEST(SelectedPort, ObserversAttachAndDetachWhileTheProgramRuns) {
    Rig rig;
    rig.port.select(1, 0x378);
    AccessRecorder second;
    {
        ObserverAttachment attached(rig.port.observers(), second);
        rig.port.observers().attach(second);  // twice: still heard once
        rig.port.write(0x378, 1);
        rig.port.observers().detach(rig.traffic);
        rig.port.write(0x378, 2);
    }
    rig.port.write(0x378, 3);  // the attachment is gone: nobody hears this one
    EXPECT_EQ(second.accesses, (std::vector<Access>{{'W', 0x378, 1}, {'W', 0x378, 2}}));
    EXPECT_EQ(rig.traffic.accesses, (std::vector<Access>{{'W', 0x378, 1}}));
    EXPECT_TRUE(rig.port.observers().empty());

    std::vector<AccessRecorder> many(AccessObservers::kCapacity + 1);
    for (std::size_t i = 0; i < AccessObservers::kCapacity; ++i) {
        rig.port.observers().attach(many[i]);
    }
    EXPECT_THROW(rig.port.observers().attach(many.back()), std::length_error);
}

// The simulated board behind a backend that takes whole batches, as a USB adapter does.
class WholeBatches : public PortProvider {
  public:
    explicit WholeBatches(SimBoardConfig config) : sim_(config) {}
    Opened open(int lpt, std::uint16_t base) override {
        return {std::make_unique<Port>(sim_.open(lpt, base).io, batches), {}};
    }
    int batches = 0;

  private:
    struct Port : PortIo {
        Port(std::unique_ptr<PortIo> inner, int& batches)
            : inner_(std::move(inner)), batches_(batches) {}
        std::uint8_t read(std::uint16_t a) override { return inner_->read(a); }
        void write(std::uint16_t a, std::uint8_t v) override { inner_->write(a, v); }
        bool runsBatches() const override { return true; }
        void run(std::uint16_t base, BusBatch& batch) override {
            ++batches_;
            runStepwise(*inner_, base, batch);
        }
        std::unique_ptr<PortIo> inner_;
        int& batches_;
    };
    SimPortProvider sim_;
};

// Observers hear the same accesses whether the backend runs a batch access by access or whole.
TEST(SelectedPort, ABatchReadsTheSameToObserversWhicheverWayItRuns) {
    for (const bool lineHigh : {true, false}) {
        const SimBoardConfig board{.chips = 0, .idleLineHigh = lineHigh, .accessNs = 0};
        BusBatch batch;
        batch.writeData(0x15);
        batch.readData();
        batch.sample();
        batch.writeData(0x1D);
        batch.probe(0x15, 3);
        batch.writeData(0x17);

        SimPortProvider stepwiseProvider(board);
        WholeBatches wholeProvider(board);
        AccessRecorder stepwiseHeard, wholeHeard;
        SelectedPort stepwise(stepwiseProvider, nullptr, &stepwiseHeard);
        SelectedPort whole(wholeProvider, nullptr, &wholeHeard);
        BusBatch first = batch, second = batch;
        for (auto [port, b] : {std::pair{&stepwise, &first}, std::pair{&whole, &second}}) {
            port->select(1, 0x378);
            port->run(*b);
        }
        EXPECT_EQ(wholeProvider.batches, 1);
        EXPECT_EQ(wholeHeard.accesses, stepwiseHeard.accesses) << lineHigh;
        EXPECT_EQ(second.sampled(0), lineHigh);
        EXPECT_EQ(second.probeCount(), lineHigh ? 1 : 4);
    }
}

}  // namespace
}  // namespace selvar::platform
