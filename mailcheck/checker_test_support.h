#pragma once

// Stand-ins for the checker's tests: a voice that records what it is asked, a notification
// area whose host can be re-created, and the transcript.
#include "checker_voice.h"
#include "notification_area.h"
#include "qstring_printer.h"

#include <QFile>
#include <QStringList>

namespace orvane::mailcheck::test {

// Records every request in order: "show", "hide", "speak:TEXT", "play:PATH".
class RecordingVoice : public CheckerVoice {
  public:
    QStringList events;
    bool decodes = true;    // whether playMp3 can decode what it is given
    bool queueIdle = true;  // a clip still playing keeps it false
    mutable int idleAsked = 0;

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
    bool idle() const override {
        ++idleAsked;
        return queueIdle;
    }

    QStringList spoken() const {
        return events.filter(QStringLiteral("speak:"))
            .replaceInStrings(QStringLiteral("speak:"), QString());
    }
};

// A notification area whose host holds the icons a user would see. As with the real one, an
// icon lost with a re-created host comes back only when the tray puts it in afresh.
class FakeNotificationArea : public NotificationArea {
  public:
    bool present = true;
    QStringList hostIcons;  // tips of the icons in the host
    bool clientShown = false;

    bool available() const override { return present; }
    void showIcon(const QIcon&, const QString& tip) override {
        if (!clientShown && present) {
            hostIcons << tip;
        }
        clientShown = true;
    }
    void removeIcon() override {
        if (clientShown && !hostIcons.isEmpty()) {
            hostIcons.removeLast();
        }
        clientShown = false;
    }
    // The host restarts (icons put in before are gone), goes away or comes.
    void setHost(bool there) {
        present = there;
        hostIcons.clear();
        emit availabilityChanged(there);
    }
};

// The texts of a transcript file (ORVANE_TRANSCRIPT), without time stamps.
inline QStringList transcriptTexts(const QString& path) {
    QFile file(path);
    QStringList texts;
    for (const QByteArray& line :
         file.open(QIODevice::ReadOnly) ? file.readAll().split('\n') : QByteArrayList()) {
        if (!line.isEmpty()) {
            texts << QString::fromUtf8(line).section(u'\t', 1);
        }
    }
    return texts;
}

}  // namespace orvane::mailcheck::test
