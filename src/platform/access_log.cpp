// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/access_log.h"

#include <utility>

namespace selvar::platform {

namespace {
constexpr char kHex[] = "0123456789abcdef";
}  // namespace

AccessLog::AccessLog(std::FILE* out, TraceReport report)
    : file_(out, "access log", std::move(report)) {}

void AccessLog::onRead(std::uint16_t address, std::uint8_t value) {
    append('R', address, value);
}

void AccessLog::onWrite(std::uint16_t address, std::uint8_t value) {
    append('W', address, value);
}

void AccessLog::append(char kind, std::uint16_t address, std::uint8_t value) {
    char* p = file_.reserve();
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
    file_.commit(p);
}

}  // namespace selvar::platform
