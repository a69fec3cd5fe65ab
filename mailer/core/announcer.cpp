#include "announcer.h"

#include "character.h"

#include <QLabel>

#include <cstdio>

namespace orvane::mailer {

namespace {

bool isRuleMark(QChar c) {
    switch (c.unicode()) {
        case u'-':
        case u'=':
        case u'_':
        case u'－':
        case u'＝':
        case u'＿':
        case u'―':  // horizontal bar
        case u'─':  // box drawings, as in ruled lines
        case u'━':
        case u'═':
            return true;
        default:
            return false;
    }
}

// Double quotes only: an apostrophe belongs to the word it stands in.
bool isQuote(QChar c) {
    return c == u'"' || c == u'＂';
}

}  // namespace

Announcer::Announcer(QLabel* cmdMessage, QLabel* shortcut02)
    : cmdMessage_(cmdMessage), shortcut02_(shortcut02) {}

QString Announcer::spokenForm(const QString& w) {
    QString spoken;
    spoken.reserve(w.size());
    for (const QChar c : w) {
        if (isRuleMark(c)) {
            spoken += QLatin1Char(' ');
        } else if (!isQuote(c)) {
            spoken += c;
        }
    }
    return spoken;
}

void Announcer::speak(const QString& w) const {
    if (w.isEmpty() || character_ == nullptr) {
        return;
    }
    character_->speak(spokenForm(w));
}

void Announcer::silence() const {
    if (character_ != nullptr) {
        character_->stop();
    }
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
