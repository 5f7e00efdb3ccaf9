// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <memory>
#include <string_view>

class QSocketNotifier;

namespace selvar::remote {

// One accepted TCP connection, on its own descriptor. QTcpSocket closes the descriptor the
// moment it reads the peer's end of file and drops the replies it has not written yet, but a
// client that half-closes after its last line (nc -N, shutdown(SHUT_WR)) still waits for every
// reply. Here the two directions end apart: input can end while output still goes out.
class TcpConnection : public QObject {
    Q_OBJECT

  public:
    // Received bytes kept before reading pauses until they are taken.
    static constexpr qint64 kReadBuffer = 64 * 1024;

    // Takes ownership of `descriptor`, a connected TCP socket.
    explicit TcpConnection(qintptr descriptor, QObject* parent = nullptr);
    ~TcpConnection() override;
    TcpConnection(const TcpConnection&) = delete;
    TcpConnection& operator=(const TcpConnection&) = delete;

    // Turns TCP keepalive on, probing soon enough that a peer gone from a flaky network is found
    // within minutes rather than the system's two hours.
    void enableKeepAlive();

    QByteArray read(qint64 maxSize);
    qint64 bytesAvailable() const { return input_.size(); }
    // The peer will send no more: its end of file, or a broken connection.
    bool inputEnded() const { return inputEnded_; }
    // Reads what the system already holds now, without waiting for the event loop: a peer's end
    // of file that has arrived is known after this.
    void pollInput();

    void write(std::string_view bytes);
    qint64 bytesToWrite() const { return output_.size(); }
    // Writes what the system takes now, without waiting for the event loop.
    void flush();

    // Ends the connection once every byte written has gone out: sends end of file, then waits
    // (discarding input) until the peer has taken everything or closed too, at most `linger`
    // milliseconds in all, and closes. Closing with unread input would reset the connection
    // and could take the last replies with it.
    void closeWhenFlushed(int lingerMs);
    void abort();  // closes now
    bool isClosed() const { return descriptor_ < 0; }

  signals:
    void readyRead();     // new bytes, or the input ended
    void bytesWritten();  // output went out
    void closed();        // the descriptor is closed; emitted once

  private:
    void sendWithoutDelay();
    void acknowledgeAtOnce();
    void onReadable();
    void onWritable();
    void afterOutputFlushed();
    void checkDelivered();
    bool deliveredToPeer() const;
    void updateNotifiers();

    int descriptor_ = -1;
    std::unique_ptr<QSocketNotifier> readNotifier_;
    std::unique_ptr<QSocketNotifier> writeNotifier_;
    QByteArray input_;
    QByteArray output_;
    bool inputEnded_ = false;
    bool closing_ = false;
    bool outputShut_ = false;
    QTimer lingerTimer_;
    QTimer deliveryPoll_;
};

}  // namespace selvar::remote
