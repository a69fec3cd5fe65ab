#include "recorder_settings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <span>
#include <tuple>
#include <vector>

#include "front_test_support.h"

namespace trelcapg {
namespace {

using testing::UnusualSettings;
using Bytes = std::vector<std::byte>;

Bytes ReadFile(const std::string& path) {
    QFile file(QString::fromStdString(path));
    const QByteArray data = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    const auto bytes = std::as_bytes(std::span(data.constData(), std::size_t(data.size())));
    return {bytes.begin(), bytes.end()};
}

void PutLe32(Bytes& image, std::size_t offset, std::uint32_t value) {
    qToLittleEndian(value, image.data() + offset);
}

// The image of UnusualSettings(), laid out by hand: the path's slot, eleven numbers from
// offset 512, the options' slot from 556.
Bytes UnusualImageByHand() {
    Bytes image(1068, std::byte{0});
    auto putText = [&](std::size_t offset, std::string_view text) {
        const auto bytes = std::as_bytes(std::span(text));
        std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<long>(offset));
    };
    putText(0, "/home/user/録音/voice note.mp3");
    const std::uint32_t numbers[] = {7, 2, 604799, 9, 2, 1, 1, 99, 29, 1, 0};
    for (std::size_t i = 0; i < std::size(numbers); ++i) {
        PutLe32(image, 512 + 4 * i, numbers[i]);
    }
    putText(556, "-x \"quoted\" ＝ wide");
    return image;
}

class SettingsFileTest : public ::testing::Test {
  protected:
    std::string path(const char* name = "TrelcapG.dat") const {
        return dir_.filePath(QString::fromUtf8(name)).toStdString();
    }
    QTemporaryDir dir_;
};

TEST_F(SettingsFileTest, SaveAndLoadGiveBackEveryFieldInTheHandBuiltLayout) {
    ASSERT_TRUE(SaveSettings(path(), UnusualSettings()));
    EXPECT_EQ(ReadFile(path()), UnusualImageByHand());
    EXPECT_EQ(LoadSettings(path()), UnusualSettings());

    // Saving again replaces the whole record, and the file keeps its permissions.
    ASSERT_EQ(::chmod(path().c_str(), 0600), 0);
    ASSERT_TRUE(SaveSettings(path(), RecorderSettings{}));
    EXPECT_EQ(LoadSettings(path()), RecorderSettings{});
    struct stat info {};
    ASSERT_EQ(::stat(path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_EQ(info.st_size, 1068);
}

TEST_F(SettingsFileTest, MissingLockedOrUnreadableFileGivesDefaults) {
    EXPECT_EQ(LoadSettings(path("missing.dat")), RecorderSettings{});

    ASSERT_TRUE(SaveSettings(path(), UnusualSettings()));
    const int holder = ::open(path().c_str(), O_RDONLY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    EXPECT_EQ(LoadSettings(path()), RecorderSettings{});
    // Nor is a file in use elsewhere overwritten.
    EXPECT_FALSE(SaveSettings(path(), RecorderSettings{}));
    ::close(holder);
    EXPECT_EQ(LoadSettings(path()), UnusualSettings());

    ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("folder.dat")));
    EXPECT_EQ(LoadSettings(path("folder.dat")), RecorderSettings{});
    EXPECT_FALSE(SaveSettings(path("folder.dat"), UnusualSettings()));
}

// Saves in a child process whose files may not grow past maxFileBytes, as on a disk that
// fills up during the write. Returns whether the child reported the save as done.
bool SaveWithFileSizeLimit(const std::string& path, const RecorderSettings& settings,
                           rlim_t maxFileBytes) {
    const pid_t child = ::fork();
    if (child == 0) {
        const rlimit limit{maxFileBytes, maxFileBytes};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead
        ::_exit(SaveSettings(path, settings) ? 0 : 1);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A save that cannot finish leaves the previous file whole (or no file), never a cut one.
TEST_F(SettingsFileTest, FailedSaveLeavesTheOldFileWhole) {
    for (const bool oldFileExists : {true, false}) {
        QFile::remove(QString::fromStdString(path()));
        if (oldFileExists) {
            ASSERT_TRUE(SaveSettings(path(), UnusualSettings()));
        }
        // The disk fills up in the middle of the record.
        EXPECT_FALSE(SaveWithFileSizeLimit(path(), RecorderSettings{}, 600)) << oldFileExists;
        EXPECT_EQ(ReadFile(path()), oldFileExists ? UnusualImageByHand() : Bytes{});
        // Nothing half-written is left beside it either.
        EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden),
                  oldFileExists ? QStringList{"TrelcapG.dat"} : QStringList{});
    }
    // With room on the disk the new record replaces the old one whole.
    EXPECT_TRUE(SaveWithFileSizeLimit(path(), RecorderSettings{}, 4096));
    EXPECT_EQ(LoadSettings(path()), RecorderSettings{});
}

TEST(SettingsDecodeTest, ShortOrLongImageFillsTheRestWithDefaults) {
    const std::string unusualPath = UnusualSettings().filePath;
    Bytes afterTerminators = UnusualImageByHand();  // bytes after a terminator mean nothing
    afterTerminators[510] = afterTerminators[1067] = std::byte{'Z'};
    Bytes longer = UnusualImageByHand();
    longer.resize(2000, std::byte{0x7F});
    const Bytes full = UnusualImageByHand();
    RecorderSettings partOfOptions = UnusualSettings();
    partOfOptions.options = "-x \"q";
    auto first = [&](long n) { return Bytes(full.begin(), full.begin() + n); };
    const std::tuple<const char*, Bytes, RecorderSettings> rows[] = {
        {"empty", {}, RecorderSettings{}},
        {"path cut short", first(10), {.filePath = "/home/user"}},
        {"half of recParam", first(514), {.filePath = unusualPath}},
        {"through boost", first(520), {.filePath = unusualPath, .recParam = 7, .boost = 2}},
        {"part of options", first(561), partOfOptions},
        {"bytes after the terminators", afterTerminators, UnusualSettings()},
        {"bytes beyond the record", longer, UnusualSettings()},
    };
    for (const auto& [name, image, expected] : rows) {
        EXPECT_EQ(DecodeSettings(image), expected) << name;
    }
}

// Every field is checked the same way, against the range the dialog keeps: a few fields
// stand for all, with the ones that index a table.
TEST(SettingsDecodeTest, OutOfRangeValuesBecomeTheFieldsDefault) {
    // Each row: a value put at an offset, the field it lands in and what is read there.
    const std::tuple<const char*, std::size_t, std::int32_t, std::int32_t RecorderSettings::*,
                     std::int32_t>
        rows[] = {
            {"recParam 0", 512, 0, &RecorderSettings::recParam, 12},
            {"recParam 17", 512, 17, &RecorderSettings::recParam, 12},
            {"recParam 16 kept", 512, 16, &RecorderSettings::recParam, 16},
            {"recTime a week", 520, 604800, &RecorderSettings::recTime, 60},
            {"outputRate negative", 524, -1, &RecorderSettings::outputRate, 5},
            {"conversion past table", 528, 3, &RecorderSettings::rateConversion, 0},
            {"silencePeriod 30", 544, 30, &RecorderSettings::silencePeriod, 3},
            {"vbrLevel huge", 552, INT32_MIN, &RecorderSettings::vbrLevel, 6},
        };
    for (const auto& [name, offset, value, field, read] : rows) {
        Bytes image = UnusualImageByHand();
        PutLe32(image, offset, static_cast<std::uint32_t>(value));
        // The other fields stand as the file holds them.
        RecorderSettings expected = UnusualSettings();
        expected.*field = read;
        EXPECT_EQ(DecodeSettings(image), expected) << name;
    }
}

TEST(SettingsEncodeTest, TextsKeepTheirTerminatorAndWholeCharacters) {
    RecorderSettings s;
    s.filePath = std::string(600, 'a');
    s.options = std::string(510, 'b') + "é";  // 512 bytes: the two-byte character must go
    const SettingsImage image = EncodeSettings(s);
    EXPECT_EQ(image[511], std::byte{0});
    EXPECT_EQ(image[1067], std::byte{0});
    const RecorderSettings back = DecodeSettings(image);
    EXPECT_EQ(back.filePath, std::string(511, 'a'));
    EXPECT_EQ(back.options, std::string(510, 'b'));

    // A slot without any terminator is read up to its last whole character.
    const Bytes unterminated(1068, std::byte{'c'});
    EXPECT_EQ(DecodeSettings(unterminated).filePath, std::string(511, 'c'));
}

TEST(SettingsFileNameTest, NamedAfterTheExecutable) {
    EXPECT_EQ(SettingsFileName("/usr/local/bin/TrelcapG"), "TrelcapG.dat");
    EXPECT_EQ(SettingsFileName("/opt/rec.d/front.end.exe"), "front.end.dat");
}

}  // namespace
}  // namespace trelcapg
