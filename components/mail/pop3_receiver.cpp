#include "pop3_receiver.h"

#include "mail_folder_writer.h"
#include "pop3_session.h"
#include "seen_uid_store.h"
#include "server_address.h"

#include <QDir>

namespace orvane::mail {

namespace {

ArrayResult failed(const Failure& failure) {
    return ArrayResult::failed(failure.reason);
}

QString figures(const MailboxStat& stat) {
    return QStringLiteral("%1 %2").arg(stat.count).arg(stat.size);
}

// Connects and logs in; the session is ready for mailbox commands.
Status open(Pop3Session& session, const QString& server, const QString& user,
            const QString& password) {
    const std::optional<ServerAddress> address = parseServerAddress(server, MailProtocol::Pop3);
    if (!address) {
        return Failure{FailureKind::Unreachable,
                       QStringLiteral("受信サーバーの指定「%1」が正しくありません").arg(server)};
    }
    if (Status connected = session.connectToServer(*address)) {
        return connected;
    }
    return session.login(user, password);
}

ArrayResult statOrList(Pop3Session& session, bool withList) {
    Expected<MailboxStat> stat = session.stat();
    if (!stat) {
        return failed(stat.failure());
    }
    QStringList elements{figures(*stat)};
    if (withList) {
        Expected<QList<MessageListing>> listing = session.list();
        if (!listing) {
            return failed(listing.failure());
        }
        for (const MessageListing& entry : *listing) {
            elements
                << QStringLiteral("%1 %2").arg(entry.number).arg(QString::fromLatin1(entry.value));
        }
    }
    session.quit();
    return ArrayResult::ok(elements);
}

ArrayResult saveAndDelete(Pop3Session& session, const QString& mailDir) {
    MailFolderWriter writer(mailDir);
    if (Status prepared = writer.prepare()) {
        return failed(*prepared);
    }
    Expected<MailboxStat> stat = session.stat();
    if (!stat) {
        return failed(stat.failure());
    }
    QList<int> numbers;
    for (qint64 n = 1; n <= stat->count; ++n) {
        numbers.append(static_cast<int>(n));
    }
    if (Status fetched = session.retrieve(numbers, writer, true)) {
        // Nothing is deleted without a QUIT: drop the copies so that the
        // mail is received once, next time.
        writer.removeStored();
        return failed(*fetched);
    }
    if (Status synced = writer.syncFolder()) {
        writer.removeStored();
        return failed(*synced);
    }
    if (writer.stored().isEmpty() && !session.unretrievable().isEmpty()) {
        session.quit();
        return failed(session.unretrievable().first().failure);
    }
    // A QUIT that goes unanswered may or may not have deleted the mail on
    // the server; keeping the files risks a duplicate rather than a loss.
    session.quit();
    return ArrayResult::ok(QStringList{figures(*stat)} + writer.stored());
}

ArrayResult saveUnseen(Pop3Session& session, const QString& server, const QString& user,
                       const QString& mailDir) {
    MailFolderWriter writer(mailDir);
    if (Status prepared = writer.prepare()) {
        return failed(*prepared);
    }
    Expected<QList<MessageListing>> uids = session.uidl();
    if (!uids) {
        return failed(uids.failure());
    }
    const SeenUidStore store(mailDir, server, user);
    const QSet<QByteArray> seen = store.load();
    QSet<QByteArray> current;
    QList<int> unseen;
    for (const MessageListing& entry : *uids) {
        current.insert(entry.value);
        if (!seen.contains(entry.value)) {
            unseen.append(entry.number);
        }
    }
    if (unseen.isEmpty()) {
        session.quit();
        // Forget the IDs of mail that has left the server meanwhile.
        if (current != seen) {
            store.save(current);
        }
        return ArrayResult::failed(QStringLiteral("新しいメールはありません"));
    }
    if (Status fetched = session.retrieve(unseen, writer, false)) {
        writer.removeStored();
        return failed(*fetched);
    }
    if (Status synced = writer.syncFolder()) {
        writer.removeStored();
        return failed(*synced);
    }
    for (const Pop3Session::Unretrievable& skipped : session.unretrievable()) {
        for (const MessageListing& entry : *uids) {
            if (entry.number == skipped.number) {
                current.remove(entry.value);
            }
        }
    }
    if (writer.stored().isEmpty()) {
        session.quit();
        return failed(session.unretrievable().first().failure);
    }
    if (Status saved = store.save(current)) {
        writer.removeStored();
        return failed(*saved);
    }
    session.quit();
    return ArrayResult::ok(writer.stored());
}

}  // namespace

ArrayResult receiveMail(const QString& server, const QString& user, const QString& password,
                        const QString& command, const QString& mailDir,
                        const TransportOptions& options) {
    const QString verb = command.trimmed().toUpper();
    if (verb != QLatin1String("STAT") && verb != QLatin1String("LIST") &&
        verb != QLatin1String("SAVEALLD") && verb != QLatin1String("SAVEALL")) {
        return ArrayResult::failed(QStringLiteral("受信の命令「%1」は使えません").arg(command));
    }
    if ((verb == QLatin1String("SAVEALLD") || verb == QLatin1String("SAVEALL")) &&
        mailDir.isEmpty()) {
        return ArrayResult::failed(
            QStringLiteral("メールを保存するフォルダーが指定されていません"));
    }
    Pop3Session session(options);
    if (Status opened = open(session, server, user, password)) {
        return failed(*opened);
    }
    if (verb == QLatin1String("STAT") || verb == QLatin1String("LIST")) {
        return statOrList(session, verb == QLatin1String("LIST"));
    }
    if (verb == QLatin1String("SAVEALLD")) {
        return saveAndDelete(session, mailDir);
    }
    return saveUnseen(session, server, user, mailDir);
}

}  // namespace orvane::mail
