#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "platform/selected_port.h"

namespace selvar::platform {

// One line per port access, in order: "R aaa vv" or "W aaa vv" (address in three lower-case
// hex digits, value in two), e.g. "W 378 1b". Lines go through a fixed buffer to the file, so
// memory stays flat however long the run.
class AccessLog final : public AccessObserver {
  public:
    // Takes ownership of out; the destructor flushes and closes it.
    explicit AccessLog(std::FILE* out);
    ~AccessLog() override;
    AccessLog(const AccessLog&) = delete;
    AccessLog& operator=(const AccessLog&) = delete;

    void onRead(std::uint16_t address, std::uint8_t value) override;
    void onWrite(std::uint16_t address, std::uint8_t value) override;

  private:
    static constexpr std::size_t kBufferSize = 64 * 1024;
    static constexpr std::size_t kMaxLine = 10;  // "W ffff ff\n"

    void append(char kind, std::uint16_t address, std::uint8_t value);
    void flush();

    std::FILE* out_;
    std::array<char, kBufferSize> buffer_;
    std::size_t used_ = 0;
    bool failed_ = false;
};

}  // namespace selvar::platform
