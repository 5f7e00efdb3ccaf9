#pragma once

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <deque>
#include <memory>
#include <vector>

#include "remote/instrument.h"
#include "remote/session.h"

class QTcpServer;
class QTcpSocket;

namespace selvar::remote {

// SCPI over TCP: a thin front end that gives each client its own session. Everything runs on
// the thread that owns the server (the GUI thread), one command at a time, in the order the
// clients' bytes arrived.
class ScpiServer : public QObject {
    Q_OBJECT

  public:
    static constexpr int kMaxClients = 4;

    explicit ScpiServer(Instrument& instrument, QObject* parent = nullptr);
    ~ScpiServer() override;

    static QList<QHostAddress> loopback();  // 127.0.0.1 and ::1

    // Serves on `port` (0: a free one, the same on every address) at each address. Without
    // IPv6 on the machine, ::1 is left out. When an address cannot be served: false with the
    // reason, and serving on none.
    bool listen(quint16 port, const QList<QHostAddress>& addresses, QString* error);
    quint16 port() const;
    int clientCount() const;

  signals:
    // SYSTem:EXIT arrived; emitted once its line has been answered.
    void exitRequested();

  private:
    struct Client {
        QPointer<QTcpSocket> socket;
        std::unique_ptr<Session> session;
        bool gone = false;
        bool awaitingJob = false;  // held behind the running job, to be served when it ends
    };

    void accept(QTcpServer& server);
    void markReady(QTcpSocket* socket);
    void drain();
    void serve(Client& client);
    LineHandler repliesTo(QTcpSocket& socket);
    void serveAfterJob(Client& client);
    void reap();
    Client* clientOf(const QTcpSocket* socket);

    Instrument& instrument_;
    std::vector<QTcpServer*> servers_;
    std::vector<std::unique_ptr<Client>> clients_;
    std::deque<QPointer<QTcpSocket>> ready_;
    bool running_ = false;
    bool exitPending_ = false;
};

}  // namespace selvar::remote
