// The front end's icon: a microphone before a red recording lamp, at 32 and 16 pixels,
// drawn in the sixteen standard colours.
#pragma once

#include <QIcon>

namespace trelcapg {

QIcon RecorderIcon();

}  // namespace trelcapg
