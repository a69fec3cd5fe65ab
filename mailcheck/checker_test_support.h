#pragma once

// Stand-ins for the checker's tests: a voice that records what it is asked,
// a notification area whose host can be re-created, and the transcript.
#include "checker_voice.h"
#include "notification_area.h"

#include <QFile>
#include <QStringList>

#include <ostream>

namespace orvane::mailcheck::test {

// Records every request in order: "show", "hide", "speak:TEXT", "play:PATH".
class RecordingVoice : public CheckerVoice {
  public:
    QStringList events;
    // Whether playMp3 can decode what it is given.
    bool decodes = true;
    // What idle() answers: a clip still playing keeps it false.
    bool queueIdle = true;

    void show() override { events << QStringLiteral("show"); }
    void speak(const QString& text) override { events << QStringLiteral("speak:") + text; }
    void hide() override { events << QStringLiteral("hide"); }
    Expected<void> playMp3(const QString& path) override {
        if (!decodes) {
            return fail(FailureKind::BadInput, QStringLiteral("MP3 として読めません"));
        }
        events << QStringLiteral("play:") + path;
        return success();
    }
    bool idle() const override { return queueIdle; }

    QStringList spoken() const {
        QStringList texts;
        for (const QString& event : events) {
            if (event.startsWith(QStringLiteral("speak:"))) {
                texts << event.mid(6);
            }
        }
        return texts;
    }
};

// A notification area with a host that holds the icons a user would see.
// Like the real one, the client remembers that its icon is shown and does not
// put it in again: after the host is re-created, only the tray putting it in
// afresh brings it back.
class FakeNotificationArea : public NotificationArea {
  public:
    bool present = true;
    QStringList hostIcons;  // tips of the icons in the host
    bool clientShown = false;

    bool available() const override { return present; }
    void showIcon(const QIcon&, const QString& tip) override {
        if (clientShown) {
            return;
        }
        clientShown = true;
        if (present) {
            hostIcons << tip;
        }
    }
    void removeIcon() override {
        if (clientShown && !hostIcons.isEmpty()) {
            hostIcons.removeLast();
        }
        clientShown = false;
    }

    void recreateHost() {
        hostIcons.clear();
        emit availabilityChanged(true);
    }
    void removeHost() {
        present = false;
        hostIcons.clear();
        emit availabilityChanged(false);
    }
    void startHost() {
        present = true;
        emit availabilityChanged(true);
    }
};

// The texts of a transcript file (ORVANE_TRANSCRIPT), without time stamps.
inline QStringList transcriptTexts(const QString& path) {
    QFile file(path);
    QStringList texts;
    if (!file.open(QIODevice::ReadOnly)) {
        return texts;
    }
    for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
        texts << line.section(u'\t', 1);
    }
    return texts;
}

}  // namespace orvane::mailcheck::test

// Readable QString values in GoogleTest failure messages.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
