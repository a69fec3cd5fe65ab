#pragma once

// The transport places through the keys of the real main window: focus, keys
// and typing as a user gives them, what was said meanwhile, and a stand-in
// recorder where the mailer looks for one.
#include "voice_recording.h"
#include "window_test_support.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTextEdit>

namespace orvane::mailer::test {

inline bool waitForFocus(QWidget* widget) {
    return QTest::qWaitFor([widget] { return widget->hasFocus(); }, 2000);
}
// What `home` said while a key was pressed in `widget`.
inline QStringList press(const MailerHome& home, QWidget* widget, int key,
                         Qt::KeyboardModifiers modifiers = {}) {
    return home.saidDuring([&] { QTest::keyClick(widget, Qt::Key(key), modifiers); });
}

// Types `text` into `widget` as a user would: plain characters as key presses,
// everything else as what the input method commits.
inline void typeText(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7f) {
            QTest::keyClick(widget, c.toLatin1());
        } else {
            QInputMethodEvent event;
            event.setCommitString(c);
            QApplication::sendEvent(widget, &event);
        }
    }
}

// A recorder in `programFolder`: a script that notes its arguments in args.txt
// (in the folder it runs in), then runs `behaviour` with $last set to the base
// name it was given.
inline void putRecorder(const QString& programFolder, const QByteArray& behaviour) {
    ASSERT_TRUE(QDir(programFolder).mkpath("trelcap28"));
    QFile script(QDir(programFolder).filePath(kRecorderPath));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\nfor a; do last=\"$a\"; done\nprintf '%s\\n' \"$@\" > args.txt\n" +
                 behaviour);
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// A mail to the test user: `headers` (each ending in CRLF), then `body`.
inline QByteArray mailToTestUser(const QByteArray& headers, const QByteArray& body) {
    return headers + "To: testuser@example.jp\r\nMIME-Version: 1.0\r\n\r\n" + body + "\r\n";
}
inline QByteArray encodedWord(const QString& text) {
    return "=?UTF-8?B?" + text.toUtf8().toBase64() + "?=";
}
// A voice mail to the test user: a line of text and `mp3` as its attachment.
inline QByteArray voiceMail(const QString& subject, const QByteArray& mp3) {
    return mailToTestUser("From: voice@example.jp\r\nSubject: " + encodedWord(subject) +
                              "\r\nContent-Type: multipart/mixed; boundary=\"b1\"\r\n",
                          "--b1\r\nContent-Type: text/plain; charset=UTF-8\r\n\r\n" +
                              QString("録音を聞いてください。").toUtf8() +
                              "\r\n--b1\r\nContent-Type: audio/mpeg; name=\"voice.mp3\"\r\n"
                              "Content-Disposition: attachment; filename=\"voice.mp3\"\r\n"
                              "Content-Transfer-Encoding: base64\r\n\r\n" +
                              mp3.toBase64() + "\r\n--b1--");
}

}  // namespace orvane::mailer::test
