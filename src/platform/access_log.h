// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <cstdio>

#include "platform/selected_port.h"
#include "platform/trace_file.h"

namespace selvar::platform {

// One line per port access, in order: "R aaa vv" or "W aaa vv" (address in three lower-case
// hex digits, value in two), e.g. "W 378 1b". Streamed, so memory stays flat however long the
// run.
class AccessLog final : public AccessObserver {
  public:
    // Takes ownership of out; the destructor flushes and closes it.
    explicit AccessLog(std::FILE* out, TraceReport report = {});

    void onRead(std::uint16_t address, std::uint8_t value) override;
    void onWrite(std::uint16_t address, std::uint8_t value) override;

  private:
    void append(char kind, std::uint16_t address, std::uint8_t value);

    TraceFile file_;
};

}  // namespace selvar::platform
