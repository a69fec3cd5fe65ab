#include "recorder_icon.h"

#include <QPainter>
#include <QPixmap>

namespace trelcapg {
namespace {

// Drawn on a 16-unit grid scaled to the pixmap, without smoothing, so only the palette's
// colours appear.
QPixmap DrawIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.scale(size / 16.0, size / 16.0);

    // Recording lamp, top right.
    painter.setPen(QColor(0x80, 0x00, 0x00));
    painter.setBrush(QColor(0xFF, 0x00, 0x00));
    painter.drawEllipse(QRectF(9.5, 0.5, 6, 6));

    // Microphone head and body.
    painter.setPen(QColor(0x00, 0x00, 0x00));
    painter.setBrush(QColor(0xC0, 0xC0, 0xC0));
    painter.drawRoundedRect(QRectF(4.5, 2.5, 5, 8), 2.5, 2.5);
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.drawLine(QPointF(5.5, 5), QPointF(8.5, 5));
    painter.drawLine(QPointF(5.5, 7), QPointF(8.5, 7));

    // Holder, stem and foot.
    painter.setPen(QColor(0x00, 0x00, 0x80));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(QRectF(3, 5, 8, 8), 180 * 16, 180 * 16);
    painter.drawLine(QPointF(7, 13), QPointF(7, 14.5));
    painter.drawLine(QPointF(4.5, 15), QPointF(9.5, 15));
    return pixmap;
}

}  // namespace

QIcon RecorderIcon() {
    QIcon icon;
    icon.addPixmap(DrawIcon(32));
    icon.addPixmap(DrawIcon(16));
    return icon;
}

}  // namespace trelcapg
