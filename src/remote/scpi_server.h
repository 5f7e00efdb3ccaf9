// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <chrono>
#include <deque>
#include <memory>
#include <vector>

#include "control/instrument.h"
#include "remote/session.h"

class QTcpServer;

namespace selvar::remote {

class TcpConnection;

// SCPI over TCP: a thin front end that gives each client its own session. Everything runs on
// the thread that owns the server (the GUI thread), one command at a time, in the order the
// clients' bytes arrived.
class ScpiServer : public QObject {
    Q_OBJECT

  public:
    static constexpr int kMaxClients = 4;
    static constexpr std::chrono::milliseconds kDefaultIdleTimeout{600'000};

    explicit ScpiServer(control::Instrument& instrument, QObject* parent = nullptr);
    ~ScpiServer() override;

    static QList<QHostAddress> loopback();  // 127.0.0.1 and ::1

    // Serves on `port` (0: a free one, the same on every address) at each address. Without
    // IPv6 on the machine, ::1 is left out. When an address cannot be served: false with the
    // reason, and serving on none.
    bool listen(quint16 port, const QList<QHostAddress>& addresses, QString* error);
    quint16 port() const;
    // Clients being served; one whose end has arrived no longer counts.
    int clientCount() const;
    // A client idle this long is closed, freeing its place; zero: never. For clients accepted
    // from then on.
    void setIdleTimeout(std::chrono::milliseconds timeout) { idleTimeout_ = timeout; }
    // The measurement's side of the program, for clients accepted from then on.
    void setMeasurements(MeasurementHost* measurements) { measurements_ = measurements; }

  signals:
    // SYSTem:EXIT arrived; emitted once its line has been answered and every client's replies
    // have gone out (or a second has passed).
    void exitRequested();

  private:
    struct Client {
        QPointer<TcpConnection> connection;
        std::unique_ptr<Session> session;
        QTimer idleTimer;
        bool gone = false;         // closed; reaped when no command runs
        bool finishing = false;    // runs nothing more; closes once its replies are out
        bool awaitingJob = false;  // held behind the running job, to be served when it ends
    };

    void accept(qintptr descriptor);
    void refuse(TcpConnection& connection);
    void settleClients();
    void markReady(TcpConnection* connection);
    void drain();
    void serve(Client& client);
    void run(Client& client, std::string_view bytes);
    void serveAfterJob(Client& client);
    bool isIdle(const Client& client) const;
    void onIdleTimeout(Client& client);
    void finish(Client& client, int lingerMs);
    void beginExit();
    void exitWhenFlushed();
    void reap();
    Client* clientOf(const TcpConnection* connection);

    control::Instrument& instrument_;
    MeasurementHost* measurements_ = nullptr;
    std::vector<QTcpServer*> servers_;
    std::vector<std::unique_ptr<Client>> clients_;
    std::deque<QPointer<TcpConnection>> ready_;
    std::chrono::milliseconds idleTimeout_ = kDefaultIdleTimeout;
    int refusing_ = 0;  // refused connections still being told why
    bool running_ = false;
    bool exitPending_ = false;
    bool exiting_ = false;
    bool exitSignalled_ = false;
    QTimer exitDeadline_;
};

}  // namespace selvar::remote
