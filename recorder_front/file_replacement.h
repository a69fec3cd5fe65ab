// Replacing a file's contents so that a crash or a full disk never leaves it cut.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <span>
#include <string>

#include "expected.h"

namespace trelcapg {

// Writes bytes to a new hidden file beside path, flushes it to disk, renames it over
// path and flushes the folder. Until the rename the old file stands untouched; after it
// the new one stands whole. The new file gets `mode`. A path that is a symbolic link
// has the file it names replaced, and the link is kept. On failure nothing is left
// behind but the old file.
orvane::Expected<void> ReplaceFile(const std::string& path, std::span<const std::byte> bytes,
                                   mode_t mode);

}  // namespace trelcapg
