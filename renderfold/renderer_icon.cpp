#include "renderfold/renderer_icon.h"

#include <QPainter>
#include <QPixmap>

namespace velk {

namespace {

// A network player seen from the front: a dark case, a lit display and a round knob.
QPixmap DrawRenderer(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);
    painter.setPen(QPen(QColor(0x20, 0x24, 0x2A), 2));
    painter.setBrush(QColor(0x3C, 0x43, 0x4D));
    painter.drawRoundedRect(QRectF(3, 16, 58, 34), 5, 5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x2B, 0xD9, 0xC4));
    painter.drawRoundedRect(QRectF(9, 23, 30, 10), 2, 2);
    painter.setBrush(QColor(0x9A, 0xA4, 0xB0));
    painter.drawEllipse(QPointF(50, 33), 7, 7);
    painter.setBrush(QColor(0x5A, 0x63, 0x6E));
    painter.drawEllipse(QPointF(50, 33), 3, 3);
    painter.setBrush(QColor(0x7D, 0x87, 0x93));
    for (int x : {9, 16, 23})
        painter.drawRoundedRect(QRectF(x, 38, 5, 5), 1, 1);
    painter.setBrush(QColor(0x20, 0x24, 0x2A));
    painter.drawRect(QRectF(9, 50, 8, 3));
    painter.drawRect(QRectF(47, 50, 8, 3));
    return pixmap;
}

} // namespace

QIcon RendererIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64})
        icon.addPixmap(DrawRenderer(size));
    return icon;
}

} // namespace velk
