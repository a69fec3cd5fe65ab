#pragma once

#include "expected.h"

#include <QString>

namespace orvane::mailer {

// The user's mail, its store and its folder are for the user alone.

// Gives `path` to its owner alone: 0600 for a file, 0700 for a folder. A path
// that does not exist is left alone (success).
Expected<void> keepPrivate(const QString& path);

// Creates the folder `path` (with its parents) when missing; the folder
// itself ends up 0700, whether new or found.
Expected<void> makePrivateFolder(const QString& path);

}  // namespace orvane::mailer
