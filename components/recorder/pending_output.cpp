#include "pending_output.h"

#include "output_format.h"
#include "temporary_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <utility>
#include <vector>

namespace orvane::recorder {

namespace {

constexpr int kHighestNumber = 9999;

Failure cannotWrite(const std::filesystem::path& path, int error) {
    return failure(FailureKind::Disk,
                   "cannot write \"" + path.string() + "\": " + std::strerror(error));
}

// Gives `from` the name `to` unless something already has that name: 0, or the error
// (EEXIST when the name is taken).
int renameWithoutReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    // A file system without the flag: a hard link cannot replace a file either.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return 0;
    }
    if (errno != EPERM && errno != EOPNOTSUPP) {
        return errno;
    }
    // Nor hard links (FAT, say): look first, at the price of a narrow race.
    struct stat info {};
    if (::lstat(to.c_str(), &info) == 0) {
        return EEXIST;
    }
    return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

// Makes a rename in `folder` last through a power cut. Best effort: the file itself is
// already on disk under its name as far as the system can tell.
void flushFolder(const std::filesystem::path& folder) {
    const std::filesystem::path where = folder.empty() ? "." : folder;
    const int fd = ::open(where.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

Expected<PendingOutput> PendingOutput::create(const std::filesystem::path& finalPath) {
    if (finalPath.filename().empty()) {
        return failure(FailureKind::BadInput,
                       "cannot write \"" + finalPath.string() + "\": not a file name");
    }
    std::error_code ec;
    if (std::filesystem::is_directory(finalPath, ec)) {
        return cannotWrite(finalPath, EISDIR);
    }
    const std::string pattern = temporaryNameTemplate(finalPath);
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        return cannotWrite(finalPath, errno);
    }
    // The lock tells a later run that this temporary is still being written.
    ::flock(fd, LOCK_EX | LOCK_NB);
    // mkstemp makes the file private; the recording gets the usual permissions.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    return PendingOutput(fd, std::filesystem::path(name.data()), finalPath);
}

PendingOutput::PendingOutput(int fd, std::filesystem::path temporary, std::filesystem::path final)
    : fd_(fd), temporary_(std::move(temporary)), final_(std::move(final)) {}

PendingOutput::PendingOutput(PendingOutput&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      temporary_(std::move(other.temporary_)),
      final_(std::move(other.final_)),
      owned_(std::exchange(other.owned_, false)) {}

PendingOutput::~PendingOutput() {
    if (owned_) {
        std::error_code ignored;
        std::filesystem::remove(temporary_, ignored);
    }
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

Expected<std::filesystem::path> PendingOutput::commit() {
    // fsync covers what the encoder wrote through its own descriptor: same file.
    if (::fsync(fd_) != 0) {
        return cannotWrite(final_, errno);
    }
    for (int number = 1; number <= kHighestNumber; ++number) {
        const auto name = number == 1 ? final_ : numberedOutputPath(final_, number);
        const int error = renameWithoutReplacing(temporary_, name);
        if (error == 0) {
            owned_ = false;
            flushFolder(name.parent_path());
            return name;
        }
        if (error != EEXIST) {
            return cannotWrite(name, error);
        }
    }
    return failure(FailureKind::Disk, "cannot write \"" + final_.string() +
                                          "\": that name and every numbered one up to (" +
                                          std::to_string(kHighestNumber) + ") are taken");
}

}  // namespace orvane::recorder
