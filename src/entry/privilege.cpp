// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/privilege.h"

#include <sys/auxv.h>

namespace selvar::entry {

std::string elevatedPrivilegeReason() {
    // The kernel sets AT_SECURE for exactly these starts: set-user-ID, set-group-ID, or
    // capabilities granted by the file.
    if (::getauxval(AT_SECURE) == 0) {
        return {};
    }
    return "refusing to run with elevated privilege (set-user-ID, set-group-ID or file "
           "capabilities): the caller's environment could make the toolkit load code with those "
           "rights. Remove them (e.g. sudo setcap -r, chmod u-s,g-s on the program); use "
           "--port-io ppdev as a member of group lp, or run direct I/O as root for a session";
}

}  // namespace selvar::entry
