#include "recorder_settings.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "file_replacement.h"
#include "unique_fd.h"
#include "utf8_cut.h"

namespace trelcapg {
namespace {

constexpr std::size_t kFilePathOffset = 0;
constexpr std::size_t kOptionsOffset = 556;
constexpr std::size_t kTextMaxBytes = kTextSlotSize - 1;

// The integer fields in file order, each with its offset and the range the front end
// accepts from a file.
struct IntField {
    std::int32_t RecorderSettings::*member;
    std::size_t offset;
    std::int32_t min;
    std::int32_t max;
};

constexpr std::array<IntField, 11> kIntFields = {{
    {&RecorderSettings::recParam, 512, 1, static_cast<std::int32_t>(kRecParamNames.size())},
    {&RecorderSettings::boost, 516, 0, kBoostCount - 1},
    {&RecorderSettings::recTime, 520, kRecTimeMin, kRecTimeMax},
    {&RecorderSettings::outputRate, 524, 0, static_cast<std::int32_t>(kOutputRates.size()) - 1},
    {&RecorderSettings::rateConversion, 528, 0,
     static_cast<std::int32_t>(kRateConversions.size()) - 1},
    {&RecorderSettings::fileFormat, 532, 0, static_cast<std::int32_t>(kFileFormatNames.size()) - 1},
    {&RecorderSettings::silenceDetection, 536, 0, 1},
    {&RecorderSettings::silenceLevel, 540, kSilenceLevelMin, kSilenceLevelMax},
    {&RecorderSettings::silencePeriod, 544, kSilencePeriodMin, kSilencePeriodMax},
    {&RecorderSettings::mp3Vbr, 548, 0, 1},
    {&RecorderSettings::vbrLevel, 552, 0, kVbrLevelCount - 1},
}};

void PutText(SettingsImage& image, std::size_t offset, std::string_view text) {
    const std::string_view cut = CutUtf8(text, kTextMaxBytes);
    std::memcpy(image.data() + offset, cut.data(), cut.size());
    // The rest of the slot is already zero, the terminator included.
}

std::string GetText(std::span<const std::byte> bytes, std::size_t offset) {
    if (bytes.size() <= offset) {
        return {};
    }
    const auto slot = bytes.subspan(offset, std::min(kTextSlotSize, bytes.size() - offset));
    const auto end = std::find(slot.begin(), slot.end(), std::byte{0});
    const std::string_view text(reinterpret_cast<const char*>(slot.data()),
                                static_cast<std::size_t>(end - slot.begin()));
    return std::string(CutUtf8(text, kTextMaxBytes));
}

void PutInt32(SettingsImage& image, std::size_t offset, std::int32_t value) {
    const auto u = static_cast<std::uint32_t>(value);
    for (std::size_t i = 0; i < 4; ++i) {
        image[offset + i] = static_cast<std::byte>((u >> (8 * i)) & 0xFF);
    }
}

std::int32_t GetInt32(std::span<const std::byte> bytes, std::size_t offset) {
    std::uint32_t u = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        u |= static_cast<std::uint32_t>(bytes[offset + i]) << (8 * i);
    }
    return static_cast<std::int32_t>(u);
}

// The file is used by one holder at a time: an exclusive lock that is not granted at
// once counts as a file that cannot be opened.
bool LockExclusively(int fd) {
    return ::flock(fd, LOCK_EX | LOCK_NB) == 0;
}

}  // namespace

SettingsImage EncodeSettings(const RecorderSettings& settings) {
    SettingsImage image{};
    PutText(image, kFilePathOffset, settings.filePath);
    for (const IntField& field : kIntFields) {
        PutInt32(image, field.offset, settings.*field.member);
    }
    PutText(image, kOptionsOffset, settings.options);
    return image;
}

RecorderSettings DecodeSettings(std::span<const std::byte> bytes) {
    bytes = bytes.first(std::min(bytes.size(), kSettingsFileSize));
    RecorderSettings settings;
    settings.filePath = GetText(bytes, kFilePathOffset);
    for (const IntField& field : kIntFields) {
        if (bytes.size() < field.offset + 4) {
            continue;
        }
        const std::int32_t value = GetInt32(bytes, field.offset);
        if (value >= field.min && value <= field.max) {
            settings.*field.member = value;
        }
    }
    settings.options = GetText(bytes, kOptionsOffset);
    return settings;
}

std::string SettingsFileName(std::string_view executablePath) {
    std::string_view name = executablePath;
    if (const auto slash = name.find_last_of('/'); slash != std::string_view::npos) {
        name.remove_prefix(slash + 1);
    }
    if (const auto dot = name.find_last_of('.'); dot != std::string_view::npos && dot > 0) {
        name = name.substr(0, dot);
    }
    return std::string(name) + ".dat";
}

RecorderSettings LoadSettings(const std::string& path) {
    const UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.valid() || !LockExclusively(file.get())) {
        return {};
    }
    std::array<std::byte, kSettingsFileSize> buffer{};
    std::size_t filled = 0;
    while (filled < buffer.size()) {
        const ssize_t n = ::read(file.get(), buffer.data() + filled, buffer.size() - filled);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return {};
        }
        if (n == 0) {
            break;
        }
        filled += static_cast<std::size_t>(n);
    }
    return DecodeSettings(std::span<const std::byte>(buffer.data(), filled));
}

orvane::Expected<void> SaveSettings(const std::string& path, const RecorderSettings& settings) {
    // The old file stays locked until the new one has taken its place.
    const UniqueFd current(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    mode_t mode = 0644;
    if (current.valid()) {
        if (!LockExclusively(current.get())) {
            return orvane::fail(orvane::FailureKind::Refused,
                                QStringLiteral("設定ファイル %1 は別のプログラムが使用中です")
                                    .arg(QString::fromStdString(path)));
        }
        struct stat info {};
        if (::fstat(current.get(), &info) == 0) {
            mode = info.st_mode & 07777;
        }
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    const SettingsImage image = EncodeSettings(settings);
    return ReplaceFile(path, image, mode);
}

}  // namespace trelcapg
