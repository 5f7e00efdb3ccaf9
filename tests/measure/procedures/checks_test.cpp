// SPDX-License-Identifier: GPL-3.0-or-later
// Mute depth, crosstalk and the ZCD checks, end to end through the session on the simulated
// path with injected imperfections.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "measure/audio/analog_controls.h"
#include "measure/audio/sim_analog_options.h"
#include "measure/audio/sim_audio_port.h"
#include "measure/procedures/measurement_session.h"

namespace selvar::measure {
namespace {

using control::PinLine;

// One chip whose codes and lines the simulated path reads directly, cabled to the card.
class Bench final : public AudioBench, public audio::AnalogControls {
  public:
    explicit Bench(const audio::SimAnalogOptions& options) : port_(*this, options) {}

    // As an operator might leave the board: odd codes, ZCD high, MUTE released.
    std::array<int, kChannels> codes{100, 120};
    bool mute = false;
    bool zcd = true;

    std::uint16_t gainRegister(int) const override {
        return std::uint16_t(codes[1] << 8 | codes[0]);
    }
    bool muted() const override { return mute; }
    bool zcdHigh() const override { return zcd; }

    audio::AudioPort* portFor(int, Failure&) override { return &port_; }
    void unplug() { port_.loseDevice(); }
    audio::AudioPort* loopThroughPort(Failure& failure) override {
        failure = Failure::NoDevice;
        return nullptr;
    }
    std::unique_ptr<DutAccess> dut(int) override;
    std::string outputDevice() const override { return "sim"; }
    std::string inputDevice() const override { return "sim"; }

  private:
    audio::SimAudioPort port_;
};

class BenchDut final : public DutAccess {
  public:
    explicit BenchDut(Bench& bench) : bench_(bench) {}
    int dut() const override { return 1; }
    int code(Channel channel) const override { return bench_.codes[std::size_t(index(channel))]; }
    void setCode(Channel channel, int code) override {
        bench_.codes[std::size_t(index(channel))] = code;
    }
    bool pin(PinLine line) const override {
        return line == PinLine::Mute ? bench_.mute : bench_.zcd;
    }
    void setPin(PinLine line, bool checked) override {
        (line == PinLine::Mute ? bench_.mute : bench_.zcd) = checked;
    }
    int highestCode() const override { return 255; }

  private:
    Bench& bench_;
};

std::unique_ptr<DutAccess> Bench::dut(int) {
    return std::make_unique<BenchDut>(*this);
}

enum class Check { MuteByPin, MuteByCode, CrosstalkIntoLeft, CrosstalkIntoRight, Click, Timeout };

struct CheckCase {
    const char* name;
    const char* simAnalog;
    std::optional<std::array<double, kChannels>> calibratedCardGainDb;
    Check check;
    double expected;  // the first reply value
    double tolerance;
    std::optional<double> second;  // the second reply value, exactly, where there is one
};

std::ostream& operator<<(std::ostream& out, const CheckCase& c) {
    return out << c.name;
}

std::unique_ptr<MeasurementJob> start(MeasurementSession& session, Check check, ReplyHandler done) {
    switch (check) {
        case Check::MuteByPin:
            return session.measureMute(1, true, std::move(done));
        case Check::MuteByCode:
            return session.measureMute(1, false, std::move(done));
        case Check::CrosstalkIntoLeft:
            return session.measureCrosstalk(1, Channel::Left, std::move(done));
        case Check::CrosstalkIntoRight:
            return session.measureCrosstalk(1, Channel::Right, std::move(done));
        case Check::Click:
            return session.measureZcdClick(1, std::move(done));
        case Check::Timeout:
            break;
    }
    return session.measureZcdTimeout(1, std::move(done));
}

class Checks : public testing::TestWithParam<CheckCase> {};

TEST_P(Checks, ReadTheInjectedValueAndLeaveTheChipAsFound) {
    const CheckCase& c = GetParam();
    std::string error;
    const auto options = audio::parseSimAnalog(c.simAnalog, error);
    ASSERT_TRUE(options) << error;
    Bench bench(*options);
    MeasurementSession session(bench);
    if (c.calibratedCardGainDb) {
        Calibration calibration;
        calibration.gainDb = *c.calibratedCardGainDb;
        calibration.noiseDbfs = {-120.0, -120.0};
        calibration.crosstalkDb = {-150.0, -150.0};
        session.setCalibration(calibration);
    }
    int changes = 0;
    int progressed = 0;
    MeasurementSession::Observer observer;
    observer.resultsChanged = [&] { ++changes; };
    observer.progress = [&](const Progress&) { ++progressed; };
    session.addObserver(observer);
    std::optional<QueryReply> reply;
    auto job = start(session, c.check, [&](const QueryReply& r) { reply = r; });
    while (job->runSlice(control::Job::Clock::now() + std::chrono::hours(1))) {
    }
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->failure, Failure::None) << reply->detail;
    ASSERT_FALSE(reply->values.empty());
    if (c.check == Check::Click) {
        // The medians apart, ZCD's clicks far below the plain ones.
        ASSERT_EQ(reply->values.size(), 2U);
        EXPECT_GE(reply->values[0] - reply->values[1], c.expected);
    } else {
        EXPECT_NEAR(reply->values[0], c.expected, c.tolerance);
    }
    if (c.second) {
        ASSERT_EQ(reply->values.size(), 2U);
        EXPECT_EQ(reply->values[1], *c.second);
    }
    EXPECT_EQ(changes, 1);
    EXPECT_GT(progressed, 0);
    EXPECT_EQ(bench.codes, (std::array<int, kChannels>{100, 120}));
    EXPECT_FALSE(bench.mute);
    EXPECT_TRUE(bench.zcd);
}

// The floor: a -6 dBFS tone over -120 dBFS white noise read in 100 ms (4800 frames) sees
// -120 - 10·log10(2400) = -153.8 dBFS; 20 dB above it is trusted, so mute depth can show
// about 127.8 dB. A 130 dB mute therefore reads as that floor, flagged.
INSTANTIATE_TEST_SUITE_P(
    Injected, Checks,
    testing::Values(
        CheckCase{"MuteByPin110", "mute-depth=110", {}, Check::MuteByPin, 110.0, 0.5, 0.0},
        CheckCase{"MuteByCode110", "mute-depth=110", {}, Check::MuteByCode, 110.0, 0.5, 0.0},
        CheckCase{"MuteByPin130AtFloor", "mute-depth=130", {}, Check::MuteByPin, 127.8, 1.5, 1.0},
        CheckCase{
            "CrosstalkIntoLeft", "crosstalk=-100", {}, Check::CrosstalkIntoLeft, -100.0, 0.5, {}},
        CheckCase{"CrosstalkIntoRightCardGainsCancel",
                  "crosstalk=-100,card-gain=-0.73:0.21",
                  std::array{-0.73, 0.21},
                  Check::CrosstalkIntoRight,
                  -100.0,
                  0.5,
                  {}},
        CheckCase{"ZcdClicksAtLeast20dBApart", "noise=-120", {}, Check::Click, 20.0, 0.0, {}},
        CheckCase{"ZcdTimeout16", "zcd-timeout-ms=16", {}, Check::Timeout, 16.0, 0.6, {}},
        CheckCase{"ZcdTimeout7p5", "zcd-timeout-ms=7.5", {}, Check::Timeout, 7.5, 0.6, {}}),
    [](const testing::TestParamInfo<CheckCase>& info) { return std::string(info.param.name); });

// A card lost mid-run ends the check with the device's failure and the chip as it was found.
TEST(Checks, EndCleanlyWhenTheCardIsLostMidRun) {
    Bench bench(audio::SimAnalogOptions{});
    MeasurementSession session(bench);
    std::optional<QueryReply> reply;
    auto job = session.measureZcdTimeout(1, [&](const QueryReply& r) { reply = r; });
    ASSERT_TRUE(job->runSlice(control::Job::Clock::now()));
    bench.unplug();
    while (job->runSlice(control::Job::Clock::now() + std::chrono::hours(1))) {
    }
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->failure, Failure::DeviceLost);
    EXPECT_FALSE(session.zcdTimeout());
    EXPECT_EQ(bench.codes, (std::array<int, kChannels>{100, 120}));
    EXPECT_TRUE(bench.zcd);
}

}  // namespace
}  // namespace selvar::measure
