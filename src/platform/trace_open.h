// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdio>
#include <string>

namespace selvar::platform {

// Creates (or truncates) the file a trace goes to, for writing. Never waits: a FIFO that no
// program reads is refused at once rather than holding start-up for ever. Returns null and
// fills error (the name and the reason) when the file cannot be used.
std::FILE* createTraceFile(const std::string& path, std::string& error);

}  // namespace selvar::platform
