// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/charts/chart_image.h"

#include <QBuffer>
#include <QChart>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <cstdio>

#include "measure/report/saved_bytes.h"

namespace selvar::measure {

QByteArray chartImage(QChart& chart, QSize size, bool svg) {
    QGraphicsScene* home = chart.scene();
    const QRectF geometry = chart.geometry();
    if (home) {
        home->removeItem(&chart);
    }
    QByteArray bytes;
    {
        QGraphicsScene scene;
        scene.addItem(&chart);
        chart.resize(size);
        const QRectF area(QPointF(0, 0), QSizeF(size));
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (svg) {
            QSvgGenerator generator;
            generator.setOutputDevice(&buffer);
            generator.setSize(size);
            generator.setViewBox(area);
            generator.setTitle(chart.title());
            QPainter painter(&generator);
            scene.render(&painter, area, area);
        } else {
            QImage image(size, QImage::Format_ARGB32);
            image.fill(Qt::white);
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            scene.render(&painter, area, area);
            painter.end();
            image.save(&buffer, "PNG");
        }
        scene.removeItem(&chart);
    }
    if (home) {
        home->addItem(&chart);
        chart.setGeometry(geometry);
    }
    return bytes;
}

bool saveChartImage(QChart& chart, const std::string& path, QSize size, std::string& error) {
    const bool svg = path.size() >= 4 && path.compare(path.size() - 4, 4, ".svg") == 0;
    const QByteArray bytes = chartImage(chart, size, svg);
    return saveBytes(
        path, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), error);
}

}  // namespace selvar::measure
