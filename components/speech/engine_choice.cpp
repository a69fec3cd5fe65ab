#include "engine_choice.h"

#include "espeak_engine.h"
#include "open_jtalk_engine.h"

#include <QDirIterator>
#include <QFileInfo>

namespace orvane::speech {
namespace {

QString withNote(const QString& line, const QString& note) {
    return note.isEmpty() ? line : line + QStringLiteral(" (") + note + QLatin1Char(')');
}

}  // namespace

QString findDefaultHtsVoice() {
    const QString fromEnv = qEnvironmentVariable("ORVANE_VOICE");
    if (!fromEnv.isEmpty() && QFileInfo(fromEnv).isFile()) {
        return QFileInfo(fromEnv).absoluteFilePath();
    }
    for (const char* dir :
         {"/usr/share/hts-voice", "/usr/local/share/hts-voice", "/usr/share/open-jtalk/voices"}) {
        QStringList found;
        QDirIterator it(QString::fromLatin1(dir), {QStringLiteral("*.htsvoice")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            found << it.next();
        }
        if (!found.isEmpty()) {
            found.sort();
            return found.first();
        }
    }
    return {};
}

EngineChoice chooseEngine(const QString& requested) {
    QString mode = requested.isEmpty() ? qEnvironmentVariable("ORVANE_SPEECH") : requested;
    mode = mode.trimmed().toLower();
    QString note;
    if (mode.isEmpty()) {
        mode = QStringLiteral("auto");
    } else if (mode != u"auto" && mode != u"jtalk" && mode != u"espeak" && mode != u"none") {
        note = QStringLiteral("unknown ORVANE_SPEECH \"%1\", used auto").arg(mode);
        mode = QStringLiteral("auto");
    }
    if (mode == u"none") {
        return {std::make_unique<SilentEngine>(), QStringLiteral("speech: none (silent)")};
    }
    if (mode == u"auto" || mode == u"jtalk") {
        const QString voice = findDefaultHtsVoice();
        const Expected<void> installed = OpenJTalkEngine::installed();
        QString why = installed ? QString() : installed.failure().reason;
        if (installed && voice.isEmpty()) {
            why = QStringLiteral(
                "no HTS voice (set ORVANE_VOICE or install one under "
                "/usr/share/hts-voice)");
        }
        if (why.isEmpty()) {
            return {std::make_unique<OpenJTalkEngine>(voice),
                    withNote(QStringLiteral("speech: jtalk, voice %1").arg(voice), note)};
        }
        note = withNote(QStringLiteral("Open JTalk not used: %1").arg(why), note);
    }
    auto espeak = EspeakEngine::create();
    if (espeak) {
        const QString description = espeak.value()->voiceDescription();
        return {std::move(espeak).value(),
                withNote(QStringLiteral("speech: espeak, voice %1").arg(description), note)};
    }
    return {
        std::make_unique<SilentEngine>(),
        withNote(
            QStringLiteral("speech: none, fallback unavailable: %1").arg(espeak.failure().reason),
            note)};
}

}  // namespace orvane::speech
