// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A measurement session over the simulated analog path and a chip that records what it is told.

#include <memory>
#include <string>
#include <vector>

#include "../audio/sim_harness.h"
#include "measure/procedures/measurement_session.h"

namespace selvar::measure::test {

using audio::test::FakeBoard;

// One gesture a procedure made on the chip: "L 192", "R 0", "MUTE 1", "ZCD 0".
using Gestures = std::vector<std::string>;

// The chip's Left and Right codes in the fake board's register, as the instrument's sliders
// would send them; every change is recorded.
class RecordingDut final : public DutAccess {
  public:
    RecordingDut(FakeBoard& board, Gestures& log, int highest)
        : board_(board), log_(log), highest_(highest) {}
    int dut() const override { return 1; }
    int code(Channel channel) const override {
        return channel == Channel::Left ? board_.reg & 0xFF : board_.reg >> 8;
    }
    void setCode(Channel channel, int code) override {
        const int left = channel == Channel::Left ? code : this->code(Channel::Left);
        const int right = channel == Channel::Right ? code : this->code(Channel::Right);
        board_.reg = audio::test::codes(left, right);
        log_.push_back((channel == Channel::Left ? "L " : "R ") + std::to_string(code));
    }
    bool pin(control::PinLine line) const override {
        return line == control::PinLine::Mute ? board_.mute : board_.zcd;
    }
    void setPin(control::PinLine line, bool checked) override {
        (line == control::PinLine::Mute ? board_.mute : board_.zcd) = checked;
        log_.push_back((line == control::PinLine::Mute ? "MUTE " : "ZCD ") +
                       std::to_string(int(checked)));
    }
    int highestCode() const override { return highest_; }

  private:
    FakeBoard& board_;
    Gestures& log_;
    int highest_;
};

// The simulated path routed as the program's bench routes it: through the chip for a DUT, out
// to in for the calibration.
class SimBench final : public AudioBench {
  public:
    explicit SimBench(audio::SimAnalogOptions options = {}, bool present = true)
        : port_(board, std::move(options)), present_(present) {}

    audio::AudioPort* portFor(int dut, Failure& failure) override {
        if (!present_) {
            failure = Failure::NoDevice;
            return nullptr;
        }
        port_.setRoute(audio::SimAudioPort::Route::ThroughChip);
        port_.setChip(dut - 1);
        return &port_;
    }
    audio::AudioPort* loopThroughPort(Failure& failure) override {
        if (!present_) {
            failure = Failure::NoDevice;
            return nullptr;
        }
        port_.setRoute(audio::SimAudioPort::Route::LoopThrough);
        return &port_;
    }
    std::unique_ptr<DutAccess> dut(int) override {
        return std::make_unique<RecordingDut>(board, gestures, highest);
    }
    std::string outputDevice() const override { return "sim"; }
    std::string inputDevice() const override { return "sim"; }

    audio::SimAudioPort& port() { return port_; }

    FakeBoard board;
    Gestures gestures;
    int highest = 255;

  private:
    audio::SimAudioPort port_;
    bool present_;
};

// What a job answered, and how often.
struct Answer {
    QueryReply reply;
    int calls = 0;
};

inline ReplyHandler into(Answer& answer) {
    return [&answer](const QueryReply& reply) {
        answer.reply = reply;
        ++answer.calls;
    };
}

// Runs a job to its end in lockstep; the answer it gave.
inline void runToEnd(MeasurementJob& job) {
    for (int slice = 0; slice < 1000000 && job.runSlice(control::Job::Clock::time_point::max());
         ++slice) {
    }
}

// The four checks, each on DUT1, as the tests and the benchmark run them.
enum class Check { MuteByPin, MuteByCode, CrosstalkIntoLeft, CrosstalkIntoRight, Click, Timeout };

inline std::unique_ptr<MeasurementJob> startCheck(MeasurementSession& session, Check check,
                                                  ReplyHandler done) {
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

}  // namespace selvar::measure::test
