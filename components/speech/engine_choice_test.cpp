#include "engine_choice.h"
#include "qstring_printer.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

using orvane::speech::chooseEngine;

namespace {

// Sets an environment variable for one scope.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const QByteArray& value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
        qputenv(name, value);
    }
    ~ScopedEnv() {
        if (had_) {
            qputenv(name_, old_);
        } else {
            qunsetenv(name_);
        }
    }

  private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

bool systemVoiceInstalled() {
    return !QDir("/usr/share/hts-voice").entryList({"*.htsvoice"}).isEmpty() ||
           QFileInfo::exists("/usr/local/share/hts-voice");
}

}  // namespace

TEST(ChooseEngine, ModesAndFallbacks) {
    ScopedEnv noVoice("ORVANE_VOICE", "/nonexistent/voice.htsvoice");
    struct Row {
        const char* mode;
        const char* engine;
        const char* summaryHas;
    };
    std::vector<Row> rows = {
        {"none", "none", "speech: none"},
        {"espeak", "espeak", "speech: espeak"},
        {"ESPEAK", "espeak", "speech: espeak"},
        {"loud", "espeak", "unknown ORVANE_SPEECH"},
    };
    if (!systemVoiceInstalled()) {
        rows.push_back({"jtalk", "espeak", "Open JTalk not used: no HTS voice"});
        rows.push_back({"auto", "espeak", "Open JTalk not used"});
    }
    for (const Row& row : rows) {
        SCOPED_TRACE(row.mode);
        ScopedEnv mode("ORVANE_SPEECH", row.mode);
        const auto choice = chooseEngine();
        ASSERT_TRUE(choice.engine);
        EXPECT_EQ(choice.engine->name(), QString::fromLatin1(row.engine));
        EXPECT_TRUE(choice.summary.contains(QString::fromLatin1(row.summaryHas)))
            << choice.summary.toStdString();
    }
}

TEST(ChooseEngine, AutoTakesOpenJTalkWhereAVoiceIsFound) {
    const QString voice = QDir(qEnvironmentVariable("ORVANE_SHARED_DIR"))
                              .filePath("voices/tohoku-f01-neutral.htsvoice");
    if (qEnvironmentVariable("ORVANE_SHARED_DIR").isEmpty() || !QFileInfo::exists(voice)) {
        GTEST_SKIP() << "no HTS voice: ORVANE_SHARED_DIR/voices/tohoku-f01-neutral.htsvoice "
                        "is absent";
    }
    ScopedEnv withVoice("ORVANE_VOICE", voice.toLocal8Bit());
    ScopedEnv mode("ORVANE_SPEECH", "auto");
    const auto choice = chooseEngine();
    EXPECT_EQ(choice.engine->name(), "jtalk");
    EXPECT_TRUE(choice.summary.contains(QFileInfo(voice).absoluteFilePath()))
        << choice.summary.toStdString();
}
