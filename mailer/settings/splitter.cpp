#include "splitter.h"

#include "announcer.h"
#include "twips.h"

#include <QEvent>
#include <QFrame>
#include <QMouseEvent>
#include <QWidget>

#include <algorithm>

namespace orvane::mailer {

namespace {
constexpr double kTwipsPerInch = 1440.0;
}

Splitter::Splitter(QWidget* grid, QWidget* body, Announcer& announcer)
    : QObject(grid->parentWidget()), grid_(grid), body_(body), announcer_(announcer) {
    QWidget* parent = grid->parentWidget();
    Q_ASSERT(parent != nullptr && body->parentWidget() == parent);

    imgsplitter_ = new QWidget(parent);
    imgsplitter_->setObjectName(QStringLiteral("imgsplitter"));
    imgsplitter_->setAccessibleName(QStringLiteral("一覧と本文の境目"));
    imgsplitter_->setAccessibleDescription(
        QStringLiteral("コントロールキーとシフトキーと上下の矢印で一行ずつ動かせます"));
    imgsplitter_->setCursor(Qt::SizeVerCursor);
    imgsplitter_->setMouseTracking(true);
    imgsplitter_->installEventFilter(this);

    auto* bar = new QFrame(parent);
    bar->setObjectName(QStringLiteral("picsplitter"));
    bar->setAccessibleName(QStringLiteral("境目の移動先"));
    bar->setFrameShape(QFrame::NoFrame);
    bar->setAutoFillBackground(true);
    bar->setBackgroundRole(QPalette::Dark);
    // The bar follows the mouse; the drag itself stays with imgsplitter.
    bar->setAttribute(Qt::WA_TransparentForMouseEvents);
    bar->hide();
    picsplitter_ = bar;

    parent->installEventFilter(this);
    fitToParent();
}

int Splitter::toTwips(int pixels) const {
    return qRound(pixels * kTwipsPerInch / imgsplitter_->logicalDpiY());
}

int Splitter::toPixels(int twips) const {
    return twipsToPixelsY(twips, imgsplitter_);
}

int Splitter::lineHeight() const {
    const int pixels = std::max(grid_ ? grid_->fontMetrics().lineSpacing() : 0,
                                body_ ? body_->fontMetrics().lineSpacing() : 0);
    return toTwips(std::max(1, pixels));
}

int Splitter::listTenths() const {
    return panesHeight_ > 0 ? qRound(10.0 * gridHeight_ / panesHeight_) : 0;
}

int Splitter::boundedGridHeight(int y) const {
    const int minimum = minimumHeight();
    if (panesHeight_ < 2 * minimum) {
        return panesHeight_ / 2;  // no room for two minimums: half each
    }
    return std::clamp(y - gridTop(), minimum, panesHeight_ - minimum);
}

void Splitter::SizeControls(int y) {
    gridHeight_ = boundedGridHeight(y);
    if (panesHeight_ > 0) {
        gridShare_ = static_cast<double>(gridHeight_) / panesHeight_;
    }
    apply();
}

void Splitter::moveByLines(int lines) {
    SizeControls(splitterTop() + lines * lineHeight());
    const QString share = QStringLiteral("一覧 %1割").arg(listTenths());
    announcer_.show_message(share);
    announcer_.speak(share);
}

void Splitter::imgsplitter_MouseDown() {
    dragTop_ = splitterTop();
    picsplitter_->setGeometry(imgsplitter_->geometry());
    picsplitter_->raise();
    picsplitter_->show();
    moving_ = true;
}

void Splitter::imgsplitter_MouseMove(int y) {
    if (!moving_) {
        return;
    }
    // y is measured from where imgsplitter stood when the drag began; the
    // bar stops where the splitter itself would stop.
    dragTop_ = gridTop() + boundedGridHeight(splitterTop() + y);
    picsplitter_->move(picsplitter_->x(), toPixels(dragTop_));
}

void Splitter::imgsplitter_MouseUp() {
    if (!moving_) {
        return;
    }
    SizeControls(dragTop_);
    picsplitter_->hide();
    moving_ = false;
}

void Splitter::fitToParent() {
    const QWidget* parent = imgsplitter_->parentWidget();
    panesHeight_ = std::max(0, toTwips(parent->height()) - kSplitterHeight);
    gridHeight_ = boundedGridHeight(gridTop() + qRound(gridShare_ * panesHeight_));
    apply();
}

void Splitter::apply() {
    const int width = imgsplitter_->parentWidget()->width();
    // Edges are converted rather than heights, so that no pixel row is lost
    // or shared between neighbours.
    const auto place = [&](QWidget* widget, int top, int bottom) {
        if (widget != nullptr) {
            widget->setGeometry(0, toPixels(top), width, toPixels(bottom) - toPixels(top));
        }
    };
    place(grid_, gridTop(), splitterTop());
    place(imgsplitter_, splitterTop(), bodyTop());
    place(body_, bodyTop(), bodyTop() + bodyHeight());
    picsplitter_->resize(width, imgsplitter_->height());
}

bool Splitter::eventFilter(QObject* watched, QEvent* event) {
    if (watched == imgsplitter_) {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
                imgsplitter_MouseDown();
                return true;
            case QEvent::MouseMove:
                imgsplitter_MouseMove(
                    toTwips(qRound(static_cast<QMouseEvent*>(event)->position().y())));
                return true;
            case QEvent::MouseButtonRelease:
                imgsplitter_MouseUp();
                return true;
            default:
                break;
        }
    } else if (watched == imgsplitter_->parentWidget() && event->type() == QEvent::Resize) {
        if (moving_) {
            picsplitter_->hide();
            moving_ = false;
        }
        fitToParent();
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace orvane::mailer
