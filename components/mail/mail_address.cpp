#include "mail_address.h"

namespace orvane::mail {

namespace {

bool isControl(QChar c) {
    return c.unicode() < 0x20 || c.unicode() == 0x7F || c.category() == QChar::Other_Control;
}

// The reason is spoken and shown: control characters in what was typed
// become blanks there.
Failure refusal(const QString& role, QString text, const QString& why) {
    for (QChar& c : text) {
        if (isControl(c)) {
            c = QLatin1Char(' ');
        }
    }
    return {FailureKind::BadInput,
            QStringLiteral("%1「%2」はメールアドレスとして正しくありません（%3）")
                .arg(role, text, why)};
}

// A display name as written, without its quotes.
QString unquoted(QString name) {
    if (name.size() >= 2 && name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"'))) {
        name = name.mid(1, name.size() - 2);
        QString plain;
        for (qsizetype i = 0; i < name.size(); ++i) {
            if (name[i] == QLatin1Char('\\') && i + 1 < name.size()) {
                ++i;
            }
            plain += name[i];
        }
        return plain.trimmed();
    }
    return name;
}

// Checks `address`; a refusal names `shown`, the entry as the user wrote it.
Expected<void> checkAddress(const QString& address, const QString& role, const QString& shown) {
    if (address.isEmpty()) {
        return Failure{FailureKind::BadInput, QStringLiteral("%1のアドレスがありません").arg(role)};
    }
    for (QChar c : address) {
        if (isControl(c)) {
            return refusal(role, shown, QStringLiteral("改行などの制御文字は使えません"));
        }
        if (c.isSpace()) {
            return refusal(role, shown, QStringLiteral("空白は使えません"));
        }
        if (c == QLatin1Char('<') || c == QLatin1Char('>')) {
            return refusal(role, shown, QStringLiteral("「<」や「>」は使えません"));
        }
        if (c.unicode() > 0x7E) {
            return refusal(role, shown,
                           QStringLiteral("全角文字など、半角英数字と記号以外は使えません"));
        }
        if (QStringLiteral("\",;()[]\\:").contains(c)) {
            return refusal(role, shown, QStringLiteral("「%1」は使えません").arg(c));
        }
    }
    const qsizetype at = address.indexOf(QLatin1Char('@'));
    if (at < 0) {
        return refusal(role, shown, QStringLiteral("「@」がありません"));
    }
    if (address.indexOf(QLatin1Char('@'), at + 1) >= 0) {
        return refusal(role, shown, QStringLiteral("「@」が二つ以上あります"));
    }
    if (at == 0 || at == address.size() - 1) {
        return refusal(role, shown, QStringLiteral("「@」の前か後ろが空です"));
    }
    return success();
}

}  // namespace

QString MailAddress::headerForm() const {
    if (displayName.isEmpty()) {
        return address;
    }
    static const QString specials = QStringLiteral("()<>[]:;@\\,.\"");
    bool quote = false;
    for (QChar c : displayName) {
        quote = quote || specials.contains(c);
    }
    QString name = displayName;
    if (quote) {
        name.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
        name.replace(QLatin1Char('"'), QLatin1String("\\\""));
        name = QLatin1Char('"') + name + QLatin1Char('"');
    }
    return name + QStringLiteral(" <") + address + QLatin1Char('>');
}

Expected<void> checkEnvelopeAddress(const QString& address, const QString& role) {
    return checkAddress(address, role, address);
}

Expected<MailAddress> parseMailbox(const QString& text, const QString& role) {
    const QString trimmed = text.trimmed();
    for (QChar c : trimmed) {
        if (isControl(c)) {
            return refusal(role, trimmed, QStringLiteral("改行などの制御文字は使えません"));
        }
    }
    MailAddress mailbox;
    mailbox.address = trimmed;
    const qsizetype open = trimmed.lastIndexOf(QLatin1Char('<'));
    if (trimmed.endsWith(QLatin1Char('>')) && open >= 0) {
        mailbox.address = trimmed.mid(open + 1, trimmed.size() - open - 2).trimmed();
        mailbox.displayName = unquoted(trimmed.left(open).trimmed());
    }
    if (Expected<void> checked = checkAddress(mailbox.address, role, trimmed); !checked) {
        return checked.failure();
    }
    return mailbox;
}

Expected<QList<MailAddress>> parseMailboxList(const QString& field, const QString& role) {
    QList<MailAddress> mailboxes;
    QString current;
    bool quoted = false;
    int angle = 0;
    auto take = [&]() -> Expected<void> {
        const QString entry = current.trimmed();
        current.clear();
        if (entry.isEmpty()) {
            return success();
        }
        Expected<MailAddress> mailbox = parseMailbox(entry, role);
        if (!mailbox) {
            return mailbox.failure();
        }
        mailboxes.append(*mailbox);
        return success();
    };
    for (QChar c : field) {
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (!quoted && c == QLatin1Char('<')) {
            ++angle;
        } else if (!quoted && c == QLatin1Char('>') && angle > 0) {
            --angle;
        } else if (!quoted && angle == 0 && (c == QLatin1Char(',') || c == QLatin1Char(';'))) {
            if (Expected<void> taken = take(); !taken) {
                return taken.failure();
            }
            continue;
        }
        current += c;
    }
    if (Expected<void> taken = take(); !taken) {
        return taken.failure();
    }
    if (mailboxes.isEmpty()) {
        return Failure{FailureKind::BadInput, QStringLiteral("%1がありません").arg(role)};
    }
    return mailboxes;
}

QString mailboxListHeader(const QList<MailAddress>& mailboxes) {
    QStringList forms;
    for (const MailAddress& mailbox : mailboxes) {
        forms << mailbox.headerForm();
    }
    return forms.join(QStringLiteral(", "));
}

QStringList addressesOf(const QList<MailAddress>& mailboxes) {
    QStringList addresses;
    for (const MailAddress& mailbox : mailboxes) {
        addresses << mailbox.address;
    }
    return addresses;
}

}  // namespace orvane::mail
