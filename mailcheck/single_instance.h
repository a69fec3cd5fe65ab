#pragma once

#include "expected.h"

#include <QLockFile>
#include <QString>

#include <memory>

namespace orvane::mailcheck {

// Claims the program folder for this copy of the checker, for as long as the
// returned lock lives. Refused when another running copy holds it; a lock
// left behind by a copy that died is taken over. The lock file lives in the
// user's runtime folder, so a read-only program folder can still be claimed.
Expected<std::unique_ptr<QLockFile>> claimProgramFolder(const QString& folder);

}  // namespace orvane::mailcheck
