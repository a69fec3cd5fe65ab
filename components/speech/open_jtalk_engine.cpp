#include "open_jtalk_engine.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <signal.h>

#include <cmath>

namespace orvane::speech {
namespace {

QString program() {
    return QStandardPaths::findExecutable(QStringLiteral("open_jtalk"));
}

// `open_jtalk` writes these when it finds no phoneme in a text (only signs).
bool foundNothingToSay(const QByteArray& stderrText) {
    return stderrText.contains("No phoneme") || stderrText.contains("cannot be synthesized");
}

// Speech needs no more than 24 kHz; voices made at 48 kHz spend half their
// synthesis time (the vocoder runs per output sample) on frequencies that add
// little to intelligibility. Rendering them at 24 kHz, with the frame period
// scaled to keep 5 ms frames, halves the time to the first sample.
constexpr int kOutputRate = 24000;

QStringList outputRateArguments(const QString& voiceFile) {
    QFile file(voiceFile);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    int rate = 0;
    int framePeriod = 0;
    // The [GLOBAL] section is text at the start of the file.
    for (const QByteArray& line : file.read(4096).split('\n')) {
        if (line.startsWith("SAMPLING_FREQUENCY:")) {
            rate = line.mid(19).trimmed().toInt();
        } else if (line.startsWith("FRAME_PERIOD:")) {
            framePeriod = line.mid(13).trimmed().toInt();
        } else if (line.startsWith("[STREAM]")) {
            break;
        }
    }
    if (rate <= kOutputRate || framePeriod <= 0 || (framePeriod * kOutputRate) % rate != 0) {
        return {};
    }
    return {QStringLiteral("-s"), QString::number(kOutputRate), QStringLiteral("-p"),
            QString::number(framePeriod * kOutputRate / rate)};
}

}  // namespace

OpenJTalkEngine::OpenJTalkEngine(QString defaultVoice, QString dictionaryDir)
    : defaultVoice_(std::move(defaultVoice)), dictionaryDir_(std::move(dictionaryDir)) {}

OpenJTalkEngine::~OpenJTalkEngine() {
    discard(waiting_);
}

Expected<void> OpenJTalkEngine::installed() {
    if (program().isEmpty()) {
        return fail(FailureKind::NotFound,
                    QStringLiteral("open_jtalk is not installed (package open-jtalk)"));
    }
    if (!QFileInfo::exists(QString::fromLatin1(kDefaultDictionary) + "/sys.dic")) {
        return fail(FailureKind::NotFound, QStringLiteral("the Open JTalk dictionary is not "
                                                          "installed (package "
                                                          "open-jtalk-mecab-naist-jdic)"));
    }
    return success();
}

QStringList OpenJTalkEngine::argumentsFor(const VoiceSettings& voice,
                                          const QString& wavPath) const {
    // A character's own voice where it is installed, else the one found at start.
    const QString voiceFile = !voice.voicePath.isEmpty() && QFileInfo(voice.voicePath).isFile()
                                  ? voice.voicePath
                                  : defaultVoice_;
    const double volume = std::clamp(voice.volume, 0.001, 4.0);
    return outputRateArguments(voiceFile) +
           QStringList{QStringLiteral("-x"),  dictionaryDir_,
                       QStringLiteral("-m"),  voiceFile,
                       QStringLiteral("-r"),  QString::number(std::clamp(voice.speed, 0.3, 3.0)),
                       QStringLiteral("-fm"), QString::number(std::clamp(voice.pitch, -24.0, 24.0)),
                       QStringLiteral("-g"),  QString::number(20.0 * std::log10(volume)),
                       QStringLiteral("-ow"), wavPath};
}

bool OpenJTalkEngine::start(Waiting& w, const VoiceSettings& voice) {
    discard(w);
    if (!workDir_.isValid()) {
        return false;
    }
    w.wavPath = workDir_.filePath(QStringLiteral("speech-%1.wav").arg(++serial_));
    w.voice = voice;
    w.arguments = argumentsFor(voice, w.wavPath);
    w.process = std::make_unique<QProcess>();
    // With no input file, open_jtalk loads dictionary and voice, then reads its
    // text from standard input.
    w.process->start(program(), w.arguments);
    return true;
}

void OpenJTalkEngine::discard(Waiting& w) {
    if (w.process) {
        w.process->kill();
        w.process->waitForFinished(2000);
        w.process.reset();
    }
    if (!w.wavPath.isEmpty()) {
        QFile::remove(w.wavPath);
        w.wavPath.clear();
    }
    w.arguments.clear();
}

void OpenJTalkEngine::prepare(const VoiceSettings& voice) {
    if (waiting_.process && waiting_.process->state() != QProcess::NotRunning &&
        waiting_.voice == voice) {
        return;
    }
    start(waiting_, voice);
}

Synthesis OpenJTalkEngine::synthesize(const QString& text, const VoiceSettings& voice) {
    if (program().isEmpty()) {
        return fail(FailureKind::NotFound, QStringLiteral("open_jtalk is not installed"));
    }
    prepare(voice);
    Waiting current = std::move(waiting_);
    waiting_ = {};
    if (!current.process || !current.process->waitForStarted(5000)) {
        const QString why = current.process ? current.process->errorString() : QString();
        discard(current);
        return fail(FailureKind::Internal, QStringLiteral("open_jtalk did not start: %1").arg(why));
    }
    current.process->write(text.toUtf8() + '\n');
    current.process->closeWriteChannel();
    {
        std::lock_guard lock(runningMutex_);
        runningPid_ = current.process->processId();
    }

    // Synthesis runs at a small fraction of real time; a text of 120 characters takes
    // well under two seconds. Allow plenty before calling the process stuck.
    const int timeoutMs = 20000 + 200 * int(text.size());
    const bool finished = current.process->waitForFinished(timeoutMs);
    {
        // Cleared before the process is reaped, so that its number is never reused
        // under interrupt()'s hands.
        std::lock_guard lock(runningMutex_);
        runningPid_ = 0;
    }
    if (!finished) {
        discard(current);
        return fail(FailureKind::Timeout,
                    QStringLiteral("open_jtalk did not finish within %1 s").arg(timeoutMs / 1000));
    }
    // The next text's process loads its dictionary and voice while this one plays
    // (not during this synthesis: on two cores that would slow it down).
    start(waiting_, voice);
    const QByteArray errors = current.process->readAllStandardError();
    if (current.process->exitStatus() != QProcess::NormalExit || current.process->exitCode() != 0) {
        discard(current);
        if (foundNothingToSay(errors)) {
            return Audio{};
        }
        return fail(FailureKind::Internal,
                    QStringLiteral("open_jtalk failed: %1")
                        .arg(QString::fromLocal8Bit(errors).trimmed().section(u'\n', -1)));
    }
    QFile wav(current.wavPath);
    std::optional<Audio> audio;
    if (wav.open(QIODevice::ReadOnly)) {
        audio = parseWav(wav.readAll());
    }
    discard(current);
    if (!audio) {
        return fail(FailureKind::Internal, QStringLiteral("open_jtalk wrote no readable WAV file"));
    }
    return std::move(*audio);
}

void OpenJTalkEngine::interrupt() {
    std::lock_guard lock(runningMutex_);
    if (runningPid_ > 0) {
        ::kill(pid_t(runningPid_), SIGKILL);
    }
}

}  // namespace orvane::speech
