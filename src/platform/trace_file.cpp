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
}

TraceFile::~TraceFile() {
    flush();
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
    std::fprintf(stderr, "%s: %s: %s%s\n", report_.name.c_str(), what, std::strerror(errno),
                 consequence);
}

void TraceFile::append(std::string_view text) {
    while (!text.empty()) {
        const std::size_t n = std::min(text.size(), kMaxRecord);
        char* p = reserve();
        std::memcpy(p, text.data(), n);
        commit(p + n);
        text.remove_prefix(n);
    }
}

void TraceFile::flush() {
    if (used_ == 0) {
        return;
    }
    if (!failed_ && std::fwrite(buffer_.data(), 1, used_, out_) != used_) {
        fail("writing failed", "; the rest of the run is not recorded");
    }
    used_ = 0;
}

}  // namespace selvar::platform
