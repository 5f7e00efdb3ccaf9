// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/script_feed.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "platform/adapters/adapter_config.h"

namespace selvar::entry {

namespace {

// Bytes run before the event loop gets its turn again: a few hundred lines at most, so that a
// signal or a client waits no longer than that.
constexpr std::size_t kReadChunk = 4096;

// All of bytes on the descriptor, or false with errno set.
bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        // Output left non-blocking by whoever shares it: wait as a blocking write would.
        if (written < 0 && errno == EAGAIN) {
            pollfd writable = {fd, POLLOUT, 0};
            ::poll(&writable, 1, -1);
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace

std::unique_ptr<ScriptFeed> ScriptFeed::open(const std::string& path,
                                             control::Instrument& instrument,
                                             std::function<void(const Outcome&)> ended,
                                             std::string& error) {
    const bool standardInput = path == "-";
    // Non-blocking, so that opening a FIFO does not wait for its writer. Standard input is
    // shared with the shell and is read only once it says it is ready, its flags left alone.
    const int fd =
        standardInput ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat info = {};
    const bool opened = fd >= 0 && ::fstat(fd, &info) == 0;
    const std::string name = "--script " + platform::echoed(path) + ": ";
    if (!opened || S_ISDIR(info.st_mode)) {
        error = name + (!opened         ? std::strerror(errno)
                        : standardInput ? "standard input is a directory"
                                        : "is a directory");
        if (fd >= 0 && !standardInput) {
            ::close(fd);
        }
        return nullptr;
    }
    return std::unique_ptr<ScriptFeed>(
        new ScriptFeed(fd, standardInput ? "-" : path, instrument, std::move(ended)));
}

ScriptFeed::ScriptFeed(int fd, std::string name, control::Instrument& instrument,
                       std::function<void(const Outcome&)> ended)
    : fd_(fd),
      name_(std::move(name)),
      runner_(
          name_, instrument, [this](std::string_view line) { writeReply(line); }, std::cerr),
      ended_(std::move(ended)),
      notifier_(new QSocketNotifier(fd, QSocketNotifier::Read, this)) {
    connect(notifier_, &QSocketNotifier::activated, this, [this] { readSome(); });
}

ScriptFeed::~ScriptFeed() {
    delete notifier_;
    if (fd_ != STDIN_FILENO) {
        ::close(fd_);
    }
}

// One read per wake-up: the descriptor said it has bytes or its end, so even standard input,
// left blocking, does not wait here.
void ScriptFeed::readSome() {
    std::array<char, kReadChunk> bytes;
    const ssize_t got = ::read(fd_, bytes.data(), bytes.size());
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
        return;
    }
    if (got < 0) {
        std::fprintf(stderr, "selvar: --script %s: %s\n", platform::echoed(name_).c_str(),
                     std::strerror(errno));
        outcome_.status = 1;
    } else if (got > 0) {
        runner_.receive({bytes.data(), static_cast<std::size_t>(got)});
        if (!runner_.stopped()) {
            return;
        }
    } else {
        runner_.finish();
    }
    end();
}

// A reply that cannot be written is said once; the script runs on (its settings still reach
// the chips) unless the reader is gone for good.
void ScriptFeed::writeReply(std::string_view line) {
    if (outputFailed_) {
        return;
    }
    std::string text(line);
    text += '\n';
    if (writeAll(STDOUT_FILENO, text)) {
        return;
    }
    const int failure = errno;
    outputFailed_ = true;
    outcome_.status = 1;
    std::fprintf(stderr, "selvar: standard output: %s%s\n", std::strerror(failure),
                 failure == EPIPE ? "; the script stops here" : "");
    if (failure == EPIPE) {
        outcome_.outputGone = true;
        runner_.stop();
    }
}

void ScriptFeed::end() {
    notifier_->setEnabled(false);
    outcome_.status = std::max(outcome_.status, runner_.result().status);
    outcome_.exitRequested = runner_.result().exitRequested;
    if (ended_) {
        ended_(outcome_);
    }
}

}  // namespace selvar::entry
