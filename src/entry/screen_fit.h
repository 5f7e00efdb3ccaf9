// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace selvar::entry {

// Where a window whose outer size is outer goes when the placement rule wants it at wanted:
// there, wherever it fits inside the available screen area; otherwise moved (never resized)
// just far enough left or up to end at the area's edge, and never past its left or top edge,
// so that a window larger than the area shows its title bar and top-left corner.
QPoint keepOnScreen(const QRect& available, QPoint wanted, QSize outer);

}  // namespace selvar::entry
