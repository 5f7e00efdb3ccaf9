#include "platform/trace_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace selvar::platform {

TraceFile::TraceFile(std::FILE* out, const char* what) : out_(out), what_(what) {}

TraceFile::~TraceFile() {
    flush();
    if (std::fclose(out_) != 0 && !failed_) {
        std::fprintf(stderr, "%s: closing the file failed: %s\n", what_, std::strerror(errno));
    }
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
        failed_ = true;
        std::fprintf(stderr, "%s: writing failed: %s; the rest of the run is not recorded\n", what_,
                     std::strerror(errno));
    }
    used_ = 0;
}

}  // namespace selvar::platform
