// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace selvar::platform {

// How a trace says that it failed: the name its message starts with, and a flag for whoever
// decides the program's exit status (set when records were lost; may be null). A saved file
// is no trace of a run: its owner says why it failed, told through reason (the errno), and
// the file says nothing itself.
struct TraceReport {
    std::string name;
    bool* lost = nullptr;
    int* reason = nullptr;
    bool quiet = false;
};

// The file behind a bus trace: text goes through a fixed buffer, so memory stays flat however
// long the run and an access costs a few stores. A trace that cannot be written must not stop
// the program: the first failure is said once on standard error and the rest is dropped.
//
// A run may be killed without warning, so what is written must not wait in the buffer for it
// to fill: a thread of its own writes out the records committed so far every kFlushInterval,
// whatever the accessing thread does (a long handler, a blocked event loop), and a killed run
// leaves every record up to then, each whole. The accessing thread takes the lock only when
// the buffer is full, never per access.
class TraceFile {
  public:
    static constexpr std::size_t kMaxRecord = 64;  // the longest text one append may take
    static constexpr std::chrono::milliseconds kFlushInterval{250};

    // Takes ownership of out; the destructor flushes and closes it. what names the trace in
    // messages ("access log", "waveform") unless report names the file.
    TraceFile(std::FILE* out, const char* what, TraceReport report = {});
    ~TraceFile();
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;

    // Room for up to kMaxRecord characters; finish with commit(end of what was written).
    char* reserve() {
        if (kBufferSize - used_ < kMaxRecord) {
            drain();
        }
        return buffer_.data() + used_;
    }
    // The record is whole: from now on it may be written out.
    void commit(const char* end) {
        used_ = static_cast<std::size_t>(end - buffer_.data());
        committed_.store(used_, std::memory_order_release);
    }
    // Written out as one record, however long.
    void append(std::string_view text);

  private:
    static constexpr std::size_t kBufferSize = 64 * 1024;

    // The accessing thread: the buffer is full; write it all and start again at its head.
    void drain();
    // With mutex_ held: writes out the buffer up to end.
    void writeUpTo(std::size_t end);
    void flushEvery(std::stop_token stop);
    void fail(const char* what, const char* consequence);

    std::FILE* out_;
    TraceReport report_;
    std::array<char, kBufferSize> buffer_;
    std::size_t used_ = 0;                   // the accessing thread's own
    std::atomic<std::size_t> committed_{0};  // records up to here are whole
    std::mutex mutex_;                       // the file, written_ and failed_
    std::size_t written_ = 0;                // out up to here
    bool failed_ = false;
    std::condition_variable_any wake_;
    std::jthread flusher_;  // last: starts once the rest is built
};

}  // namespace selvar::platform
