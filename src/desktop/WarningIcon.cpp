#include "desktop/WarningIcon.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>

namespace {

// Drawn on a 32 by 32 grid, scaled to each size.
void paintMark(QPainter& painter)
{
    const QPointF centre(24, 24);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(centre, 8, 8);
    painter.setBrush(QColor(0xe8, 0x59, 0x0c));
    painter.drawEllipse(centre, 6.6, 6.6);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(22.9, 19.2, 2.2, 6.2), 1.1, 1.1);
    painter.drawEllipse(QPointF(24, 27.8), 1.2, 1.2);
}

} // namespace

QIcon WarningIcon(const QIcon& ordinary)
{
    QIcon marked;
    for (const int side : { 16, 22, 24, 32, 48, 64, 128, 256 }) {
        QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        ordinary.paint(&painter, image.rect());
        painter.scale(side / 32.0, side / 32.0);
        paintMark(painter);
        painter.end();
        marked.addPixmap(QPixmap::fromImage(image));
    }
    return marked;
}
