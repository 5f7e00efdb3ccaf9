// SPDX-License-Identifier: GPL-3.0-or-later
#include "remote/tcp_connection.h"

#include <fcntl.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <algorithm>
#include <array>
#include <cerrno>

namespace selvar::remote {
namespace {

// Keepalive: first probe after a minute of silence, then every 10 s; six unanswered probes end
// the connection, so a dead peer is found in about two minutes.
constexpr int kKeepAliveIdleS = 60;
constexpr int kKeepAliveIntervalS = 10;
constexpr int kKeepAliveProbes = 6;
// How often a closing connection looks whether the peer has taken everything.
constexpr int kDeliveryPollMs = 5;

bool wouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK;
}

}  // namespace

TcpConnection::TcpConnection(qintptr descriptor, QObject* parent)
    : QObject(parent), descriptor_(static_cast<int>(descriptor)) {
    ::fcntl(descriptor_, F_SETFL, ::fcntl(descriptor_, F_GETFL) | O_NONBLOCK);
    readNotifier_ = std::make_unique<QSocketNotifier>(descriptor, QSocketNotifier::Read);
    writeNotifier_ = std::make_unique<QSocketNotifier>(descriptor, QSocketNotifier::Write);
    connect(readNotifier_.get(), &QSocketNotifier::activated, this, [this] { onReadable(); });
    connect(writeNotifier_.get(), &QSocketNotifier::activated, this, [this] { onWritable(); });
    lingerTimer_.setSingleShot(true);
    connect(&lingerTimer_, &QTimer::timeout, this, [this] { abort(); });
    deliveryPoll_.setInterval(kDeliveryPollMs);
    connect(&deliveryPoll_, &QTimer::timeout, this, [this] { checkDelivered(); });
    sendWithoutDelay();
    updateNotifiers();
}

TcpConnection::~TcpConnection() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
    }
}

void TcpConnection::enableKeepAlive() {
    const int on = 1;
    ::setsockopt(descriptor_, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    ::setsockopt(descriptor_, IPPROTO_TCP, TCP_KEEPIDLE, &kKeepAliveIdleS, sizeof(int));
    ::setsockopt(descriptor_, IPPROTO_TCP, TCP_KEEPINTVL, &kKeepAliveIntervalS, sizeof(int));
    ::setsockopt(descriptor_, IPPROTO_TCP, TCP_KEEPCNT, &kKeepAliveProbes, sizeof(int));
}

void TcpConnection::sendWithoutDelay() {
    // A reply is one short segment; waiting to coalesce it with the next would add a round trip.
    const int on = 1;
    ::setsockopt(descriptor_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

void TcpConnection::acknowledgeAtOnce() {
    // A client that writes a command and then queries (pyvisa's write() then query()) holds its
    // second segment back until the first is acknowledged; a delayed acknowledgement here cost
    // it about 40 ms a round trip. Linux clears the flag after use, so it is set after each read.
    const int on = 1;
    ::setsockopt(descriptor_, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
}

QByteArray TcpConnection::read(qint64 maxSize) {
    const QByteArray taken = input_.left(maxSize);
    input_.remove(0, taken.size());
    updateNotifiers();
    return taken;
}

void TcpConnection::pollInput() {
    if (!isClosed() && !inputEnded_) {
        onReadable();
    }
}

void TcpConnection::onReadable() {
    std::array<char, 16384> chunk{};
    bool news = false;
    qint64 budget = kReadBuffer;  // a peer that sends without pause cannot keep us here
    while (!isClosed() && !inputEnded_ && budget > 0) {
        const qint64 room = closing_ ? budget : kReadBuffer - input_.size();
        if (room <= 0) {
            break;
        }
        const auto wanted = static_cast<std::size_t>(std::min<qint64>(room, chunk.size()));
        const ssize_t got = ::recv(descriptor_, chunk.data(), wanted, 0);
        if (got > 0) {
            acknowledgeAtOnce();
            budget -= got;
            if (!closing_) {  // a closing connection runs nothing more
                input_.append(chunk.data(), got);
                news = true;
            }
        } else if (got == 0) {
            inputEnded_ = true;
            news = true;
        } else if (errno != EINTR) {
            if (!wouldBlock(errno)) {
                abort();  // reset: nothing more can be read or delivered
                return;
            }
            break;
        }
    }
    updateNotifiers();
    if (closing_ && outputShut_ && inputEnded_) {
        abort();  // both ends done
    } else if (news && !closing_) {
        emit readyRead();
    }
}

void TcpConnection::write(std::string_view bytes) {
    if (isClosed() || closing_) {
        return;
    }
    output_.append(bytes.data(), static_cast<qsizetype>(bytes.size()));
    updateNotifiers();
}

void TcpConnection::flush() {
    while (!isClosed() && !output_.isEmpty()) {
        const ssize_t sent = ::send(descriptor_, output_.constData(),
                                    static_cast<std::size_t>(output_.size()), MSG_NOSIGNAL);
        if (sent > 0) {
            output_.remove(0, sent);
        } else if (errno != EINTR) {
            if (!wouldBlock(errno)) {
                abort();  // the peer is gone: what is left cannot be delivered
                return;
            }
            break;
        }
    }
    updateNotifiers();
}

void TcpConnection::onWritable() {
    const qint64 before = output_.size();
    flush();
    if (isClosed()) {
        return;
    }
    if (closing_ && output_.isEmpty()) {
        afterOutputFlushed();
    } else if (output_.size() < before) {
        emit bytesWritten();
    }
}

void TcpConnection::closeWhenFlushed(int lingerMs) {
    if (isClosed() || closing_) {
        return;
    }
    closing_ = true;
    input_.clear();
    lingerTimer_.start(lingerMs);
    flush();
    if (!isClosed() && output_.isEmpty()) {
        afterOutputFlushed();
    }
}

void TcpConnection::afterOutputFlushed() {
    if (outputShut_) {
        return;
    }
    outputShut_ = true;
    ::shutdown(descriptor_, SHUT_WR);
    if (inputEnded_) {
        abort();  // nothing unread is left to reset the connection with
        return;
    }
    updateNotifiers();
    checkDelivered();  // on loopback usually at once
    if (!isClosed()) {
        deliveryPoll_.start();
    }
}

bool TcpConnection::deliveredToPeer() const {
    int unacknowledged = 0;
    return ::ioctl(descriptor_, SIOCOUTQ, &unacknowledged) == 0 && unacknowledged == 0;
}

void TcpConnection::checkDelivered() {
    if (deliveredToPeer()) {
        pollInput();  // takes what the peer sent meanwhile, so the close is no reset
        abort();
    }
}

void TcpConnection::abort() {
    if (isClosed()) {
        return;
    }
    // Disabled, not deleted: this may run inside a notifier's own signal.
    readNotifier_->setEnabled(false);
    writeNotifier_->setEnabled(false);
    lingerTimer_.stop();
    deliveryPoll_.stop();
    ::close(descriptor_);
    descriptor_ = -1;
    output_.clear();
    inputEnded_ = true;
    emit closed();
}

void TcpConnection::updateNotifiers() {
    if (isClosed()) {
        return;
    }
    readNotifier_->setEnabled(!inputEnded_ && (closing_ || input_.size() < kReadBuffer));
    writeNotifier_->setEnabled(!output_.isEmpty());
}

}  // namespace selvar::remote
