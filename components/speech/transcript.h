#pragma once

#include <QDateTime>
#include <QFile>
#include <QMutex>
#include <QString>

namespace orvane::speech {

// The spoken-text transcript: one line per text, "local time with
// milliseconds<TAB>text", line breaks inside the text written as "\n".
// The format is a supported interface (braille displays, tests): keep it.
class Transcript {
  public:
    // Empty path: no transcript.
    explicit Transcript(const QString& path);
    void append(const QString& text);
    static QString formatLine(const QDateTime& when, const QString& text);

  private:
    QMutex mutex_;
    QFile file_;
};

}  // namespace orvane::speech
