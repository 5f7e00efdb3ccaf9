// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/program_icon.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace selvar::entry {

// Drawn here rather than through Qt's SVG image plugin, which a system may lack: the icon then
// never falls back silently to the toolkit's own.
QIcon programIcon() {
    QSvgRenderer renderer(QStringLiteral(":/selvar/selvar.svg"));
    QIcon icon;
    if (!renderer.isValid()) {
        return icon;
    }
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace selvar::entry
