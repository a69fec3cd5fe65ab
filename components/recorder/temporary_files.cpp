#include "temporary_files.h"

#include "output_format.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <ctime>
#include <system_error>

namespace orvane::recorder {

namespace {

constexpr std::string_view kMark = ".trelcap-";
constexpr std::size_t kUniqueLength = 6;  // what mkstemp() puts in place of XXXXXX

bool namesAnOutput(std::string_view finalName) {
    constexpr std::array kFormats{OutputFormat::Mp3, OutputFormat::Wav, OutputFormat::Wma};
    return std::any_of(kFormats.begin(), kFormats.end(), [&](OutputFormat format) {
        return finalName.size() > extensionFor(format).size() && hasExtensionOf(finalName, format);
    });
}

// Removes `name` in `folder` if it is a temporary nobody writes any more.
bool removeIfStale(int folderFd, const std::string& name, std::chrono::seconds minimumAge) {
    struct stat info {};
    if (::fstatat(folderFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(info.st_mode) || info.st_uid != ::geteuid() ||
        std::time(nullptr) - info.st_mtime < minimumAge.count()) {
        return false;
    }
    const int fd =
        ::openat(folderFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return false;
    }
    bool removed = false;
    struct stat opened {};
    // The lock is free only once the recorder that wrote the file has ended.
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &opened) == 0 &&
        opened.st_ino == info.st_ino && opened.st_dev == info.st_dev) {
        removed = ::unlinkat(folderFd, name.c_str(), 0) == 0;
    }
    ::close(fd);
    return removed;
}

}  // namespace

std::string temporaryNameTemplate(const std::filesystem::path& finalPath) {
    const std::string name =
        "." + finalPath.filename().string() + std::string(kMark) + std::string(kUniqueLength, 'X');
    return (finalPath.parent_path() / name).string();
}

bool isTemporaryName(std::string_view fileName) {
    if (fileName.size() < 1 + kMark.size() + kUniqueLength || fileName.front() != '.') {
        return false;
    }
    const auto unique = fileName.substr(fileName.size() - kUniqueLength);
    const auto withoutUnique = fileName.substr(0, fileName.size() - kUniqueLength);
    if (!withoutUnique.ends_with(kMark) || !std::all_of(unique.begin(), unique.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) != 0;
        })) {
        return false;
    }
    return namesAnOutput(withoutUnique.substr(1, withoutUnique.size() - 1 - kMark.size()));
}

std::vector<std::string> removeStaleTemporaries(const std::filesystem::path& folder,
                                                std::chrono::seconds minimumAge) {
    std::vector<std::string> removed;
    const std::filesystem::path where = folder.empty() ? "." : folder;
    const int folderFd = ::open(where.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) {
        return removed;
    }
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(where, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (isTemporaryName(name) && removeIfStale(folderFd, name, minimumAge)) {
            removed.push_back(name);
        }
    }
    ::close(folderFd);
    std::sort(removed.begin(), removed.end());
    return removed;
}

}  // namespace orvane::recorder
