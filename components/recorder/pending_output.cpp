#include "pending_output.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <vector>

namespace orvane::recorder {

Result<PendingOutput> PendingOutput::create(const std::filesystem::path& finalPath) {
    const auto cannotWrite = [&](int error) {
        return failure("cannot write \"" + finalPath.string() + "\": " + std::strerror(error));
    };
    if (finalPath.filename().empty()) {
        return failure("cannot write \"" + finalPath.string() + "\": not a file name");
    }
    std::error_code ec;
    if (std::filesystem::is_directory(finalPath, ec)) {
        return cannotWrite(EISDIR);
    }
    const auto folder = finalPath.parent_path();
    const std::string pattern =
        (folder / ("." + finalPath.filename().string() + ".XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        return cannotWrite(errno);
    }
    // mkstemp makes the file private; the recording gets the usual permissions.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    ::close(fd);
    return PendingOutput(std::filesystem::path(name.data()), finalPath);
}

PendingOutput::PendingOutput(std::filesystem::path temporary, std::filesystem::path final)
    : temporary_(std::move(temporary)), final_(std::move(final)) {}

PendingOutput::PendingOutput(PendingOutput&& other) noexcept
    : temporary_(std::move(other.temporary_)),
      final_(std::move(other.final_)),
      owned_(other.owned_) {
    other.owned_ = false;
}

PendingOutput::~PendingOutput() {
    if (owned_) {
        std::error_code ignored;
        std::filesystem::remove(temporary_, ignored);
    }
}

Status PendingOutput::commit() {
    if (std::rename(temporary_.c_str(), final_.c_str()) != 0) {
        return failure("cannot write \"" + final_.string() + "\": " + std::strerror(errno));
    }
    owned_ = false;
    return success();
}

}  // namespace orvane::recorder
