// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace selvar::entry {

// A set-user-ID or set-group-ID program, or one given file capabilities (CAP_SYS_RAWIO for
// direct I/O is close to root), would run with its elevated rights whatever code the caller's
// environment makes Qt load (plugin paths, platform themes, styles). Rather than chase every
// such variable, the program refuses to start elevated. Returns why, or an empty string when
// the process runs with the rights of whoever started it. Root started by root is not
// elevated: that is the supported way to run direct I/O.
std::string elevatedPrivilegeReason();

}  // namespace selvar::entry
