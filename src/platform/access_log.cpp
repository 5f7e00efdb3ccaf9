#include "platform/access_log.h"

#include <cerrno>
#include <cstring>

namespace selvar::platform {

namespace {
constexpr char kHex[] = "0123456789abcdef";
}  // namespace

AccessLog::AccessLog(std::FILE* out) : out_(out) {}

AccessLog::~AccessLog() {
    flush();
    if (std::fclose(out_) != 0 && !failed_) {
        std::fprintf(stderr, "access log: closing the file failed: %s\n", std::strerror(errno));
    }
}

void AccessLog::onRead(std::uint16_t address, std::uint8_t value) {
    append('R', address, value);
}

void AccessLog::onWrite(std::uint16_t address, std::uint8_t value) {
    append('W', address, value);
}

void AccessLog::append(char kind, std::uint16_t address, std::uint8_t value) {
    if (kBufferSize - used_ < kMaxLine) {
        flush();
    }
    char* p = buffer_.data() + used_;
    *p++ = kind;
    *p++ = ' ';
    if (address > 0xFFF) {
        *p++ = kHex[address >> 12];
    }
    *p++ = kHex[(address >> 8) & 0xF];
    *p++ = kHex[(address >> 4) & 0xF];
    *p++ = kHex[address & 0xF];
    *p++ = ' ';
    *p++ = kHex[value >> 4];
    *p++ = kHex[value & 0xF];
    *p++ = '\n';
    used_ = static_cast<std::size_t>(p - buffer_.data());
}

// A trace that cannot be written must not stop the program; it says so once and stops
// writing, so a full disk does not turn every port access into an error.
void AccessLog::flush() {
    if (used_ == 0) {
        return;
    }
    if (!failed_ && std::fwrite(buffer_.data(), 1, used_, out_) != used_) {
        failed_ = true;
        std::fprintf(stderr, "access log: writing failed: %s; the rest of the run is not logged\n",
                     std::strerror(errno));
    }
    used_ = 0;
}

}  // namespace selvar::platform
