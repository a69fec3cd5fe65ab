#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::recorder {

// A recording is written under a hidden temporary name beside its final one:
// "." + final name + ".trelcap-" + six letters or digits. The final name always ends
// in an output format's extension, so the form cannot be mistaken for another
// program's temporary files.

// The mkstemp() template for `finalPath` ("XXXXXX" at its end), in the same folder.
std::string temporaryNameTemplate(const std::filesystem::path& finalPath);

// Whether `fileName` (no folder) has the form of one of our temporary names.
bool isTemporaryName(std::string_view fileName);

// How long a temporary must have stood unchanged before it counts as left behind.
inline constexpr std::chrono::minutes kStaleTemporaryAge{5};

// Removes the temporaries that earlier runs left in `folder` when they were killed:
// files of our name form, owned by this user, unchanged for at least `minimumAge`, and
// not locked (a running recorder holds a lock on its temporary for as long as it
// writes). Other files are never touched. Returns the names removed.
std::vector<std::string> removeStaleTemporaries(
    const std::filesystem::path& folder, std::chrono::seconds minimumAge = kStaleTemporaryAge);

}  // namespace orvane::recorder
