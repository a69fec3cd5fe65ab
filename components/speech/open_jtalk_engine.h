#pragma once

#include "engine.h"

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <mutex>

namespace orvane::speech {

// Open JTalk through Debian's `open_jtalk` program and the naist-jdic dictionary
// for Open JTalk, with an HTS voice file.
//
// Each text runs one `open_jtalk` process. The process for the next text is started
// ahead of time (it loads the dictionary and the voice, then waits for its text on
// standard input), so a text only costs its synthesis.
class OpenJTalkEngine final : public Engine {
  public:
    static constexpr const char* kDefaultDictionary = "/var/lib/mecab/dic/open-jtalk/naist-jdic";

    // `defaultVoice`: used for characters that name no voice of their own.
    OpenJTalkEngine(QString defaultVoice, QString dictionaryDir = kDefaultDictionary);
    ~OpenJTalkEngine() override;

    QString name() const override { return QStringLiteral("jtalk"); }
    QString voiceDescription() const override { return defaultVoice_; }
    void prepare(const VoiceSettings& voice) override;
    Synthesis synthesize(const QString& text, const VoiceSettings& voice) override;
    // Ends the open_jtalk process of the text being synthesised.
    void interrupt() override;

    // Whether the program and the dictionary are installed; if not, which is missing.
    static Expected<void> installed();

  private:
    struct Waiting {
        std::unique_ptr<QProcess> process;
        VoiceSettings voice;
        QStringList arguments;
        QString wavPath;
    };
    QStringList argumentsFor(const VoiceSettings& voice, const QString& wavPath) const;
    bool start(Waiting& w, const VoiceSettings& voice);
    void discard(Waiting& w);

    QString defaultVoice_;
    QString dictionaryDir_;
    QTemporaryDir workDir_;
    Waiting waiting_;
    int serial_ = 0;
    std::mutex runningMutex_;
    qint64 runningPid_ = 0;  // the process synthesising now, for interrupt()
};

}  // namespace orvane::speech
