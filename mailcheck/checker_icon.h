#pragma once

#include <QIcon>

namespace orvane::mailcheck {

// The checker's own icon (window and notification area): a letter, drawn at
// 16, 22, 32 and 48 pixels.
QIcon checkerIcon();

}  // namespace orvane::mailcheck
