// SPDX-License-Identifier: GPL-3.0-or-later
// The measurement commands over a host whose jobs answer what a test tells them: the requests
// the parameters make, the reply formats, the failures' errors, and the reply that comes when
// its job ends while other connections are served.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "control/job.h"
#include "fake_instrument.h"
#include "remote/measurement_host.h"
#include "remote/session.h"

namespace selvar::remote {
namespace {

using measure::Failure;
using measure::QueryReply;
using Kind = MeasurementRequest::Kind;

QueryReply values(std::vector<double> given) {
    return {Failure::None, {}, std::move(given)};
}
QueryReply failure(Failure failure, std::string detail = {}) {
    return {failure, std::move(detail), {}};
}

// The program's one job slot: a job runs only when the test turns the loop.
class JobInstrument : public testing::FakeInstrument {
  public:
    control::JobRunner runner;

    bool jobRunning() const override { return runner.running(); }
    void abortJob() override { runner.stop(); }
    void afterJob(std::function<void()> then) override { then(); }
    void awaitJob() override { runner.runToEnd(); }
};

// Answers `reply` after `slices` slices, or Stopped at the first slice after a stop request.
class ScriptedJob final : public measure::MeasurementJob {
  public:
    ScriptedJob(QueryReply reply, int slices, measure::ReplyHandler done)
        : reply_(std::move(reply)), slices_(slices), done_(std::move(done)) {}
    std::string description() const override { return "scripted"; }
    measure::Progress progress() const override { return {}; }
    bool runSlice(Clock::time_point) override {
        if (stopRequested()) {
            done_(failure(Failure::Stopped));
            return false;
        }
        if (slices_-- > 0) {
            return true;
        }
        done_(reply_);
        return false;
    }

  private:
    QueryReply reply_;
    int slices_;
    measure::ReplyHandler done_;
};

class NoBench final : public measure::AudioBench {
  public:
    audio::AudioPort* portFor(int, Failure& failure) override {
        failure = Failure::NoDevice;
        return nullptr;
    }
    audio::AudioPort* loopThroughPort(Failure& failure) override { return portFor(1, failure); }
    std::unique_ptr<measure::DutAccess> dut(int) override { return nullptr; }
    std::string outputDevice() const override { return {}; }
    std::string inputDevice() const override { return {}; }
};

class FakeHost final : public MeasurementHost {
  public:
    explicit FakeHost(JobInstrument& instrument) : instrument_(instrument) {}

    QueryReply next;  // what the next job answers
    int slices = 0;   // how long it runs first
    std::vector<MeasurementRequest> requests;

    measure::MeasurementSession& session() override { return session_; }
    void run(const MeasurementRequest& request, measure::ReplyHandler done) override {
        requests.push_back(request);
        instrument_.runner.start(std::make_unique<ScriptedJob>(next, slices, std::move(done)));
    }
    std::vector<std::string> audioDevices(AudioEnd) override { return {"sim", "card"}; }
    std::string audioDevice(AudioEnd) const override { return "sim"; }
    bool chooseAudioDevice(AudioEnd, const std::string&, std::string&) override { return true; }
    bool saveCalibration(const std::string&, std::string&) override { return true; }
    bool loadCalibration(const std::string&, std::string&) override { return true; }
    int cabledDut() const override { return 1; }
    void setCabledDut(int) override {}

  private:
    JobInstrument& instrument_;
    NoBench bench_;
    measure::MeasurementSession session_{bench_};
};

// What a request came to, as one text: "gain 2 R 130", "mute 1 code".
std::string describe(const std::vector<MeasurementRequest>& requests) {
    if (requests.empty()) {
        return "none";
    }
    const MeasurementRequest& r = requests.front();
    std::string text = r.kind == Kind::Gain   ? "gain"
                       : r.kind == Kind::Mute ? "mute"
                       : r.kind == Kind::Thdn ? "thdn"
                                              : "other";
    text += ' ' + std::to_string(r.dut);
    if (r.kind == Kind::Mute) {
        return text + (r.byPin ? " pin" : " code");
    }
    text += r.channel == measure::Channel::Left ? " L" : " R";
    return r.code ? text + ' ' + std::to_string(*r.code) : text;
}

// One line run as a script runs it: the reply arrives once the job has ended.
TEST(MeasureCommands, AskForTheProcedureAndAnswerItsValuesOrItsError) {
    struct Case {
        std::string line;
        QueryReply given;
        std::string request;
        std::string reply;
        std::vector<std::string> errors;
    };
    const Case cases[] = {
        {"DUT1:MEAS:GAIN? LEFT", values({-0.7314}), "gain 1 L", "-0.731", {}},
        {"DUT2:MEASure:GAIN? righ,130", values({-31.0}), "gain 2 R 130", "-31.000", {}},
        {"DUT1:MEAS:MUTE? PIN", values({110.2131, 0}), "mute 1 pin", "110.213,0", {}},
        {"DUT1:MEAS:MUTE? CODE", values({120, 1}), "mute 1 code", "120.000,1", {}},
        {"DUT1:MEAS:THDN? LEFT", values({-80.12345}), "thdn 1 L", "-80.123", {}},
        {"DUT1:MEAS:GAIN? LEFT,1", values({9.91e37}), "gain 1 L 1", "9.91E37", {}},
        {"DUT1:MEAS:GAIN? LEFT", values({-0.0004}), "gain 1 L", "0.000", {}},
        {"DUT1:MEAS:ZCD:CLIC?", values({-30.5, -61.25}), "other 1 L", "-30.500,-61.250", {}},
        {"DUT1:MEAS:ZCD:TIM?", values({16.04}), "other 1 L", "16.040", {}},
        {"DUT1:MEAS:GAIN? LEFT;GAIN? RIGH", values({1.5}), "gain 1 L", "1.500;1.500", {}},
        {"DUT1:MEAS:GAIN? LEFT",
         failure(Failure::NoDevice),
         "gain 1 L",
         "",
         {"-241,\"Hardware missing;no audio device\""}},
        {"DUT1:MEAS:GAIN? LEFT",
         failure(Failure::DeviceLost, "device unplugged"),
         "gain 1 L",
         "",
         {"-240,\"Hardware error;device unplugged\""}},
        {"DUT2:MEAS:GAIN? LEFT",
         failure(Failure::WrongDut),
         "gain 2 L",
         "",
         {"-221,\"Settings conflict;audio is cabled to DUT1\""}},
        {"DUT1:MEAS:GAIN? LEFT",
         failure(Failure::NotAvailable, "no tone"),
         "gain 1 L",
         "",
         {"-200,\"Execution error;no tone\""}},
        {"AUD:DEV:LIST? OUTP;:AUD:DEV:INP?", {}, "none", "\"sim\",\"card\";\"sim\"", {}},
        {"AUD:DEV:OUTP sim",
         {},
         "none",
         "",
         {"-104,\"Data type error;the device is a quoted string\""}},
        {"AUD:DUT 3", {}, "none", "", {"-222,\"Data out of range;3 is outside 1..2\""}},
        {"DUT1:MEAS:GAIN?", {}, "none", "", {"-109,\"Missing parameter\""}},
        {"DUT1:MEAS:GAIN? LEFT,256",
         {},
         "none",
         "",
         {"-222,\"Data out of range;256 is outside 0..255\""}},
        {"DUT1:MEAS:MUTE? LEFT",
         {},
         "none",
         "",
         {"-224,\"Illegal parameter value;LEFT is not PIN|CODE\""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        JobInstrument instrument;
        FakeHost host(instrument);
        host.next = c.given;
        Session session(instrument);
        session.setMeasurements(&host);
        const LineResult result = session.runLine(c.line);
        EXPECT_EQ(describe(host.requests), c.request);
        EXPECT_EQ(result.reply, c.reply);
        std::vector<std::string> errors;
        for (std::size_t i = 0; i < result.errors.size(); ++i) {
            errors.push_back(errorReply(result.errors[i], result.details[i]));
        }
        EXPECT_EQ(errors, c.errors);
    }
}

struct Client {
    explicit Client(JobInstrument& instrument, MeasurementHost& host)
        : session(instrument, Session::JobWait::Hold) {
        session.setMeasurements(&host);
    }
    Session session;
    std::vector<std::string> lines;  // replies, and "errors" for a line with errors only
    LineHandler onLine = [this](const LineResult& line) {
        lines.push_back(line.reply.empty() && !line.errors.empty()
                            ? errorReply(line.errors.front(), line.details.front())
                            : line.reply);
    };
    void send(std::string_view bytes) { session.receive(bytes, onLine); }
};

// Two network clients: the one that asked waits for its reply while the other is served; an
// ABORt stops the measurement, which then answers nothing and queues -200.
TEST(MeasureCommands, DeferTheReplyWhileOtherClientsAreServedAndAbortToNoReply) {
    JobInstrument instrument;
    FakeHost host(instrument);
    host.next = values({-6.0});
    host.slices = 1000;
    Client asker(instrument, host);
    Client other(instrument, host);

    asker.send("DUT1:MEAS:GAIN? LEFT\nDUT1:GAIN:LEFT?\n");
    other.send("DUT1:GAIN:LEFT?\nDUT1:MEAS:GAIN? RIGH\n");
    EXPECT_TRUE(asker.lines.empty());
    EXPECT_EQ(other.lines, std::vector<std::string>{"-9.9E37"});
    ASSERT_TRUE(asker.session.held());
    ASSERT_TRUE(other.session.held());  // its measurement waits for the first one

    instrument.runner.runToEnd();
    asker.session.resume(asker.onLine);
    EXPECT_EQ(asker.lines, (std::vector<std::string>{"-6.000", "-9.9E37"}));
    other.session.resume(other.onLine);
    EXPECT_TRUE(other.session.held());  // now its own runs

    other.send("ABOR\n");
    instrument.runner.runToEnd();
    other.session.resume(other.onLine);
    EXPECT_EQ(other.lines,
              (std::vector<std::string>{"-9.9E37", "-200,\"Execution error;aborted\"", ""}));
    other.send("SYST:ERR?\n");
    EXPECT_EQ(other.lines.back(), "-200,\"Execution error;aborted\"");
    EXPECT_EQ(host.requests.size(), 2U);
}

// Without the measurement side (a front end that was given none) every audio command finds
// no hardware, and nothing else changes.
TEST(MeasureCommands, WithoutAMeasurementSideFindNoHardware) {
    JobInstrument instrument;
    Session session(instrument);
    for (const char* line : {"DUT1:MEAS:GAIN? LEFT", "AUD:DEV:OUTP \"sim\"", "AUD:CAL"}) {
        SCOPED_TRACE(line);
        const LineResult result = session.runLine(line);
        EXPECT_EQ(result.errors, std::vector<int>{-241});
        EXPECT_FALSE(instrument.runner.running());
    }
}

}  // namespace
}  // namespace selvar::remote
