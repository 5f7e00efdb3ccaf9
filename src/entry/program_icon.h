// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>

namespace selvar::entry {

// The program's icon, the one its package installs for the desktop, drawn at the sizes window
// managers and task bars ask for.
QIcon programIcon();

}  // namespace selvar::entry
