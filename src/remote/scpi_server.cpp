#include "remote/scpi_server.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>

namespace selvar::remote {
namespace {

// Bytes read from one client before the others get their turn.
constexpr qint64 kChunk = 4096;
// A client that sends queries but never reads its replies is not read from until it catches up,
// so neither its replies nor its requests can fill the memory.
constexpr qint64 kMaxUnsentReplies = 1 << 20;
constexpr qint64 kReadBuffer = 64 * 1024;

bool machineLacksFamily(const QTcpServer& server) {
    return server.serverError() == QAbstractSocket::UnsupportedSocketOperationError ||
           server.serverError() == QAbstractSocket::SocketAddressNotAvailableError;
}

}  // namespace

ScpiServer::ScpiServer(Instrument& instrument, QObject* parent)
    : QObject(parent), instrument_(instrument) {}

ScpiServer::~ScpiServer() = default;

QList<QHostAddress> ScpiServer::loopback() {
    return {QHostAddress(QHostAddress::LocalHost), QHostAddress(QHostAddress::LocalHostIPv6)};
}

bool ScpiServer::listen(quint16 port, const QList<QHostAddress>& addresses, QString* error) {
    for (const QHostAddress& address : addresses) {
        auto* server = new QTcpServer(this);
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
        connect(server, &QTcpServer::newConnection, this, [this, server] { accept(*server); });
        servers_.push_back(server);
    }
    return true;
}

quint16 ScpiServer::port() const {
    return servers_.empty() ? 0 : servers_.front()->serverPort();
}

int ScpiServer::clientCount() const {
    return static_cast<int>(std::count_if(clients_.begin(), clients_.end(),
                                          [](const auto& client) { return !client->gone; }));
}

void ScpiServer::accept(QTcpServer& server) {
    while (QTcpSocket* socket = server.nextPendingConnection()) {
        if (clientCount() >= kMaxClients) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        socket->setParent(this);
        socket->setReadBufferSize(kReadBuffer);
        auto client = std::make_unique<Client>();
        client->socket = socket;
        client->session = std::make_unique<Session>(instrument_, Session::JobWait::Hold);
        clients_.push_back(std::move(client));
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { markReady(socket); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { markReady(socket); });
        // A partial line dies with its session: a client that leaves mid-line changes nothing.
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            if (Client* gone = clientOf(socket)) {
                gone->gone = true;
            }
            if (!running_) {
                reap();
            }
        });
        if (socket->bytesAvailable() > 0) {
            markReady(socket);
        }
    }
}

ScpiServer::Client* ScpiServer::clientOf(const QTcpSocket* socket) {
    const auto found = std::find_if(clients_.begin(), clients_.end(), [socket](const auto& client) {
        return client->socket == socket;
    });
    return found == clients_.end() ? nullptr : found->get();
}

void ScpiServer::markReady(QTcpSocket* socket) {
    if (std::find(ready_.begin(), ready_.end(), socket) == ready_.end()) {
        ready_.push_back(socket);
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
        const QPointer<QTcpSocket> socket = ready_.front();
        ready_.pop_front();
        Client* client = socket ? clientOf(socket) : nullptr;
        if (client != nullptr && !client->gone) {
            serve(*client);
        }
    }
    running_ = false;
    reap();
    if (exitPending_) {
        exitPending_ = false;
        emit exitRequested();
    }
}

LineHandler ScpiServer::repliesTo(QTcpSocket& socket) {
    return [this, &socket](const LineResult& line) {
        if (!line.reply.empty()) {
            socket.write(line.reply.data(), static_cast<qint64>(line.reply.size()));
            socket.write("\n", 1);
            // Out now rather than at the loop's next turn, which may come only after the next
            // slice of a running job.
            socket.flush();
        }
        exitPending_ = exitPending_ || line.exitRequested;
    };
}

// A session held behind the running job is served again when the job ends.
void ScpiServer::serveAfterJob(Client& client) {
    if (client.awaitingJob) {
        return;
    }
    client.awaitingJob = true;
    instrument_.afterJob([server = QPointer<ScpiServer>(this), socket = client.socket] {
        Client* waiting = server && socket ? server->clientOf(socket) : nullptr;
        if (waiting != nullptr) {
            waiting->awaitingJob = false;
            server->markReady(socket);
        }
    });
}

// A held session still reads its bytes (so that an ABORt among them acts at once), up to
// what it may keep.
void ScpiServer::serve(Client& client) {
    QTcpSocket& socket = *client.socket;
    Session& session = *client.session;
    if (session.held() && !instrument_.jobRunning()) {
        session.resume(repliesTo(socket));
    }
    if (socket.bytesToWrite() > kMaxUnsentReplies || session.closed() ||
        session.heldBytes() >= Session::kMaxHeldBytes) {
        if (session.held()) {
            serveAfterJob(client);
        }
        return;  // bytesWritten or the job's end brings it back
    }
    const QByteArray bytes = socket.read(kChunk);
    session.receive({bytes.constData(), static_cast<std::size_t>(bytes.size())}, repliesTo(socket));
    if (session.held()) {
        serveAfterJob(client);
    }
    if (session.closed()) {
        client.gone = true;
        socket.abort();  // looked like HTTP: not one byte more either way
    } else if (socket.bytesAvailable() > 0) {
        ready_.push_back(client.socket);
    }
}

void ScpiServer::reap() {
    const auto end = std::remove_if(clients_.begin(), clients_.end(), [](const auto& client) {
        if (client->gone && client->socket) {
            client->socket->deleteLater();
        }
        return client->gone;
    });
    clients_.erase(end, clients_.end());
}

}  // namespace selvar::remote
