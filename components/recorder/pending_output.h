#pragma once

#include "recorder_failure.h"

#include <filesystem>

namespace orvane::recorder {

// The output file while it is being written: a hidden temporary file beside the final
// name (see temporary_files.h), locked for as long as this object owns it, and given
// its final name by commit(). Until then nothing exists under the final name, and a
// PendingOutput destroyed without commit() removes the temporary file.
class PendingOutput {
  public:
    // Fails with one line when the folder cannot be written.
    static Expected<PendingOutput> create(const std::filesystem::path& finalPath);
    ~PendingOutput();
    PendingOutput(PendingOutput&& other) noexcept;
    PendingOutput& operator=(PendingOutput&&) = delete;
    PendingOutput(const PendingOutput&) = delete;
    PendingOutput& operator=(const PendingOutput&) = delete;

    const std::filesystem::path& temporaryPath() const { return temporary_; }
    const std::filesystem::path& finalPath() const { return final_; }

    // Call once the file is complete and closed. Flushes it to disk, gives it the final
    // name, or when a file of that name exists the first free one of "name (2).ext",
    // "name (3).ext", ... (an existing file is never replaced), then flushes the folder.
    // Returns the name it got.
    Expected<std::filesystem::path> commit();

  private:
    PendingOutput(int fd, std::filesystem::path temporary, std::filesystem::path final);

    int fd_;  // the temporary, open and locked
    std::filesystem::path temporary_;
    std::filesystem::path final_;
    bool owned_ = true;
};

}  // namespace orvane::recorder
