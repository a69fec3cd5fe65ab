#include "twips.h"

#include <QWidget>

#include <cmath>

namespace orvane::mailer {

namespace {
constexpr double kTwipsPerInch = 1440.0;
}

int twipsToPixelsX(int twips, const QWidget* widget) {
    return static_cast<int>(std::lround(twips * widget->logicalDpiX() / kTwipsPerInch));
}

int twipsToPixelsY(int twips, const QWidget* widget) {
    return static_cast<int>(std::lround(twips * widget->logicalDpiY() / kTwipsPerInch));
}

QRect twipsRect(int left, int top, int width, int height, const QWidget* widget) {
    return {twipsToPixelsX(left, widget), twipsToPixelsY(top, widget),
            twipsToPixelsX(width, widget), twipsToPixelsY(height, widget)};
}

}  // namespace orvane::mailer
