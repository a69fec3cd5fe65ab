#include "mail_component.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace orvane::mail {

void MailComponent::sleep(int seconds) {
    const std::chrono::seconds pause(std::max(0, seconds));
    if (QCoreApplication::instance() == nullptr ||
        QThread::currentThread() != QCoreApplication::instance()->thread()) {
        QThread::sleep(static_cast<unsigned long>(pause.count()));
        return;
    }
    // Excluding user input leaves keys and clicks in the queue; they are
    // delivered once the pause is over. Timers, repaints and the like run.
    // A precise timer: a coarse one may end a pause of seconds 5% early.
    QEventLoop loop;
    QTimer::singleShot(pause, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

QStringList readMailElements(const ReceivedMail& mail, const QString& names) {
    QStringList elements;
    if (names.trimmed().compare(QStringLiteral("from:subject:"), Qt::CaseInsensitive) == 0) {
        elements << QStringLiteral("差出人 ") + mail.senderName + QStringLiteral("、")
                 << QStringLiteral("件名 ") + mail.subject;
    } else {
        for (const QString& name : names.split(u':', Qt::SkipEmptyParts)) {
            const QString key = name.trimmed().toLower();
            if (key == u"subject") {
                elements << QStringLiteral("subject: ") + mail.subject;
            } else if (key == u"from") {
                elements << QStringLiteral("From: ") + mail.from;
            } else if (key == u"date") {
                elements << QStringLiteral("Date: ") + mail.date;
            } else {
                elements << name.trimmed() + QStringLiteral(": ");
            }
        }
    }
    elements << QStringLiteral("Body:") + mail.body;
    for (const QString& path : mail.attachments) {
        elements << QStringLiteral("File: ") + path;
    }
    return elements;
}

void removeSavedMail(const QString& mailFile, const QString& mailDir) {
    QFile::remove(mailFile);
    QFile::remove(attachmentRecordPath(mailDir, mailFile));
}

}  // namespace orvane::mail
