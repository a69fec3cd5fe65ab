#include "settings_file.h"

#include "qstring_printer.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>
#include <tuple>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

using namespace orvane::mailcheck;

namespace {

TEST(SettingsFile, ReadsFilesFromElsewhereAndRefusesShortOnes) {
    QStringEncoder toShiftJis("Shift_JIS");
    ASSERT_TRUE(toShiftJis.isValid());
    const CheckerSettings plain{"h", "u", "p", "10", "MAX"};
    // Each file's bytes and what is read from them (none: refused).
    const std::tuple<const char*, QByteArray, std::optional<CheckerSettings>> rows[] = {
        {"shift_jis", toShiftJis.encode(QStringLiteral("サーバー\r\n山田\r\n秘密\r\n5\r\nMAX\r\n")),
         CheckerSettings{QStringLiteral("サーバー"), QStringLiteral("山田"), QStringLiteral("秘密"),
                         "5", "MAX"}},
        {"utf8_with_bom", "\xEF\xBB\xBFh\r\nu\r\np\r\n10\r\nMAX\r\n", plain},
        {"lf_lines_no_final_break", "h\nu\np\n10\nMAX", plain},
        // The format has no quoting: a comma has always ended a field.
        {"comma_splits", "h,u\r\np\r\n10\r\nMAX\r\n", plain},
        {"empty_values_kept", "\r\n\r\n\r\n10\r\n\r\n", CheckerSettings{"", "", "", "10", ""}},
        {"four_lines", "h\r\nu\r\np\r\n10\r\n", std::nullopt},
    };
    for (const auto& [name, bytes, expected] : rows) {
        const auto decoded = decodeSettings(bytes);
        EXPECT_EQ(decoded.ok() ? std::optional(*decoded) : std::nullopt, expected) << name;
    }
}

TEST(SettingsFile, TickLimitIsTwiceTheInterval) {
    const std::pair<const char*, double> accepted[] = {{"10", 20}, {"1.5", 3}, {"0", 0},
                                                       {".5", 1},  {"2.", 4},  {"0.25", 0.5}};
    for (const auto& [interval, limit] : accepted) {
        const auto computed = tickLimitFor(QString::fromLatin1(interval));
        ASSERT_TRUE(computed.ok()) << interval;
        EXPECT_DOUBLE_EQ(*computed, limit) << interval;
    }
    for (const char* refused : {"", " ", "-1", "abc", "1e3", "1,5", "inf", "nan", "1.2.3"}) {
        EXPECT_FALSE(tickLimitFor(QString::fromLatin1(refused)).ok()) << refused;
    }
}

TEST(SettingsFile, ValuesThatCannotBeStoredAreRefusedNamingTheBox) {
    // Each row: what is refused, and how the reason begins.
    const std::tuple<const char*, CheckerSettings, const char*> rows[] = {
        {"comma_in_password", {"h", "u", "p,q", "10", "MAX"}, "password にカンマ"},
        {"line_break_in_account", {"h", "u\nv", "p", "10", "MAX"}, "account に改行"},
        {"carriage_return_in_character", {"h", "u", "p", "10", "M\rAX"}, "キャラクタ に改行"},
        {"no_server", {" ", "u", "p", "10", "MAX"}, "pop に"},
        {"no_user", {"h", "", "p", "10", "MAX"}, "account に"},
        {"negative_interval", {"h", "u", "p", "-5", "MAX"}, "メール検査周期(分) に"},
    };
    for (const auto& [name, settings, reasonStart] : rows) {
        const auto checked = checkSettings(settings);
        ASSERT_FALSE(checked.ok()) << name;
        EXPECT_TRUE(checked.failure().reason.startsWith(QString::fromUtf8(reasonStart)))
            << name << ": " << checked.failure().reason.toStdString();
    }
}

// Saves in a child process whose files may not grow past `maxBytes`, as on a
// disk that fills up during the write; whether the child reported success.
bool saveOnAFullDisk(const QString& path, const CheckerSettings& settings, rlim_t maxBytes) {
    const pid_t child = ::fork();
    if (child == 0) {
        const rlimit limit{maxBytes, maxBytes};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead
        ::_exit(writeSettingsFile(path, settings).ok() ? 0 : 1);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The file holds the password: a save that cannot finish keeps the old
// settings whole and leaves no half-written file beside them.
TEST(SettingsFile, AFailedSaveLeavesTheOldFileWhole) {
    QTemporaryDir dir;
    const QString path = dir.filePath(kSettingsFileName);
    const CheckerSettings old{"pop.example.jp", "yamada", "secret", "10", "MAX"};
    ASSERT_TRUE(writeSettingsFile(path, old).ok());
    const CheckerSettings longer{"pop.example.jp", QString(200, u'a'), "secret", "10", "MAX"};
    EXPECT_FALSE(saveOnAFullDisk(path, longer, 64));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), encodeSettings(old));
    EXPECT_EQ(file.permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup), 0);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{kSettingsFileName});
}

}  // namespace
