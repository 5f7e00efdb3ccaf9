// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/display_check.h"

#include <cstdlib>

namespace selvar::entry {

namespace {

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

}  // namespace

std::string missingDisplayReason() {
    if (isSet("QT_QPA_PLATFORM") || isSet("DISPLAY") || isSet("WAYLAND_DISPLAY")) {
        return {};
    }
    return "no display: DISPLAY and WAYLAND_DISPLAY are not set. Start it in a desktop session, "
           "under xvfb-run, or with QT_QPA_PLATFORM=offscreen to run without showing a window";
}

}  // namespace selvar::entry
