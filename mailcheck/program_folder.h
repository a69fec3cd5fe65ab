#pragma once

#include "expected.h"

#include <QString>
#include <QStringList>

namespace orvane::mailcheck {

// The checker's folder: the executable's, unless ORVANE_HOME names another.
// It holds the settings file and the mail folder.
QString programFolder();

// Where character files are looked for: the program folder's characters/,
// then the one beside the executable.
QStringList characterFolders(const QString& folder);

// The folder the mail component saves into (folder + "/mail"), created
// (readable by its owner only) when missing.
Expected<QString> ensureMailFolder(const QString& folder);

}  // namespace orvane::mailcheck
