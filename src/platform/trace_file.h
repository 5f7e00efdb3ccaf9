#pragma once

#include <array>
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace selvar::platform {

// The file behind a bus trace: text goes through a fixed buffer, so memory stays flat however
// long the run and an access costs a few stores. A trace that cannot be written must not stop
// the program: the first failure is said once on standard error and the rest is dropped.
// How a trace says that it failed: the name its message starts with, and a flag for whoever
// decides the program's exit status (set when records were lost; may be null).
struct TraceReport {
    std::string name;
    bool* lost = nullptr;
};

class TraceFile {
  public:
    static constexpr std::size_t kMaxRecord = 64;  // the longest text one append may take

    // Takes ownership of out; the destructor flushes and closes it. what names the trace in
    // messages ("access log", "waveform") unless report names the file.
    TraceFile(std::FILE* out, const char* what, TraceReport report = {});
    ~TraceFile();
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;

    // Room for up to kMaxRecord characters; finish with commit(end of what was written).
    char* reserve() {
        if (kBufferSize - used_ < kMaxRecord) {
            flush();
        }
        return buffer_.data() + used_;
    }
    void commit(const char* end) { used_ = static_cast<std::size_t>(end - buffer_.data()); }
    void append(std::string_view text);

  private:
    static constexpr std::size_t kBufferSize = 64 * 1024;

    void flush();
    void fail(const char* what, const char* consequence);

    std::FILE* out_;
    TraceReport report_;
    std::array<char, kBufferSize> buffer_;
    std::size_t used_ = 0;
    bool failed_ = false;
};

}  // namespace selvar::platform
