// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel/read_back_labels.h"

#include <cstdio>

namespace selvar::panel {

namespace {

const char* const kUnattributed = "XXh";

}  // namespace

std::string codeText(int byte) {
    char text[8];
    std::snprintf(text, sizeof text, "%Xh", static_cast<unsigned>(byte & 0xFF));
    return text;
}

ReadBackLabels readBackLabels(const chiplink::ReadBack& readBack) {
    const auto& b = readBack.bytes;
    switch (readBack.chainLength) {
        case 32:
            return {codeText(b[0]), codeText(b[1]), codeText(b[2]), codeText(b[3])};
        case 16:
            return {kUnattributed, kUnattributed, codeText(b[0]), codeText(b[1])};
        default:
            return {kUnattributed, kUnattributed, kUnattributed, kUnattributed};
    }
}

}  // namespace selvar::panel
