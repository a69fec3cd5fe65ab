#include "character_window.h"

#include <QApplication>
#include <QBitmap>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QRegion>

namespace orvane::speech {
namespace {

constexpr int kWidth = 300;
constexpr int kBalloonHeight = 130;
constexpr int kPictureSize = 128;

}  // namespace

CharacterWindow::CharacterWindow(const QString& name, const QString& picturePath)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus),
      name_(name) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    // A shaped window rather than a translucent one: without a compositing
    // manager a translucent window shows black where it should show nothing.
    setFocusPolicy(Qt::NoFocus);
    setWindowTitle(name);
    if (!picturePath.isEmpty()) {
        picture_.load(picturePath);
    }
    if (!picture_.isNull()) {
        picture_ = picture_.scaled(kPictureSize, kPictureSize, Qt::KeepAspectRatio,
                                   Qt::SmoothTransformation);
    }
    setFixedSize(kWidth, kBalloonHeight + kPictureSize);
    updateShape();
}

QRectF CharacterWindow::bubbleRect() {
    return QRectF(4, 4, kWidth - 8, kBalloonHeight - 24);
}

QPainterPath CharacterWindow::balloonPath() {
    const QRectF bubble = bubbleRect();
    QPainterPath path;
    path.addRoundedRect(bubble, 12, 12);
    QPolygonF tail;
    tail << QPointF(40, bubble.bottom() - 1) << QPointF(70, bubble.bottom() - 1)
         << QPointF(48, kBalloonHeight + 6);
    path.addPolygon(tail);
    return path.simplified();
}

void CharacterWindow::updateShape() {
    const QRect pictureRect(0, kBalloonHeight, kPictureSize, kPictureSize);
    QRegion shape;
    if (!picture_.isNull()) {
        const QBitmap opaque = picture_.mask();
        shape = opaque.isNull() ? QRegion(pictureRect.topLeft().x(), pictureRect.top(),
                                          picture_.width(), picture_.height())
                                : QRegion(opaque).translated(pictureRect.topLeft());
    } else {
        shape = QRegion(pictureRect.adjusted(16, 16, -16, -16), QRegion::Ellipse);
    }
    if (!balloon_.isEmpty()) {
        // Widened by the outline's pen so that the border is not cut off.
        QPainterPathStroker stroker;
        stroker.setWidth(4);
        const QPainterPath path = balloonPath();
        shape += QRegion(stroker.createStroke(path).united(path).toFillPolygon().toPolygon());
    }
    setMask(shape);
}

void CharacterWindow::showEvent(QShowEvent* event) {
    QWidget* active = QApplication::activeWindow();
    if (active != this) {
        keepsFocus_ = active;
    }
    QWidget::showEvent(event);
}

bool CharacterWindow::event(QEvent* event) {
    // Some window systems (and Qt's offscreen platform) activate every new window
    // whatever its hints say; give the activation straight back so that the user's
    // keys keep going where they went.
    if (event->type() == QEvent::WindowActivate) {
        handBackActivation();
    }
    return QWidget::event(event);
}

void CharacterWindow::handBackActivation() {
    QWidget* target = keepsFocus_;
    if (!target || !target->isVisible()) {
        target = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            const Qt::WindowType type = w->windowType();
            if (w->isVisible() && !qobject_cast<CharacterWindow*>(w) &&
                (type == Qt::Window || type == Qt::Dialog)) {
                target = w;
                break;
            }
        }
    }
    QApplication::setActiveWindow(target);
    if (target) {
        target->activateWindow();
    }
}

void CharacterWindow::setBalloonText(const QString& text) {
    if (text == balloon_) {
        return;
    }
    balloon_ = text;
    updateShape();
    update();
}

void CharacterWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRect pictureRect(0, kBalloonHeight, kPictureSize, kPictureSize);
    if (!picture_.isNull()) {
        p.drawPixmap(pictureRect.topLeft(), picture_);
    } else {
        // A plain figure: a round head with the character's initial.
        p.setBrush(QColor(120, 140, 220));
        p.setPen(Qt::NoPen);
        p.drawEllipse(pictureRect.adjusted(16, 16, -16, -16));
        p.setPen(Qt::white);
        QFont f = font();
        f.setPixelSize(48);
        p.setFont(f);
        p.drawText(pictureRect, Qt::AlignCenter, name_.left(1));
    }
    if (balloon_.isEmpty()) {
        return;
    }
    const QRectF bubble = bubbleRect();
    const QPainterPath path = balloonPath();
    p.setPen(QPen(QColor(60, 60, 60), 2));
    p.setBrush(QColor(255, 255, 230));
    p.drawPath(path);
    QFont f = font();
    f.setPixelSize(15);
    p.setFont(f);
    p.setPen(Qt::black);
    const QRectF textRect = bubble.adjusted(10, 8, -10, -8);
    // A text too long for the balloon is cut short with an ellipsis.
    QString shown = balloon_;
    const QFontMetricsF metrics(f);
    while (shown.size() > 1 &&
           metrics.boundingRect(textRect, Qt::TextWordWrap, shown).height() > textRect.height()) {
        shown = shown.left(shown.size() - 2) + QStringLiteral("…");
    }
    p.drawText(textRect, Qt::TextWordWrap, shown);
}

}  // namespace orvane::speech
