#include "remote/scpi_server.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "fake_instrument.h"

namespace selvar::remote {
namespace {

constexpr int kTimeoutMs = 5000;

class ScpiServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        QString error;
        ASSERT_TRUE(server.listen(0, ScpiServer::loopback(), &error)) << error.toStdString();
    }

    std::unique_ptr<QTcpSocket> connectClient(
        const QHostAddress& address = QHostAddress(QHostAddress::LocalHost)) {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(address, server.port());
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return socket->state() == QAbstractSocket::ConnectedState; }, kTimeoutMs));
        return socket;
    }

    static std::string ask(QTcpSocket& socket, const char* line) {
        socket.write(line);
        if (!QTest::qWaitFor([&] { return socket.canReadLine(); }, kTimeoutMs)) {
            return "(no reply)";
        }
        return socket.readLine().toStdString();
    }

    static bool closedByServer(QTcpSocket& socket) {
        return QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::UnconnectedState; },
                               kTimeoutMs);
    }

    testing::FakeInstrument instrument;
    ScpiServer server{instrument};
};

TEST_F(ScpiServerTest, EachClientHasItsOwnErrorQueueAndCommandsReachTheInstrument) {
    auto first = connectClient();
    auto second = connectClient(QHostAddress(QHostAddress::LocalHostIPv6));
    EXPECT_EQ(ask(*first, "FOO\nDUT1:GAIN:LEFT -10.5;*OPC?\n"), "1\n");
    EXPECT_EQ(ask(*second, "SYST:ERR?\n"), "0,\"No error\"\n");
    EXPECT_EQ(ask(*first, "SYST:ERR?\n"), "-113,\"Undefined header\"\n");
    EXPECT_EQ(instrument.calls, (std::vector<std::string>{"moveSlider 1 0 171"}));
}

TEST_F(ScpiServerTest, RefusesAFifthClientAndServesTheOthers) {
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i < ScpiServer::kMaxClients; ++i) {
        clients.push_back(connectClient());
        EXPECT_EQ(ask(*clients.back(), "*OPC?\n"), "1\n");
    }
    auto fifth = connectClient();
    EXPECT_TRUE(closedByServer(*fifth));
    EXPECT_EQ(ask(*clients.front(), "*OPC?\n"), "1\n");
    clients.pop_back();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.clientCount() == 3; }, kTimeoutMs));
    auto replacement = connectClient();
    EXPECT_EQ(ask(*replacement, "*OPC?\n"), "1\n");
}

TEST_F(ScpiServerTest, AClientLeavingMidLineChangesNothing) {
    auto client = connectClient();
    client->write("DUT1:MAXA");
    client->flush();
    client->disconnectFromHost();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.clientCount() == 0; }, kTimeoutMs));
    EXPECT_TRUE(instrument.calls.empty());
}

TEST_F(ScpiServerTest, AnHttpRequestIsCutOffWithoutAReplyOrAGesture) {
    auto client = connectClient();
    client->write("POST / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n*RST;*IDN?\n");
    EXPECT_TRUE(closedByServer(*client));
    EXPECT_EQ(client->readAll(), QByteArray());
    EXPECT_TRUE(instrument.calls.empty());
}

TEST_F(ScpiServerTest, AnAddressThatCannotBeServedLeavesNoneServed) {
    testing::FakeInstrument other;
    ScpiServer second(other);
    const QHostAddress spare("127.0.0.2");
    QString error;
    EXPECT_FALSE(
        second.listen(server.port(), {spare, QHostAddress(QHostAddress::LocalHost)}, &error));
    EXPECT_TRUE(error.startsWith("127.0.0.1: ")) << error.toStdString();
    QTcpSocket client;
    client.connectToHost(spare, server.port());
    EXPECT_FALSE(client.waitForConnected(kTimeoutMs));
}

// A gesture may spin an event loop of its own (a message box does); another client's command
// must still wait until the gesture has ended.
class NestedLoopInstrument : public testing::FakeInstrument {
  public:
    void ramp(int dut, RampDirection direction) override {
        FakeInstrument::ramp(dut, direction);
        QTest::qWait(200);
        calls.push_back("ramp ended");
    }
};

TEST(ScpiServer, RunsOneCommandAtATimeEvenWhenAGestureSpinsTheEventLoop) {
    NestedLoopInstrument instrument;
    ScpiServer server(instrument);
    ASSERT_TRUE(server.listen(0, {QHostAddress(QHostAddress::LocalHost)}, nullptr));
    QTcpSocket first;
    QTcpSocket second;
    for (QTcpSocket* socket : {&first, &second}) {
        socket->connectToHost(QHostAddress(QHostAddress::LocalHost), server.port());
        ASSERT_TRUE(socket->waitForConnected(kTimeoutMs));
    }
    QTest::qWait(50);
    first.write("DUT1:RAMP:UP;*OPC?\n");
    QTimer::singleShot(50, [&] { second.write("DUT1:MAXA;*OPC?\n"); });
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return first.canReadLine() && second.canReadLine(); }, kTimeoutMs));
    EXPECT_EQ(instrument.calls,
              (std::vector<std::string>{"ramp 1 up", "ramp ended", "setMaxAtten 1"}));
}

TEST_F(ScpiServerTest, ExitIsSignalledAfterItsLineIsAnswered) {
    QSignalSpy exits(&server, &ScpiServer::exitRequested);
    auto client = connectClient();
    EXPECT_EQ(ask(*client, "SYST:EXIT;*OPC?\n"), "1\n");
    EXPECT_EQ(exits.count(), 1);
}

}  // namespace
}  // namespace selvar::remote

namespace selvar::remote {
namespace {

// A ramp that runs as a job until the test ends it, or until it is aborted.
class JobInstrument : public testing::FakeInstrument {
  public:
    bool running = false;
    std::vector<std::function<void()>> waiting;

    void ramp(int dut, RampDirection direction) override {
        FakeInstrument::ramp(dut, direction);
        running = true;
    }
    bool jobRunning() const override { return running; }
    void abortJob() override {
        calls.push_back("abort");
        QTimer::singleShot(0, [this] { end(); });
    }
    void afterJob(std::function<void()> then) override {
        running ? waiting.push_back(std::move(then)) : then();
    }
    void end() {
        running = false;
        for (auto& then : std::exchange(waiting, {})) {
            then();
        }
    }
};

struct JobRig {
    JobInstrument instrument;
    ScpiServer server{instrument};
    QTcpSocket owner;
    QTcpSocket other;

    JobRig() {
        EXPECT_TRUE(server.listen(0, {QHostAddress(QHostAddress::LocalHost)}, nullptr));
        for (QTcpSocket* socket : {&owner, &other}) {
            socket->connectToHost(QHostAddress(QHostAddress::LocalHost), server.port());
            EXPECT_TRUE(socket->waitForConnected(kTimeoutMs));
        }
    }
    void startRamp(const char* thenQueued) {
        owner.write("DUT1:RAMP:UP\n");
        owner.write(thenQueued);
        ASSERT_TRUE(QTest::qWaitFor([&] { return instrument.running; }, kTimeoutMs));
    }
    static bool replied(QTcpSocket& socket, int withinMs) {
        return QTest::qWaitFor([&] { return socket.canReadLine(); }, withinMs);
    }
};

TEST(ScpiServerJobs, WhileARampRunsOtherClientsAreAnsweredUnlessTheirCommandTouchesThePort) {
    struct Case {
        const char* line;
        bool answeredAtOnce;
    };
    const Case cases[] = {
        {"*IDN?\n", true},
        {"SYST:ERR?\n", true},
        {"DUT1:GAIN:LEFT?\n", true},
        {"BUS:LENGth?\n", true},
        {"DUT1:READback?\n", false},
        {"MUTE ON;*OPC?\n", false},
        {"DUT1:GAIN:LEFT -3;*OPC?\n", false},
        {"*RST;*OPC?\n", false},
        {"*OPC?\n", false},
    };
    for (const Case& c : cases) {
        JobRig r;
        r.startRamp("*IDN?\n");
        r.other.write(c.line);
        EXPECT_EQ(JobRig::replied(r.other, 300), c.answeredAtOnce) << c.line;
        EXPECT_FALSE(r.owner.canReadLine()) << c.line << ": the ramp's own client went on";
        EXPECT_EQ(r.instrument.calls, (std::vector<std::string>{"ramp 1 up"})) << c.line;
        r.instrument.end();
        EXPECT_TRUE(JobRig::replied(r.other, kTimeoutMs)) << c.line;
        EXPECT_TRUE(JobRig::replied(r.owner, kTimeoutMs)) << c.line;
    }
}

TEST(ScpiServerJobs, AbortActsWhenReadAheadOfTheSendersQueuedCommands) {
    for (const char* abort : {"ABORt\n", "DUT1:RAMP:ABORt\n", ":abor\n"}) {
        JobRig r;
        r.startRamp("DUT1:MAXAtten;*OPC?\n");
        r.owner.write(abort);
        ASSERT_TRUE(JobRig::replied(r.owner, kTimeoutMs)) << abort;
        EXPECT_EQ(r.owner.readLine(), "1\n") << abort;
        EXPECT_EQ(r.instrument.calls,
                  (std::vector<std::string>{"ramp 1 up", "abort", "setMaxAtten 1", "abort"}))
            << abort << ": aborted on reading, then run in turn";
    }
}

}  // namespace
}  // namespace selvar::remote
