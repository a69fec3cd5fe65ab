#include "checker_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace orvane::mailcheck {
namespace {

QPixmap letter(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal unit = size / 32.0;
    const QRectF body(2 * unit, 7 * unit, 28 * unit, 19 * unit);
    painter.setPen(QPen(QColor(20, 40, 110), 2 * unit));
    painter.setBrush(QColor(255, 214, 64));
    painter.drawRoundedRect(body, 2 * unit, 2 * unit);
    QPainterPath flap;
    flap.moveTo(body.topLeft());
    flap.lineTo(body.center().x(), body.top() + body.height() * 0.6);
    flap.lineTo(body.topRight());
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(flap);
    return pixmap;
}

}  // namespace

QIcon checkerIcon() {
    QIcon icon;
    for (int size : {16, 22, 32, 48}) {
        icon.addPixmap(letter(size));
    }
    return icon;
}

}  // namespace orvane::mailcheck
