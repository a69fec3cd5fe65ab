#include "recorder_settings.h"

#include <QDir>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace trelcapg {
namespace {

std::vector<std::byte> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> chars{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<std::byte> bytes(chars.size());
    std::memcpy(bytes.data(), chars.data(), chars.size());
    return bytes;
}

void WriteFile(const std::string& path, const std::vector<std::byte>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

void PutLe32(std::vector<std::byte>& image, std::size_t offset, std::uint32_t value) {
    image[offset] = std::byte(value & 0xFF);
    image[offset + 1] = std::byte((value >> 8) & 0xFF);
    image[offset + 2] = std::byte((value >> 16) & 0xFF);
    image[offset + 3] = std::byte((value >> 24) & 0xFF);
}

void PutText(std::vector<std::byte>& image, std::size_t offset, std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        image[offset + i] = std::byte(static_cast<unsigned char>(text[i]));
    }
}

// Every field away from its default, texts with multi-byte characters.
RecorderSettings Unusual() {
    RecorderSettings s;
    s.filePath = "/home/user/録音/voice note.mp3";
    s.recParam = 7;
    s.boost = 2;
    s.recTime = 604799;
    s.outputRate = 9;
    s.rateConversion = 2;
    s.fileFormat = kLame;
    s.silenceDetection = 1;
    s.silenceLevel = 99;
    s.silencePeriod = 29;
    s.mp3Vbr = 1;
    s.vbrLevel = 0;
    s.options = "-x \"quoted\" ＝ wide";
    return s;
}

// The image of Unusual(), laid out by hand.
std::vector<std::byte> UnusualImageByHand() {
    std::vector<std::byte> image(1068, std::byte{0});
    PutText(image, 0, "/home/user/録音/voice note.mp3");
    PutLe32(image, 512, 7);
    PutLe32(image, 516, 2);
    PutLe32(image, 520, 604799);
    PutLe32(image, 524, 9);
    PutLe32(image, 528, 2);
    PutLe32(image, 532, 1);
    PutLe32(image, 536, 1);
    PutLe32(image, 540, 99);
    PutLe32(image, 544, 29);
    PutLe32(image, 548, 1);
    PutLe32(image, 552, 0);
    PutText(image, 556, "-x \"quoted\" ＝ wide");
    return image;
}

class SettingsFileTest : public ::testing::Test {
  protected:
    std::string path(const char* name = "TrelcapG.dat") const {
        return dir_.filePath(QString::fromUtf8(name)).toStdString();
    }
    QTemporaryDir dir_;
};

TEST_F(SettingsFileTest, SaveAndLoadGiveBackEveryField) {
    const RecorderSettings saved = Unusual();
    ASSERT_TRUE(SaveSettings(path(), saved));
    EXPECT_EQ(ReadFile(path()).size(), 1068u);
    EXPECT_EQ(LoadSettings(path()), saved);

    // Saving again replaces the whole record.
    ASSERT_TRUE(SaveSettings(path(), RecorderSettings{}));
    EXPECT_EQ(ReadFile(path()).size(), 1068u);
    EXPECT_EQ(LoadSettings(path()), RecorderSettings{});
}

TEST_F(SettingsFileTest, FileMatchesTheLayoutByteForByte) {
    ASSERT_TRUE(SaveSettings(path(), Unusual()));
    EXPECT_EQ(ReadFile(path()), UnusualImageByHand());

    // Bytes after a text's terminator carry no meaning.
    std::vector<std::byte> image = UnusualImageByHand();
    image[510] = std::byte{'Z'};
    image[1067] = std::byte{'Z'};
    WriteFile(path(), image);
    EXPECT_EQ(LoadSettings(path()), Unusual());
}

TEST_F(SettingsFileTest, MissingLockedOrUnreadableFileGivesDefaults) {
    EXPECT_EQ(LoadSettings(path("missing.dat")), RecorderSettings{});

    ASSERT_TRUE(SaveSettings(path(), Unusual()));
    const int holder = ::open(path().c_str(), O_RDONLY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    EXPECT_EQ(LoadSettings(path()), RecorderSettings{});
    // Nor is a file in use elsewhere overwritten.
    EXPECT_FALSE(SaveSettings(path(), RecorderSettings{}));
    ::close(holder);
    EXPECT_EQ(LoadSettings(path()), Unusual());

    ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("folder.dat")));
    EXPECT_EQ(LoadSettings(path("folder.dat")), RecorderSettings{});
    EXPECT_FALSE(SaveSettings(path("folder.dat"), Unusual()));
}

TEST(SettingsDecodeTest, ShortFileFillsTheRestWithDefaults) {
    const std::vector<std::byte> full = UnusualImageByHand();
    struct Row {
        const char* name;
        std::size_t length;
        RecorderSettings expected;
    };
    RecorderSettings pathOnly;
    pathOnly.filePath = Unusual().filePath;
    RecorderSettings throughBoost = pathOnly;
    throughBoost.recParam = 7;
    throughBoost.boost = 2;
    RecorderSettings allNumbers = Unusual();
    allNumbers.options.clear();
    RecorderSettings partOfOptions = Unusual();
    partOfOptions.options = "-x \"q";

    const Row rows[] = {
        {"empty", 0, RecorderSettings{}},
        {"path cut short", 10,
         [] {
             RecorderSettings s;
             s.filePath = "/home/user";
             return s;
         }()},
        {"path only", 512, pathOnly},
        {"half of recParam", 514, pathOnly},
        {"through boost", 520, throughBoost},
        {"all numbers", 556, allNumbers},
        {"part of options", 561, partOfOptions},
        {"longer than a record", 1068, Unusual()},
    };
    for (const Row& row : rows) {
        std::vector<std::byte> bytes(full.begin(), full.begin() + static_cast<long>(row.length));
        EXPECT_EQ(DecodeSettings(bytes), row.expected) << row.name;
    }
    std::vector<std::byte> longer = full;
    longer.resize(2000, std::byte{0x7F});
    EXPECT_EQ(DecodeSettings(longer), Unusual()) << "bytes beyond the record";
}

TEST(SettingsDecodeTest, OutOfRangeValuesBecomeTheFieldsDefault) {
    struct Row {
        const char* name;
        std::size_t offset;
        std::int32_t value;
        std::int32_t RecorderSettings::*field;
        std::int32_t expected;
    };
    const Row rows[] = {
        {"recParam 0", 512, 0, &RecorderSettings::recParam, 12},
        {"recParam 17", 512, 17, &RecorderSettings::recParam, 12},
        {"recParam 16 kept", 512, 16, &RecorderSettings::recParam, 16},
        {"boost 3", 516, 3, &RecorderSettings::boost, 0},
        {"recTime 0", 520, 0, &RecorderSettings::recTime, 60},
        {"recTime a week", 520, 604800, &RecorderSettings::recTime, 60},
        {"outputRate past table", 524, 10, &RecorderSettings::outputRate, 5},
        {"outputRate negative", 524, -1, &RecorderSettings::outputRate, 5},
        {"conversion past table", 528, 3, &RecorderSettings::rateConversion, 0},
        {"fileFormat 4", 532, 4, &RecorderSettings::fileFormat, 0},
        {"silenceDetection 2", 536, 2, &RecorderSettings::silenceDetection, 0},
        {"silenceLevel 100", 540, 100, &RecorderSettings::silenceLevel, 10},
        {"silencePeriod 30", 544, 30, &RecorderSettings::silencePeriod, 3},
        {"mp3Vbr -1", 548, -1, &RecorderSettings::mp3Vbr, 0},
        {"vbrLevel 10", 552, 10, &RecorderSettings::vbrLevel, 6},
        {"vbrLevel huge", 552, INT32_MIN, &RecorderSettings::vbrLevel, 6},
    };
    for (const Row& row : rows) {
        std::vector<std::byte> image = UnusualImageByHand();
        PutLe32(image, row.offset, static_cast<std::uint32_t>(row.value));
        const RecorderSettings decoded = DecodeSettings(image);
        EXPECT_EQ(decoded.*row.field, row.expected) << row.name;
        // The other fields stand as the file holds them.
        RecorderSettings expected = Unusual();
        expected.*row.field = row.expected;
        EXPECT_EQ(decoded, expected) << row.name;
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
    std::vector<std::byte> unterminated(1068, std::byte{'c'});
    EXPECT_EQ(DecodeSettings(unterminated).filePath, std::string(511, 'c'));
}

TEST(SettingsFileNameTest, NamedAfterTheExecutable) {
    EXPECT_EQ(SettingsFileName("/usr/local/bin/TrelcapG"), "TrelcapG.dat");
    EXPECT_EQ(SettingsFileName("TrelcapG"), "TrelcapG.dat");
    EXPECT_EQ(SettingsFileName("/opt/rec/MyRecorder.exe"), "MyRecorder.dat");
    EXPECT_EQ(SettingsFileName("/opt/rec.d/front.end.bin"), "front.end.dat");
}

}  // namespace
}  // namespace trelcapg
