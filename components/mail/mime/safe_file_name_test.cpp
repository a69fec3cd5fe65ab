#include "safe_file_name.h"
#include "mime_test_support.h"

#include <gtest/gtest.h>

namespace orvane::mail {
namespace {

using test::PrintTo;
using test::utf8;

struct NameRow {
    const char* name;
    const char* suggested;
    const char* expected;
};

class SafeFileName : public testing::TestWithParam<NameRow> {};

TEST_P(SafeFileName, StaysInsideItsFolder) {
    const NameRow& row = GetParam();
    EXPECT_EQ(safeFileName(utf8(row.suggested), QStringLiteral(".mp3")).toStdString(),
              std::string(row.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SafeFileName,
    testing::Values(NameRow{"japanese_kept", "音声メッセージ.mp3", "音声メッセージ.mp3"},
                    NameRow{"parent_folders_dropped", "../../x.mp3", "x.mp3"},
                    NameRow{"windows_path_dropped", "C:\\Users\\a\\voice.mp3", "voice.mp3"},
                    NameRow{"absolute_path_dropped", "/etc/cron.d/job", "job"},
                    NameRow{"dot_dot_alone", "..", "attachment.mp3"},
                    NameRow{"empty", "", "attachment.mp3"},
                    NameRow{"blanks_only", "   ", "attachment.mp3"},
                    NameRow{"hidden_file", ".bashrc", "bashrc"},
                    NameRow{"trailing_dots", "voice.mp3. . ", "voice.mp3"},
                    NameRow{"device_name", "nul.mp3", "_nul.mp3"},
                    NameRow{"saved_mail_form", "20261207-093000-0001-1a2b.eml",
                            "_20261207-093000-0001-1a2b.eml"},
                    NameRow{"checker_mail_form", "check-20261207-093000-0001-1a2b.eml",
                            "_check-20261207-093000-0001-1a2b.eml"},
                    NameRow{"unsafe_characters", "a:b*c?d\"e<f>g|h.mp3", "a_b_c_d_e_f_g_h.mp3"},
                    NameRow{"bidi_override_removed", "invoice\u202Egpj.mp3", "invoicegpj.mp3"},
                    NameRow{"control_characters_removed", "a\tb\nc.mp3", "abc.mp3"}),
    test::RowName{});

TEST(SafeFileName, LongNamesKeepTheirExtensionWithinTheLimit) {
    const QString name = safeFileName(QString(300, QChar(0x3042)) + ".mp3", ".bin");
    EXPECT_TRUE(name.endsWith(".mp3"));
    EXPECT_LE(name.toUtf8().size(), 180);
}

}  // namespace
}  // namespace orvane::mail
