#include "pop3_receiver.h"

#include "mail_folder_writer.h"
#include "pop3_session.h"
#include "seen_uid_store.h"
#include "server_address.h"

#include <QHash>

namespace orvane::mail {

namespace {

QString figures(const MailboxStat& stat) {
    return QStringLiteral("%1 %2").arg(stat.count).arg(stat.size);
}

// Connects and logs in; the session is ready for mailbox commands.
Expected<void> open(Pop3Session& session, const QString& server, const QString& user,
                    const QString& password) {
    const Expected<ServerAddress> address = parseServerAddress(server, MailProtocol::Pop3);
    if (!address) {
        return address.failure();
    }
    if (Expected<void> connected = session.connectToServer(*address); !connected) {
        return connected;
    }
    return session.login(user, password);
}

Expected<QStringList> statOrList(Pop3Session& session, bool withList) {
    const Expected<MailboxStat> stat = session.stat();
    if (!stat) {
        return stat.failure();
    }
    QStringList elements{figures(*stat)};
    if (withList) {
        const Expected<QList<MessageListing>> listing = session.list(stat->count);
        if (!listing) {
            return listing.failure();
        }
        for (const MessageListing& entry : *listing) {
            elements
                << QStringLiteral("%1 %2").arg(entry.number).arg(QString::fromLatin1(entry.value));
        }
    }
    (void)session.quit();
    return elements;
}

// Retrieves `numbers` into `writer` and makes the files durable. On failure
// the files are removed again: the server still has every mail.
Expected<RetrievalReport> retrieveInto(Pop3Session& session, MailFolderWriter& writer,
                                       const MessageNumbers& numbers, bool deleteAfterSave) {
    Expected<RetrievalReport> report = session.retrieve(numbers, writer, deleteAfterSave);
    if (!report) {
        writer.removeStored();
        return report;
    }
    if (Expected<void> synced = writer.syncFolder(); !synced) {
        writer.removeStored();
        return synced.failure();
    }
    return report;
}

Expected<QStringList> saveAndDelete(Pop3Session& session, const QString& mailDir) {
    MailFolderWriter writer(mailDir, SavedMailKind::Received);
    if (Expected<void> prepared = writer.prepare(); !prepared) {
        return prepared.failure();
    }
    const Expected<MailboxStat> stat = session.stat();
    if (!stat) {
        return stat.failure();
    }
    const Expected<RetrievalReport> report =
        retrieveInto(session, writer, MessageNumbers::upTo(stat->count), true);
    if (!report) {
        return report.failure();
    }
    // A QUIT that goes unanswered may or may not have deleted the mail on
    // the server; keeping the files risks a duplicate rather than a loss.
    (void)session.quit();
    if (writer.stored().isEmpty() && report->refused > 0) {
        return report->firstRefusal;
    }
    return QStringList{figures(*stat)} + writer.storedPaths();
}

Expected<QStringList> saveUnseen(Pop3Session& session, const QString& server, const QString& user,
                                 const QString& mailDir) {
    MailFolderWriter writer(mailDir, SavedMailKind::Checked);
    if (Expected<void> prepared = writer.prepare(); !prepared) {
        return prepared.failure();
    }
    const SeenUidStore store(mailDir, server, user);
    const Expected<QSet<QByteArray>> seen = store.load();
    if (!seen) {
        return seen.failure();
    }
    const Expected<MailboxStat> stat = session.stat();
    if (!stat) {
        return stat.failure();
    }
    const Expected<QList<MessageListing>> uids = session.uidl(stat->count);
    if (!uids) {
        return uids.failure();
    }
    // What is remembered: the mail still on the server that was reported
    // before, and what this pass stores. Mail that has left the server is
    // forgotten; mail that was not stored is tried again next time.
    QSet<QByteArray> remembered;
    QHash<int, QByteArray> uidOf;
    QList<int> unseen;
    for (const MessageListing& entry : *uids) {
        if (seen->contains(entry.value)) {
            remembered.insert(entry.value);
        } else {
            uidOf.insert(entry.number, entry.value);
            unseen.append(entry.number);
        }
    }
    if (unseen.isEmpty()) {
        (void)session.quit();
        if (remembered != *seen) {
            if (Expected<void> saved = store.save(remembered); !saved) {
                return saved.failure();
            }
        }
        return QStringList{};
    }
    const Expected<RetrievalReport> report = retrieveInto(session, writer, unseen, false);
    if (!report) {
        return report.failure();
    }
    for (const MailFolderWriter::StoredMail& mail : writer.stored()) {
        remembered.insert(uidOf.value(mail.number));
    }
    if (Expected<void> saved = store.save(remembered); !saved) {
        writer.removeStored();
        return saved.failure();
    }
    (void)session.quit();
    if (writer.stored().isEmpty() && report->refused > 0) {
        return report->firstRefusal;
    }
    return writer.storedPaths();
}

}  // namespace

Expected<QStringList> receiveMail(const QString& server, const QString& user,
                                  const QString& password, const QString& command,
                                  const QString& mailDir, const TransportOptions& options) {
    const QString verb = command.trimmed().toUpper();
    if (verb != QLatin1String("STAT") && verb != QLatin1String("LIST") &&
        verb != QLatin1String("SAVEALLD") && verb != QLatin1String("SAVEALL")) {
        return Failure{FailureKind::BadInput,
                       QStringLiteral("受信の命令「%1」は使えません").arg(command)};
    }
    if ((verb == QLatin1String("SAVEALLD") || verb == QLatin1String("SAVEALL")) &&
        mailDir.isEmpty()) {
        return Failure{FailureKind::BadInput,
                       QStringLiteral("メールを保存するフォルダーが指定されていません")};
    }
    Pop3Session session(options);
    if (Expected<void> opened = open(session, server, user, password); !opened) {
        return opened.failure();
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
