// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <string>

namespace selvar::entry {

// Command-line arguments are bytes, and a file name need not be UTF-8. An argument becomes
// text with each byte that is not part of valid UTF-8 kept as a lone surrogate U+DC80..U+DCFF,
// so that bytesFromArgument gives back exactly the bytes given (a file named caf\xe9.log is
// that file, not caf\xef\xbf\xbd.log).
QString argumentFromBytes(const char* bytes);
std::string bytesFromArgument(const QString& argument);

}  // namespace selvar::entry
