#include "voice_recording.h"

#include "agent.h"
#include "announcer.h"
#include "character.h"
#include "mailer_state.h"
#include "shell_wait.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QRegularExpression>

#include <map>

namespace orvane::mailer {

namespace {

constexpr int kBeepHertz = 880;
constexpr int kBeepMilliseconds = 200;
// Bounds the wait for the beep (and any speech still queued before it).
constexpr int kBeepWaitMilliseconds = 5000;

// The user name's share of a file name: with the rest of the base name, ".mp3",
// a " (N)" of a taken name and the recorder's temporary-name decoration it
// stays well under the 255 bytes a file name may have.
constexpr qsizetype kMaxUserBytes = 160;

bool fitsInBaseName(QChar c) {
    return c != u'"' && c != u'\\' && c != u'/' && c != u':' &&
           c.category() != QChar::Other_Control;
}

QString fileNameShare(const QString& user) {
    QString kept;
    qsizetype bytes = 0;
    for (qsizetype i = 0; i < user.size(); ++i) {
        // A surrogate pair is one character: kept or cut whole. A lone half
        // has no name on disk.
        const bool pair =
            user.at(i).isHighSurrogate() && i + 1 < user.size() && user.at(i + 1).isLowSurrogate();
        const QString character = user.mid(i, pair ? 2 : 1);
        i += pair ? 1 : 0;
        if (!pair && (character.front().isSurrogate() || !fitsInBaseName(character.front()))) {
            continue;
        }
        bytes += character.toUtf8().size();
        if (bytes > kMaxUserBytes) {
            break;
        }
        kept += character;
    }
    return kept;
}

// What tells one version of a file from another.
struct FileVersion {
    QDateTime modified;
    qint64 size = 0;
    bool operator==(const FileVersion&) const = default;
};
using Recordings = std::map<QString, FileVersion>;

// "BASE.mp3" and the names the recorder gives when that one is taken,
// "BASE (2).mp3", "BASE (3).mp3" ...
bool isRecordingOf(const QString& fileName, const QString& base) {
    static const QString extension = QStringLiteral(".mp3");
    if (!fileName.startsWith(base) || !fileName.endsWith(extension) ||
        fileName.size() < base.size() + extension.size()) {
        return false;
    }
    const QString between =
        fileName.mid(base.size(), fileName.size() - base.size() - extension.size());
    static const QRegularExpression taken(QStringLiteral("^ \\([0-9]+\\)$"));
    return between.isEmpty() || taken.match(between).hasMatch();
}

Recordings recordingsOf(const QString& folder, const QString& base) {
    Recordings found;
    const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files);
    for (const QFileInfo& file : files) {
        if (isRecordingOf(file.fileName(), base)) {
            found[file.fileName()] = {file.lastModified(), file.size()};
        }
    }
    return found;
}

// The newest file that is not in `before` as it was then.
std::optional<std::pair<QString, FileVersion>> newRecording(const Recordings& before,
                                                            const Recordings& after) {
    std::optional<std::pair<QString, FileVersion>> newest;
    for (const auto& [name, version] : after) {
        const auto old = before.find(name);
        if (old != before.end() && old->second == version) {
            continue;
        }
        if (!newest || version.modified > newest->second.modified) {
            newest = {name, version};
        }
    }
    return newest;
}

QPixmap drawnMicrophone(QSize size) {
    QPixmap picture(size);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal w = size.width();
    const qreal h = size.height();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(200, 0, 0));
    painter.drawRoundedRect(QRectF(w * 0.35, h * 0.08, w * 0.3, h * 0.5), w * 0.15, w * 0.15);
    painter.setPen(QPen(QColor(60, 60, 60), qMax<qreal>(1.5, w / 16)));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(QRectF(w * 0.25, h * 0.2, w * 0.5, h * 0.5), 180 * 16, 180 * 16);
    painter.drawLine(QPointF(w * 0.5, h * 0.7), QPointF(w * 0.5, h * 0.88));
    painter.drawLine(QPointF(w * 0.32, h * 0.9), QPointF(w * 0.68, h * 0.9));
    return picture;
}

}  // namespace

QString voiceFileBase(const QString& user, const QDateTime& now) {
    return QStringLiteral("orvane-") + fileNameShare(user) + QLatin1Char('-') +
           now.toString(QStringLiteral("yyyyMMddHHmmss"));
}

QString recorderCommandLine(const QString& recorder, int seconds, const QString& base) {
    // Inside double quotes, three quotes in a row stand for one.
    QString quoted = recorder;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\"\""));
    return QStringLiteral("\"%1\" -t %2 -b 32 -f 12 -sr 32.2 \"%3\"")
        .arg(quoted, QString::number(seconds), base);
}

Expected<QString> findRecorder(const QStringList& folders) {
    for (const QString& folder : folders) {
        if (folder.isEmpty()) {
            continue;
        }
        const QFileInfo candidate(QDir(folder).filePath(kRecorderPath));
        if (candidate.isFile()) {
            return candidate.absoluteFilePath();
        }
    }
    return Failure{FailureKind::NotFound,
                   QStringLiteral("録音プログラム %1 が見つかりません").arg(kRecorderPath)};
}

std::function<void()> beepThrough(speech::Agent& agent, speech::Character* character) {
    return [&agent, character] {
        if (character != nullptr) {
            character->playTone(kBeepHertz, kBeepMilliseconds);
            (void)agent.waitUntilIdle(kBeepWaitMilliseconds);
        }
    };
}

VoiceRecording::VoiceRecording(Parts parts) : p_(std::move(parts)) {
    if (p_.mic != nullptr) {
        if (p_.mic->pixmap().isNull() && p_.mic->text().isEmpty()) {
            const QSize size = p_.mic->size().isEmpty() ? QSize(32, 32) : p_.mic->size();
            p_.mic->setPixmap(drawnMicrophone(size));
        }
        p_.mic->hide();
    }
}

void VoiceRecording::record_voice() {
    // Without a recorder there is nothing to announce: say so at once.
    const Expected<QString> recorder = findRecorder({p_.state.programFolder, p_.executableFolder});
    if (!recorder) {
        p_.state.voice_attached = false;
        reportFailure(recorder.failure().reason);
        return;
    }
    const int seconds = p_.state.recording_seconds;
    p_.state.voice_attached = true;
    showMic(true);
    p_.announcer.show_message(QString::number(seconds) + QStringLiteral("秒間　録音中"));
    p_.announcer.speak(QStringLiteral("音声") + QString::number(seconds) +
                       QStringLiteral("秒　録音開始"));
    p_.pause(kAnnouncementPauseSeconds);
    p_.beep();

    const AccountRow* account = p_.state.currentAccount();
    const QString base = voiceFileBase(account ? account->fields.account : QString(), p_.clock());
    p_.state.voice_file_base = base;
    const Expected<QString> written = runRecorder(*recorder, seconds, base);
    p_.beep();

    if (written) {
        p_.state.voice_file_base = *written;
        p_.announcer.speak(QStringLiteral("音声録音が終了しました。[ＥＳＣ]でメールされます"));
        p_.announcer.show_message(QStringLiteral("録音終了"));
    } else {
        p_.state.voice_attached = false;
        reportFailure(written.failure().reason);
    }
    showMic(false);
}

Expected<QString> VoiceRecording::runRecorder(const QString& recorder, int seconds,
                                              const QString& base) {
    const QString folder = p_.state.programFolder;
    const Recordings before = recordingsOf(folder, base);
    const Expected<void> ran = p_.shellWait.shell_and_wait(
        recorderCommandLine(recorder, seconds, base), 0, seconds, folder);
    if (!ran) {
        return ran.failure();
    }
    const auto written = newRecording(before, recordingsOf(folder, base));
    if (!written) {
        return Failure{FailureKind::Disk,
                       QStringLiteral("録音プログラムが音声ファイルを残さずに終了しました")};
    }
    if (written->second.size == 0) {
        return Failure{FailureKind::BadInput, QStringLiteral("録音された音声ファイルが空です")};
    }
    return written->first.chopped(4);  // without ".mp3"
}

void VoiceRecording::showMic(bool visible) {
    if (p_.mic == nullptr) {
        return;
    }
    p_.mic->setVisible(visible);
    p_.mic->repaint();
}

void VoiceRecording::reportFailure(const QString& reason) {
    const QString text = QStringLiteral("録音できませんでした：") + reason;
    p_.announcer.show_message(text);
    p_.announcer.speak(text);
}

}  // namespace orvane::mailer
