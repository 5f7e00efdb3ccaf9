// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "platform/atomic_save.h"

namespace selvar::measure {

// Every file this layer writes is made in memory first, then saved whole or not at all.
inline bool saveBytes(const std::string& path, std::string_view bytes, std::string& error) {
    return platform::saveAtomically(
        path,
        [bytes](std::FILE* file) {
            return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
        },
        error);
}

}  // namespace selvar::measure
