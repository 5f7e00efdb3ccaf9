// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/raw_arguments.h"

#include <cstring>

namespace selvar::entry {

namespace {

// Length of the valid UTF-8 sequence at p (at most n bytes), or 0: no overlong forms, no
// surrogates, nothing above U+10FFFF.
std::size_t validSequence(const unsigned char* p, std::size_t n) {
    const unsigned char b = p[0];
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        low = b == 0xE0 ? 0xA0 : 0x80;
        high = b == 0xED ? 0x9F : 0xBF;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        low = b == 0xF0 ? 0x90 : 0x80;
        high = b == 0xF4 ? 0x8F : 0xBF;
    }
    if (length == 0 || length > n || p[1] < low || p[1] > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (p[i] < 0x80 || p[i] > 0xBF) {
            return 0;
        }
    }
    return length;
}

constexpr char16_t kEscapeBase = 0xDC00;

}  // namespace

QString argumentFromBytes(const char* bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    std::size_t n = std::strlen(bytes);
    QString text;
    while (n > 0) {
        const std::size_t length = p[0] < 0x80 ? 1 : validSequence(p, n);
        if (length == 0) {
            text += QChar(static_cast<char16_t>(kEscapeBase + p[0]));
            ++p;
            --n;
            continue;
        }
        text += QString::fromUtf8(reinterpret_cast<const char*>(p), static_cast<qsizetype>(length));
        p += length;
        n -= length;
    }
    return text;
}

std::string bytesFromArgument(const QString& argument) {
    std::string bytes;
    for (qsizetype i = 0; i < argument.size(); ++i) {
        const QChar c = argument[i];
        if (c.isHighSurrogate() && i + 1 < argument.size() && argument[i + 1].isLowSurrogate()) {
            bytes += argument.mid(i, 2).toStdString();
            ++i;
        } else if (c.unicode() >= kEscapeBase + 0x80 && c.unicode() <= kEscapeBase + 0xFF) {
            bytes += static_cast<char>(c.unicode() - kEscapeBase);
        } else {
            bytes += QString(c).toStdString();
        }
    }
    return bytes;
}

}  // namespace selvar::entry
