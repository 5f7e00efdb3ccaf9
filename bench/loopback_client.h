// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A blocking SCPI client on loopback, for the benchmarks that time round trips.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <stdexcept>
#include <string>

namespace selvar::bench {

class LoopbackClient {
  public:
    LoopbackClient() = default;
    explicit LoopbackClient(int port) { connectTo(port); }
    ~LoopbackClient() {
        if (socket_ >= 0) {
            close(socket_);
        }
    }
    LoopbackClient(const LoopbackClient&) = delete;
    LoopbackClient& operator=(const LoopbackClient&) = delete;

    void connectTo(int port) {
        socket_ = socket(AF_INET, SOCK_STREAM, 0);
        const int on = 1;
        setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            throw std::runtime_error("connect");
        }
    }
    void send(const std::string& line) {
        if (::send(socket_, line.data(), line.size(), 0) != static_cast<ssize_t>(line.size())) {
            throw std::runtime_error("send");
        }
    }
    std::string readLine() {
        std::string reply;
        char c = 0;
        while (recv(socket_, &c, 1, 0) == 1 && c != '\n') {
            reply += c;
        }
        return reply;
    }
    // Sends the line and waits for its one reply line.
    std::string exchange(const std::string& line) {
        send(line);
        return readLine();
    }

  private:
    int socket_ = -1;
};

}  // namespace selvar::bench
