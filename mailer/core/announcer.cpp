#include "announcer.h"

#include "character.h"

#include <QLabel>

#include <cstdio>

namespace orvane::mailer {

Announcer::Announcer(QLabel* cmdMessage, QLabel* shortcut02)
    : cmdMessage_(cmdMessage), shortcut02_(shortcut02) {}

QString Announcer::spokenForm(const QString& w) {
    QString copy = w;
    copy.replace(QLatin1Char('-'), QLatin1Char(' '));
    copy.replace(QLatin1Char('='), QLatin1Char(' '));
    return copy;
}

void Announcer::speak(const QString& w) const {
    if (w.isEmpty() || character_ == nullptr) {
        return;
    }
    character_->speak(spokenForm(w));
}

void Announcer::shortcut(const QString& w) {
    if (shortcut02_) {
        shortcut02_->setText(w);
    }
}

void Announcer::show_message(const QString& w) {
    if (cmdMessage_) {
        cmdMessage_->setText(w);
        cmdMessage_->repaint();
    }
}

void Announcer::report_error(const QString& reason) {
    const QString text = QStringLiteral("エラー：") + reason;
    std::fprintf(stderr, "orvane: %s\n", text.toLocal8Bit().constData());
    show_message(text);
    speak(text);
}

}  // namespace orvane::mailer
