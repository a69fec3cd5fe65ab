#pragma once

#include "result.h"

#include <filesystem>

namespace orvane::recorder {

// The output file while it is being written: a hidden temporary file beside the final
// name, renamed onto it by commit(). Until then nothing exists under the final name,
// and a PendingOutput destroyed without commit() removes the temporary file.
class PendingOutput {
  public:
    // Fails with one line when the folder cannot be written.
    static Result<PendingOutput> create(const std::filesystem::path& finalPath);
    ~PendingOutput();
    PendingOutput(PendingOutput&& other) noexcept;
    PendingOutput& operator=(PendingOutput&&) = delete;
    PendingOutput(const PendingOutput&) = delete;
    PendingOutput& operator=(const PendingOutput&) = delete;

    const std::filesystem::path& temporaryPath() const { return temporary_; }
    const std::filesystem::path& finalPath() const { return final_; }

    Status commit();

  private:
    PendingOutput(std::filesystem::path temporary, std::filesystem::path final);

    std::filesystem::path temporary_;
    std::filesystem::path final_;
    bool owned_ = true;
};

}  // namespace orvane::recorder
