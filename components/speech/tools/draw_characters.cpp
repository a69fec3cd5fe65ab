// Draws the pictures of the characters we ship, as PNG files into the folder given
// on the command line. Run by the build; the pictures are ours, drawn here.
#include <QColor>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <functional>

namespace {

constexpr int kSize = 128;

void eyes(QPainter& p, QPointF left, QPointF right, qreal r) {
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(left, r, r * 1.2);
    p.drawEllipse(right, r, r * 1.2);
    p.setBrush(QColor(30, 30, 30));
    p.drawEllipse(left + QPointF(1, 1), r / 2, r / 2);
    p.drawEllipse(right + QPointF(1, 1), r / 2, r / 2);
}

void smile(QPainter& p, QRectF box) {
    p.setPen(QPen(QColor(60, 20, 20), 3, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(box, 200 * 16, 140 * 16);
}

// A blue genie rising from a wisp of smoke, with a turban.
void genie(QPainter& p) {
    QPainterPath smoke;
    smoke.moveTo(64, 124);
    smoke.cubicTo(30, 120, 90, 100, 50, 88);
    smoke.cubicTo(40, 84, 88, 80, 64, 70);
    p.setPen(QPen(QColor(150, 190, 255), 10, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(smoke);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 110, 220));
    p.drawEllipse(QPointF(64, 54), 30, 32);
    p.setBrush(QColor(140, 40, 160));
    p.drawChord(QRectF(32, 12, 64, 40), 0, 180 * 16);
    p.setBrush(QColor(250, 200, 40));
    p.drawEllipse(QPointF(64, 28), 6, 6);
    eyes(p, {53, 52}, {75, 52}, 6);
    smile(p, QRectF(50, 56, 28, 18));
}

// A friendly robot: square head, antenna, round eyes.
void max(QPainter& p) {
    p.setPen(QPen(QColor(80, 80, 90), 4));
    p.drawLine(64, 30, 64, 12);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(230, 60, 60));
    p.drawEllipse(QPointF(64, 10), 6, 6);
    p.setBrush(QColor(170, 175, 185));
    p.drawRoundedRect(QRectF(28, 30, 72, 64), 10, 10);
    p.setBrush(QColor(120, 125, 135));
    p.drawRect(QRectF(44, 94, 40, 14));
    p.drawRoundedRect(QRectF(30, 108, 68, 18), 6, 6);
    p.setBrush(QColor(40, 200, 230));
    p.drawEllipse(QPointF(50, 56), 9, 9);
    p.drawEllipse(QPointF(78, 56), 9, 9);
    p.setBrush(QColor(60, 60, 70));
    for (int i = 0; i < 4; ++i) {
        p.drawRect(QRectF(46 + i * 10, 76, 6, 8));
    }
}

// A wizard: tall starry hat, long white beard.
void merlin(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(240, 205, 170));
    p.drawEllipse(QPointF(64, 62), 24, 24);
    QPainterPath beard;
    beard.moveTo(42, 66);
    beard.cubicTo(42, 110, 60, 124, 64, 126);
    beard.cubicTo(68, 124, 86, 110, 86, 66);
    beard.closeSubpath();
    p.setBrush(QColor(245, 245, 250));
    p.drawPath(beard);
    QPolygonF hat;
    hat << QPointF(28, 48) << QPointF(100, 48) << QPointF(70, 2);
    p.setBrush(QColor(40, 50, 150));
    p.drawPolygon(hat);
    p.setBrush(QColor(250, 220, 60));
    p.drawEllipse(QPointF(60, 30), 4, 4);
    p.drawEllipse(QPointF(76, 40), 3, 3);
    p.drawEllipse(QPointF(68, 16), 3, 3);
    eyes(p, {55, 60}, {73, 60}, 4);
}

// A grey rabbit with long ears and a pink nose.
void wabbit(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(160, 160, 170));
    p.save();
    p.translate(48, 40);
    p.rotate(-12);
    p.drawEllipse(QRectF(-10, -40, 20, 56));
    p.restore();
    p.save();
    p.translate(80, 40);
    p.rotate(12);
    p.drawEllipse(QRectF(-10, -40, 20, 56));
    p.restore();
    p.setBrush(QColor(255, 180, 200));
    p.save();
    p.translate(48, 40);
    p.rotate(-12);
    p.drawEllipse(QRectF(-5, -34, 10, 42));
    p.restore();
    p.save();
    p.translate(80, 40);
    p.rotate(12);
    p.drawEllipse(QRectF(-5, -34, 10, 42));
    p.restore();
    p.setBrush(QColor(175, 175, 185));
    p.drawEllipse(QPointF(64, 78), 36, 34);
    p.setBrush(QColor(245, 245, 245));
    p.drawEllipse(QPointF(64, 92), 18, 14);
    eyes(p, {51, 70}, {77, 70}, 6);
    p.setBrush(QColor(240, 110, 150));
    p.drawEllipse(QPointF(64, 86), 5, 4);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(59, 96, 5, 8));
    p.drawRect(QRectF(65, 96, 5, 8));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    const std::pair<const char*, std::function<void(QPainter&)>> pictures[] = {
        {"genie.png", genie}, {"max.png", max}, {"merlin.png", merlin}, {"wabbit.png", wabbit}};
    for (const auto& [name, draw] : pictures) {
        QImage image(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        draw(p);
        p.end();
        if (!image.save(out.filePath(QString::fromLatin1(name)))) {
            std::fprintf(stderr, "cannot write %s\n", name);
            return 1;
        }
    }
    return 0;
}
