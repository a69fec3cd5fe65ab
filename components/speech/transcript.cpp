#include "transcript.h"

#include <QDateTime>
#include <QFileInfo>

namespace orvane::speech {

Transcript::Transcript(const QString& path) {
    if (path.isEmpty()) {
        return;
    }
    file_.setFileName(path);
    // Append so that several runs (or the program and a test) share one file;
    // a terminal or pipe (/dev/stdout) cannot be wound to its end, and needs not.
    const QFileInfo info(path);
    const auto append = !info.exists() || info.isFile() ? QIODevice::Append : QIODevice::NotOpen;
    if (!file_.open(QIODevice::WriteOnly | append | QIODevice::Text | QIODevice::Unbuffered)) {
        qWarning("transcript: cannot open %s: %s", qPrintable(path),
                 qPrintable(file_.errorString()));
    }
}

QString Transcript::formatLine(const QDateTime& when, const QString& text) {
    QString escaped = text;
    escaped.replace(QLatin1String("\r\n"), QLatin1String("\\n"));
    escaped.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    escaped.replace(QLatin1Char('\r'), QLatin1String("\\n"));
    return when.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) + QLatin1Char('\t') + escaped +
           QLatin1Char('\n');
}

void Transcript::append(const QString& text) {
    QMutexLocker lock(&mutex_);
    if (!file_.isOpen()) {
        return;
    }
    file_.write(formatLine(QDateTime::currentDateTime(), text).toUtf8());
    file_.flush();
}

}  // namespace orvane::speech
