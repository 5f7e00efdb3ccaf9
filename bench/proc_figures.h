// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Figures of this process from /proc, for the benchmarks that watch memory and output.

#include <fstream>
#include <string>

namespace selvar::bench {

// A "key: value" figure of a /proc/self file (0 if it cannot be read).
inline long long procFigure(const char* file, const std::string& key) {
    std::ifstream in(file);
    std::string name;
    while (in >> name) {
        if (name == key) {
            long long value = 0;
            in >> value;
            return value;
        }
        in.ignore(256, '\n');
    }
    return 0;
}

inline long long residentKib() {
    return procFigure("/proc/self/status", "VmRSS:");
}

// Bytes this process has handed to write(): shows the traces really streamed out.
inline long long bytesWritten() {
    return procFigure("/proc/self/io", "wchar:");
}

}  // namespace selvar::bench
