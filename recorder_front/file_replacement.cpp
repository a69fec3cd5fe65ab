#include "file_replacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QString>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "unique_fd.h"

namespace trelcapg {
namespace {

orvane::Failure CannotWrite(const std::string& path, int error) {
    return orvane::fileFailure(QString::fromStdString(path), QStringLiteral("に書き込めません"),
                               error);
}

bool WriteAll(int fd, std::span<const std::byte> bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;
            }
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(n));
    }
    return true;
}

// Makes the rename in folder last through a power cut; the file itself is already on
// disk, so a folder that cannot be flushed is passed over.
void FlushFolder(const std::filesystem::path& folder) {
    const UniqueFd fd(
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid()) {
        ::fsync(fd.get());
    }
}

}  // namespace

orvane::Expected<void> ReplaceFile(const std::string& path, std::span<const std::byte> bytes,
                                   mode_t mode) {
    std::filesystem::path target(path);
    std::error_code ec;
    if (std::filesystem::is_symlink(target, ec)) {
        target = std::filesystem::weakly_canonical(target, ec);
        if (ec) {
            return CannotWrite(path, ec.value());
        }
    }
    const std::string pattern =
        (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    std::vector<char> temporary(pattern.begin(), pattern.end());
    temporary.push_back('\0');
    UniqueFd file(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!file.valid()) {
        return CannotWrite(path, errno);
    }
    const auto discard = [&](int error) {
        file.reset();
        ::unlink(temporary.data());
        return CannotWrite(path, error);
    };
    if (::fchmod(file.get(), mode) != 0 || !WriteAll(file.get(), bytes) ||
        ::fsync(file.get()) != 0) {
        return discard(errno);
    }
    if (std::rename(temporary.data(), target.c_str()) != 0) {
        return discard(errno);
    }
    file.reset();
    FlushFolder(target.parent_path());
    return orvane::success();
}

}  // namespace trelcapg
