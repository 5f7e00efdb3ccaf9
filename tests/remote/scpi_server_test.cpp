// SPDX-License-Identifier: GPL-3.0-or-later
#include "remote/scpi_server.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cerrno>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <utility>
#include <vector>

#include "fake_instrument.h"

namespace selvar::remote {
namespace {

constexpr int kTimeoutMs = 5000;
constexpr auto kRefusal = "-200,\"Execution error;too many clients (4)\"\n";

// A client on a plain descriptor: QTcpSocket can neither half-close nor tell a reset from an
// orderly close. Non-blocking, so that the server runs while it waits.
class RawClient {
  public:
    explicit RawClient(quint16 port) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        // On loopback the handshake completes from the listen queue, before any accept.
        ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
    }
    ~RawClient() { ::close(fd_); }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    void send(std::string_view bytes) const {
        ASSERT_EQ(::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
    }
    void halfClose() const { ::shutdown(fd_, SHUT_WR); }
    quint16 localPort() const {
        sockaddr_in address{};
        socklen_t size = sizeof address;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size);
        return ntohs(address.sin_port);
    }
    // What arrives until `enough` holds of it, the end of file ("<end>" appended) or a reset
    // ("<reset>"); "<open>" appended when none came in time.
    std::string read(const std::function<bool(const std::string&)>& enough) const {
        std::string text;
        std::string end = "<open>";
        static_cast<void>(QTest::qWaitFor(
            [&] {
                std::array<char, 4096> chunk{};
                const ssize_t got = ::recv(fd_, chunk.data(), chunk.size(), 0);
                if (got > 0) {
                    text.append(chunk.data(), static_cast<std::size_t>(got));
                } else if (got == 0 || errno != EAGAIN) {
                    end = got == 0 ? "<end>" : "<reset>";
                    return true;
                }
                return enough(text);
            },
            kTimeoutMs));
        return enough(text) ? text : text + end;
    }
    std::string readToEnd() const {
        return read([](const std::string&) { return false; });
    }
    std::string readLines(std::size_t count) const {
        return read([count](const std::string& text) {
            return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) >= count;
        });
    }

  private:
    int fd_;
};

// The kernel's own view of the server's end of a loopback connection: its timer, as
// /proc/net/tcp lists it (2: the keepalive timer is armed).
int serverSideTimer(quint16 serverPort, quint16 clientPort) {
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line);  // heading
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues, timer;
        fields >> slot >> local >> remote >> state >> queues >> timer;
        if (std::stoul(local.substr(local.find(':') + 1), nullptr, 16) == serverPort &&
            std::stoul(remote.substr(remote.find(':') + 1), nullptr, 16) == clientPort) {
            return std::stoi(timer.substr(0, timer.find(':')));
        }
    }
    return -1;
}

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
    EXPECT_EQ(ask(*first, "SYST:ERR?\n"), "-113,\"Undefined header;FOO\"\n");
    EXPECT_EQ(instrument.calls, (std::vector<std::string>{"moveSlider 1 0 171"}));
}

TEST_F(ScpiServerTest, TellsAFifthClientWhyItIsRefusedAndServesTheOthers) {
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i < ScpiServer::kMaxClients; ++i) {
        clients.push_back(connectClient());
        EXPECT_EQ(ask(*clients.back(), "*OPC?\n"), "1\n");
    }
    // It speaks at once: bytes left unread at the close must not turn it into a reset.
    const RawClient fifth(server.port());
    fifth.send("*IDN?\n");
    EXPECT_EQ(fifth.readToEnd(), std::string(kRefusal) + "<end>");
    EXPECT_EQ(ask(*clients.front(), "*OPC?\n"), "1\n");
    clients.pop_back();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.clientCount() == 3; }, kTimeoutMs));
    auto replacement = connectClient();
    EXPECT_EQ(ask(*replacement, "*OPC?\n"), "1\n");
}

TEST_F(ScpiServerTest, AClientThatHalfClosesGetsEveryReplyThenTheEnd) {
    for (int round = 0; round < 10; ++round) {
        const RawClient client(server.port());
        client.send("*OPC?\n*IDN?\nSYST:ERR?\nDUT1:MAXA");
        client.halfClose();
        EXPECT_EQ(client.readToEnd(), "1\nOrvane,Selvar Control,0,0.1.0\n0,\"No error\"\n<end>");
    }
    EXPECT_TRUE(instrument.calls.empty());  // the last line had no end
}

TEST_F(ScpiServerTest, ClientsConnectingRightAfterOthersLeftAreServed) {
    std::vector<std::unique_ptr<RawClient>> clients;
    for (int round = 0; round < 10; ++round) {
        clients.clear();  // the server has not seen them go when the next ones come
        for (int i = 0; i < ScpiServer::kMaxClients; ++i) {
            clients.push_back(std::make_unique<RawClient>(server.port()));
            clients.back()->send("*OPC?\n");
        }
        for (const auto& client : clients) {
            EXPECT_EQ(client->readLines(1), "1\n") << "round " << round;
        }
    }
}

TEST_F(ScpiServerTest, AnIdleClientIsClosedAndAKeptAliveOneIsNot) {
    server.setIdleTimeout(std::chrono::milliseconds(300));
    const RawClient idle(server.port());
    const RawClient talking(server.port());
    talking.send("*OPC?\n");
    EXPECT_EQ(talking.readLines(1), "1\n");  // both accepted by now
    EXPECT_EQ(serverSideTimer(server.port(), talking.localPort()), 2);
    for (int i = 0; i < 8; ++i) {
        QTest::qWait(50);
        talking.send("*OPC?\n");
        EXPECT_EQ(talking.readLines(1), "1\n");
    }
    EXPECT_EQ(idle.readToEnd(), "<end>");
    talking.send("*OPC?\n");
    EXPECT_EQ(talking.readLines(1), "1\n");
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
    void ramp(int dut, control::RampDirection direction) override {
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

}  // namespace
}  // namespace selvar::remote

namespace selvar::remote {
namespace {

// A ramp that runs as a job until the test ends it, or until it is aborted.
class JobInstrument : public testing::FakeInstrument {
  public:
    bool running = false;
    std::vector<std::function<void()>> waiting;

    void ramp(int dut, control::RampDirection direction) override {
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
    // The owner has nothing queued: its ABORt is the next line it sends, and still acts at once.
    JobRig r;
    r.startRamp("");
    QTest::qWait(50);
    r.owner.write("ABORt\n*OPC?\n");
    ASSERT_TRUE(JobRig::replied(r.owner, kTimeoutMs));
    EXPECT_EQ(r.owner.readLine(), "1\n");
    EXPECT_EQ(r.instrument.calls, (std::vector<std::string>{"ramp 1 up", "abort"}));
}

}  // namespace
}  // namespace selvar::remote
