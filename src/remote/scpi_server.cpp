// SPDX-License-Identifier: GPL-3.0-or-later
#include "remote/scpi_server.h"

#include <QTcpServer>
#include <algorithm>
#include <functional>
#include <string_view>

#include "remote/tcp_connection.h"

namespace selvar::remote {
namespace {

// Bytes read from one client before the others get their turn.
constexpr qint64 kChunk = 4096;
// A client that sends queries but never reads its replies is not read from until it catches up,
// so neither its replies nor its requests can fill the memory.
constexpr qint64 kMaxUnsentReplies = 1 << 20;
// The longest a closing connection waits for its peer to take the last bytes. At SYSTem:EXIT
// this is also the longest the program waits for every client's replies to go out.
constexpr int kLingerMs = 1000;
constexpr int kMaxRefusing = 64;
constexpr std::string_view kTooManyClients = "-200,\"Execution error;too many clients (4)\"\n";
static_assert(ScpiServer::kMaxClients == 4, "the refusal line names the limit");

bool machineLacksFamily(const QTcpServer& server) {
    return server.serverError() == QAbstractSocket::UnsupportedSocketOperationError ||
           server.serverError() == QAbstractSocket::SocketAddressNotAvailableError;
}

// Hands each accepted descriptor over as it is, before Qt wraps it in a socket of its own.
class Listener : public QTcpServer {
  public:
    Listener(std::function<void(qintptr)> onAccept, QObject* parent)
        : QTcpServer(parent), onAccept_(std::move(onAccept)) {}

  protected:
    void incomingConnection(qintptr descriptor) override { onAccept_(descriptor); }

  private:
    std::function<void(qintptr)> onAccept_;
};

}  // namespace

ScpiServer::ScpiServer(control::Instrument& instrument, QObject* parent)
    : QObject(parent), instrument_(instrument) {
    exitDeadline_.setSingleShot(true);
    connect(&exitDeadline_, &QTimer::timeout, this, [this] { exitWhenFlushed(); });
}

ScpiServer::~ScpiServer() = default;

QList<QHostAddress> ScpiServer::loopback() {
    return {QHostAddress(QHostAddress::LocalHost), QHostAddress(QHostAddress::LocalHostIPv6)};
}

bool ScpiServer::listen(quint16 port, const QList<QHostAddress>& addresses, QString* error) {
    for (const QHostAddress& address : addresses) {
        auto* server = new Listener([this](qintptr descriptor) { accept(descriptor); }, this);
        if (!server->listen(address, port)) {
            const bool skip =
                address == QHostAddress(QHostAddress::LocalHostIPv6) && machineLacksFamily(*server);
            if (!skip && error != nullptr) {
                *error = address.toString() + ": " + server->errorString();
            }
            delete server;
            if (skip) {
                continue;
            }
            // All or nothing: a caller told of a failure must not be left serving half.
            for (QTcpServer* opened : servers_) {
                delete opened;
            }
            servers_.clear();
            return false;
        }
        port = server->serverPort();
        servers_.push_back(server);
    }
    return true;
}

quint16 ScpiServer::port() const {
    return servers_.empty() ? 0 : servers_.front()->serverPort();
}

int ScpiServer::clientCount() const {
    return static_cast<int>(std::count_if(clients_.begin(), clients_.end(),
                                          [](const auto& c) { return !c->gone && !c->finishing; }));
}

void ScpiServer::accept(qintptr descriptor) {
    auto* connection = new TcpConnection(descriptor, this);
    connection->enableKeepAlive();
    settleClients();
    if (clientCount() >= kMaxClients) {
        refuse(*connection);
        return;
    }
    auto client = std::make_unique<Client>();
    client->connection = connection;
    client->session = std::make_unique<Session>(instrument_, Session::JobWait::Hold);
    client->session->setMeasurements(measurements_);
    if (idleTimeout_.count() > 0) {
        client->idleTimer.setSingleShot(true);
        client->idleTimer.setInterval(idleTimeout_);
        connect(&client->idleTimer, &QTimer::timeout, this, [this, connection] {
            if (Client* c = clientOf(connection)) {
                onIdleTimeout(*c);
            }
        });
        client->idleTimer.start();
    }
    clients_.push_back(std::move(client));
    const auto active = [this, connection] {
        if (Client* c = clientOf(connection); c != nullptr && c->idleTimer.isActive()) {
            c->idleTimer.start();
        }
        markReady(connection);
    };
    connect(connection, &TcpConnection::readyRead, this, active);
    connect(connection, &TcpConnection::bytesWritten, this, active);
    // A partial line dies with its session: a client that leaves mid-line changes nothing.
    connect(connection, &TcpConnection::closed, this, [this, connection] {
        if (Client* gone = clientOf(connection)) {
            gone->gone = true;
        }
        if (!running_) {
            reap();
        }
        if (exiting_) {
            exitWhenFlushed();
        }
    });
}

// Told why in one line, then closed as any client is: no bare reset. A flood of connections
// gets a reset beyond a few being told, so that it cannot pile up open descriptors.
void ScpiServer::refuse(TcpConnection& connection) {
    connect(&connection, &TcpConnection::closed, &connection, &QObject::deleteLater);
    if (refusing_ >= kMaxRefusing) {
        connection.abort();
        return;
    }
    ++refusing_;
    connect(&connection, &TcpConnection::closed, this, [this] { --refusing_; });
    connection.write(kTooManyClients);
    connection.closeWhenFlushed(kLingerMs);
}

// Clients whose end has already arrived, unseen by the event loop yet, are finished first, so
// that a client connecting right after others left is not refused for their places.
void ScpiServer::settleClients() {
    std::vector<QPointer<TcpConnection>> connections;
    for (const auto& client : clients_) {
        connections.push_back(client->connection);
    }
    for (const QPointer<TcpConnection>& connection : connections) {
        if (connection) {
            connection->pollInput();
        }
    }
}

ScpiServer::Client* ScpiServer::clientOf(const TcpConnection* connection) {
    const auto found = std::find_if(clients_.begin(), clients_.end(), [connection](const auto& c) {
        return c->connection == connection;
    });
    return found == clients_.end() ? nullptr : found->get();
}

void ScpiServer::markReady(TcpConnection* connection) {
    if (std::find(ready_.begin(), ready_.end(), connection) == ready_.end()) {
        ready_.push_back(connection);
    }
    // A gesture may run a nested event loop (a message box); bytes that arrive meanwhile wait
    // their turn instead of running a command inside another.
    if (!running_) {
        drain();
    }
}

void ScpiServer::drain() {
    running_ = true;
    while (!ready_.empty()) {
        const QPointer<TcpConnection> connection = ready_.front();
        ready_.pop_front();
        Client* client = connection ? clientOf(connection) : nullptr;
        if (client != nullptr && !client->gone && !client->finishing) {
            serve(*client);
        }
    }
    running_ = false;
    reap();
    if (exitPending_ && !exiting_) {
        beginExit();
    }
}

// A held session still reads its bytes (so that an ABORt among them acts at once), up to what
// it may keep; it runs on when the job ends.
void ScpiServer::serve(Client& client) {
    TcpConnection& connection = *client.connection;
    Session& session = *client.session;
    if (session.held() && !instrument_.jobRunning()) {
        run(client, {});
    }
    if (client.finishing) {
        return;
    }
    if (connection.bytesToWrite() > kMaxUnsentReplies ||
        session.heldBytes() >= Session::kMaxHeldBytes) {
        if (session.held()) {
            serveAfterJob(client);
        }
        return;  // bytesWritten or the job's end brings it back
    }
    const QByteArray bytes = connection.read(kChunk);
    run(client, {bytes.constData(), static_cast<std::size_t>(bytes.size())});
    if (client.finishing) {
        return;
    }
    if (session.held()) {
        serveAfterJob(client);
    } else if (connection.bytesAvailable() > 0 && !session.closed()) {
        ready_.push_back(client.connection);
    } else if (connection.inputEnded() && connection.bytesToWrite() == 0) {
        // Every complete line it sent has been answered; a partial last line is dropped.
        finish(client, kLingerMs);
    }
}

// Runs what the session held, once the job has ended, and then the lines the bytes complete.
void ScpiServer::run(Client& client, std::string_view bytes) {
    TcpConnection& connection = *client.connection;
    bool refusedAsHttp = false;
    const LineHandler onLine = [&](const LineResult& line) {
        if (!line.reply.empty()) {
            connection.write(line.reply);
            connection.write("\n");
        }
        refusedAsHttp = refusedAsHttp || line.refusedAsHttp;
        if (line.exitRequested) {
            exitPending_ = true;
            client.session->close();  // the program ends with this line
        }
    };
    if (client.session->held() && !instrument_.jobRunning()) {
        client.session->resume(onLine);
    }
    client.session->receive(bytes, onLine);
    connection.flush();
    if (refusedAsHttp) {
        client.finishing = true;
        connection.abort();  // looked like HTTP: not one byte more either way
    }
}

// A session held behind the running job is served again when the job ends.
void ScpiServer::serveAfterJob(Client& client) {
    if (client.awaitingJob) {
        return;
    }
    client.awaitingJob = true;
    instrument_.afterJob([server = QPointer<ScpiServer>(this), connection = client.connection] {
        Client* waiting = server && connection ? server->clientOf(connection) : nullptr;
        if (waiting != nullptr) {
            waiting->awaitingJob = false;
            server->markReady(connection);
        }
    });
}

// Idle: nothing received for the whole idle time, and neither a reply waiting to go out nor
// received bytes waiting to run. A client's own long-running work, once there is such, keeps it
// busy too.
bool ScpiServer::isIdle(const Client& client) const {
    return client.connection->bytesToWrite() == 0 && client.connection->bytesAvailable() == 0 &&
           !client.session->held();
}

void ScpiServer::onIdleTimeout(Client& client) {
    if (client.gone || client.finishing) {
        return;
    }
    if (isIdle(client)) {
        finish(client, kLingerMs);
    } else {
        client.idleTimer.start();
    }
}

void ScpiServer::finish(Client& client, int lingerMs) {
    client.finishing = true;
    client.idleTimer.stop();
    client.connection->closeWhenFlushed(lingerMs);
}

// Lines that had arrived from the other clients when the exit ran are answered too, once: what
// the system holds is read and run. Then nothing more runs, no one new is served, and the program
// ends once every reply has gone out, or after a second at most.
void ScpiServer::beginExit() {
    exiting_ = true;
    for (QTcpServer* server : servers_) {
        server->close();
    }
    exitDeadline_.start(kLingerMs);
    settleClients();
    std::vector<Client*> open;
    for (const auto& client : clients_) {
        if (!client->gone && !client->finishing) {
            open.push_back(client.get());
        }
    }
    for (Client* client : open) {
        finish(*client, kLingerMs);
    }
    exitWhenFlushed();
}

void ScpiServer::exitWhenFlushed() {
    const bool allClosed = std::all_of(clients_.begin(), clients_.end(), [](const auto& c) {
        return c->gone || !c->connection || c->connection->isClosed();
    });
    if (!exiting_ || exitSignalled_ || (!allClosed && exitDeadline_.isActive())) {
        return;
    }
    exitDeadline_.stop();
    exitSignalled_ = true;
    emit exitRequested();
}

void ScpiServer::reap() {
    const auto end = std::remove_if(clients_.begin(), clients_.end(), [](const auto& client) {
        if (client->gone && client->connection) {
            client->connection->deleteLater();
        }
        return client->gone;
    });
    clients_.erase(end, clients_.end());
}

}  // namespace selvar::remote
