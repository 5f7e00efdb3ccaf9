// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace selvar::entry {

// Qt aborts when it finds no window system, after the program has already created its files.
// Returns why no window can be opened, with how to run without a display, or an empty string
// when QT_QPA_PLATFORM names a platform or DISPLAY or WAYLAND_DISPLAY names a display.
std::string missingDisplayReason();

}  // namespace selvar::entry
