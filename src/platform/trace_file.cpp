// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/trace_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace selvar::platform {

TraceFile::TraceFile(std::FILE* out, const char* what, TraceReport report)
    : out_(out), report_(std::move(report)) {
    if (report_.name.empty()) {
        report_.name = what;
    }
    flusher_ = std::jthread([this](std::stop_token stop) { flushEvery(std::move(stop)); });
}

TraceFile::~TraceFile() {
    flusher_.request_stop();
    flusher_.join();
    const std::lock_guard lock(mutex_);
    writeUpTo(used_);
    if (std::fclose(out_) != 0 && !failed_) {
        fail("closing the file failed", "");
    }
}

// Said once, whatever follows: the rest of the run goes on without the trace.
void TraceFile::fail(const char* what, const char* consequence) {
    failed_ = true;
    if (report_.lost) {
        *report_.lost = true;
    }
    if (report_.reason) {
        *report_.reason = errno;
    }
    if (report_.quiet) {
        return;
    }
    std::fprintf(stderr, "%s: %s: %s%s\n", report_.name.c_str(), what, std::strerror(errno),
                 consequence);
}

void TraceFile::append(std::string_view text) {
    // Committed only at the end, so that no timed flush cuts the text in two.
    while (!text.empty()) {
        if (kBufferSize - used_ < kMaxRecord) {
            drain();
        }
        const std::size_t n = std::min(text.size(), kMaxRecord);
        std::memcpy(buffer_.data() + used_, text.data(), n);
        used_ += n;
        text.remove_prefix(n);
    }
    commit(buffer_.data() + used_);
}

void TraceFile::drain() {
    const std::lock_guard lock(mutex_);
    writeUpTo(used_);
    used_ = 0;
    written_ = 0;
    committed_.store(0, std::memory_order_relaxed);
}

void TraceFile::writeUpTo(std::size_t end) {
    if (end <= written_) {
        return;
    }
    const std::size_t n = end - written_;
    // Flushed at once: what is written out is in the file, not in the stream's buffer.
    if (!failed_ &&
        (std::fwrite(buffer_.data() + written_, 1, n, out_) != n || std::fflush(out_) != 0)) {
        fail("writing failed", "; the rest of the run is not recorded");
    }
    written_ = end;
}

void TraceFile::flushEvery(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    while (!stop.stop_requested()) {
        // Waits the interval out, or until the trace closes.
        wake_.wait_for(lock, stop, kFlushInterval, [] { return false; });
        writeUpTo(committed_.load(std::memory_order_acquire));
    }
}

}  // namespace selvar::platform
