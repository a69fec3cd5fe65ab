#pragma once

#include <QRect>

class QWidget;

namespace orvane::mailer {

// Window sizes are given in twips (1/1440 inch); these turn them into pixels
// at the resolution of the screen `widget` stands on.
int twipsToPixelsX(int twips, const QWidget* widget);
int twipsToPixelsY(int twips, const QWidget* widget);
QRect twipsRect(int left, int top, int width, int height, const QWidget* widget);

}  // namespace orvane::mailer
