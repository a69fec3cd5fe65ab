#include "receiving.h"

#include "announcer.h"
#include "mail_component.h"
#include "mail_folder_writer.h"
#include "mailer_state.h"
#include "store_boundary.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <optional>

namespace orvane::mailer {

namespace {

// The count of a "count size" answer, or nothing when the answer is not that.
std::optional<int> waitingCount(const QStringList& answer) {
    const QString figures = answer.value(0);
    const qsizetype blank = figures.indexOf(QLatin1Char(' '));
    if (blank <= 0) {
        return std::nullopt;
    }
    bool numeric = false;
    const int count = figures.left(blank).toInt(&numeric);
    if (!numeric || count < 0) {
        return std::nullopt;
    }
    return count;
}

// How an account is named to the user.
QString accountLabel(const AccountRow& account) {
    if (!account.fields.email.isEmpty()) {
        return account.fields.email;
    }
    return account.fields.account + QLatin1Char('@') + account.fields.pop;
}

}  // namespace

Receiving::Receiving(MailStore& store, Announcer& announcer, MailerState& state,
                     mail::MailComponent& component, Pause pause)
    : store_(store),
      announcer_(announcer),
      state_(state),
      component_(component),
      pause_(std::move(pause)) {}

void Receiving::setPopValues(const AccountRow& account) {
    state_.pop = {account.fields.pop, account.fields.account, account.fields.password};
}

Expected<QStringList> Receiving::poll(const AccountRow& account, const QString& command) {
    setPopValues(account);
    return component_.rcvMail(state_.pop.server, state_.pop.user, state_.pop.password, command,
                              state_.mail_dir);
}

void Receiving::count_new_mail() {
    if (state_.accounts.empty()) {
        return;
    }
    failures_.clear();
    uncheckedAccountIds_.clear();
    int waiting = 0;
    for (const AccountRow& account : state_.accounts) {
        const Expected<QStringList> answer = poll(account, QStringLiteral("STAT"));
        std::optional<int> count;
        if (answer) {
            count = waitingCount(*answer);
        }
        if (!count) {
            failures_.push_back({account.id, accountLabel(account),
                                 answer ? QStringLiteral("受信サーバーの答えを読めません")
                                        : answer.failure().reason});
            uncheckedAccountIds_.insert(account.id);
            continue;
        }
        if (*count > 0) {
            waiting += *count;
            pause_(1);
        }
    }
    state_.pending_mail_count = waiting;
    QString message;
    if (waiting > 0) {
        message = QStringLiteral("メールが届いています[メールの数は]%1").arg(waiting);
    } else if (failures_.empty()) {
        message = QStringLiteral("新規メールは有りません");
    } else if (failures_.size() < state_.accounts.size()) {
        message = QStringLiteral("確認できたアカウントに新規メールは有りません");
    } else {
        message = QStringLiteral("メールを確認できませんでした");
    }
    announcer_.show_message(message);
    announcer_.speak(message);
    nameFailures(failures_);
}

void Receiving::receive_all() {
    const int stored = receiveAccounts({});
    QString message;
    if (stored > 0) {
        message = QStringLiteral("%1通のメールを受信しました").arg(stored);
    } else if (failures_.empty()) {
        message = QStringLiteral("新規メールは有りません");
    } else if (failures_.size() < state_.accounts.size()) {
        message = QStringLiteral("受信できたアカウントに新規メールは有りません");
    } else {
        message = QStringLiteral("メールを受信できませんでした");
    }
    announcer_.show_message(message);
    announcer_.speak(message);
    nameFailures(failures_);
}

void Receiving::receive_after_check() {
    receiveAccounts(uncheckedAccountIds_);
    nameFailures(failures_);
}

int Receiving::receiveAccounts(const QSet<int>& skippedAccountIds) {
    failures_.clear();
    triedFiles_.clear();
    // Files an earlier run saved but did not store come first: they are older.
    int stored = storeUnstoredFilesOfThisReceive();
    for (const AccountRow& account : state_.accounts) {
        if (skippedAccountIds.contains(account.id)) {
            continue;
        }
        const Expected<QStringList> answer = poll(account, QStringLiteral("SAVEALLD"));
        if (!answer) {
            failures_.push_back({account.id, accountLabel(account), answer.failure().reason});
            continue;
        }
        // Element 0 holds the mailbox figures; the saved files follow.
        stored += savemail2db(answer->mid(1));
    }
    if (!failures_.empty()) {
        // A pass that failed part way may have saved files it did not report.
        stored += storeUnstoredFilesOfThisReceive();
    }
    return stored;
}

int Receiving::savemail2db(const QStringList& files) {
    const QDateTime receivedAt = QDateTime::currentDateTime();
    std::vector<NewMailRow> rows;
    for (const QString& file : files) {
        triedFiles_.insert(QFileInfo(file).fileName());
        const Expected<mail::ReceivedMail> read = component_.readMail(file, state_.mail_dir);
        if (!read) {
            announcer_.report_error(QStringLiteral("受信したメール %1 を読めません：%2")
                                        .arg(QFileInfo(file).fileName(), read.failure().reason));
            continue;
        }
        // Stored exactly as read: what is not to be heard is left out when
        // it is spoken, never removed from the mail.
        rows.push_back(
            {receivedAt, file, read->from, read->subject, read->body, read->attachments.value(0)});
    }
    if (rows.empty()) {
        return 0;
    }
    const bool stored =
        reportStoreFailures(announcer_, [&] { (void)store_.insertReceivedMails(rows); });
    return stored ? static_cast<int>(rows.size()) : 0;
}

int Receiving::store_unstored_files() {
    triedFiles_.clear();
    return storeUnstoredFilesOfThisReceive();
}

int Receiving::storeUnstoredFilesOfThisReceive() {
    const QDir folder(state_.mail_dir);
    QStringList candidates;
    for (const QString& name :
         folder.entryList({QStringLiteral("*.eml")}, QDir::Files, QDir::Name)) {
        if (mail::isReceivedMailFile(name) && !triedFiles_.contains(name)) {
            candidates << name;
        }
    }
    if (candidates.isEmpty()) {
        return 0;
    }
    QSet<QString> stored;
    if (!reportStoreFailures(announcer_, [&] { stored = store_.storedMailFileNames(); })) {
        return 0;
    }
    QStringList leftovers;
    for (const QString& name : candidates) {
        if (!stored.contains(name)) {
            leftovers << folder.filePath(name);
        }
    }
    return leftovers.isEmpty() ? 0 : savemail2db(leftovers);
}

void Receiving::nameFailures(const std::vector<AccountFailure>& failures) {
    for (const AccountFailure& failure : failures) {
        announcer_.report_error(failure.email + QStringLiteral("：") + failure.reason);
    }
}

}  // namespace orvane::mailer
