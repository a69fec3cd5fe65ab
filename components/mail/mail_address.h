#pragma once

#include "transport_result.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace orvane::mail {

// One mailbox of an address field: the address and an optional display name.
struct MailAddress {
    QString displayName;
    QString address;  // local@domain, checked

    // "address", or the display name and the address in angle brackets, the
    // name quoted when it holds characters that have a meaning in a field.
    QString headerForm() const;
};

// Reads one mailbox, "local@domain" or "display name <local@domain>", and
// checks the address: one "@" with text on both sides, printable ASCII only,
// no blanks, angle brackets, quotes, commas or semicolons. What `role` names
// ("宛先", "差出人") starts the Japanese reason of a refusal (BadInput).
Expected<MailAddress> parseMailbox(const QString& text, const QString& role);

// Reads a field of mailboxes separated by "," or ";" (not inside quotes or
// angle brackets); empty entries are skipped. An empty field is refused.
Expected<QList<MailAddress>> parseMailboxList(const QString& field, const QString& role);

// The field of `mailboxes` as a header holds it: header forms joined by ", ".
QString mailboxListHeader(const QList<MailAddress>& mailboxes);

// The bare addresses of `mailboxes`, in order.
QStringList addressesOf(const QList<MailAddress>& mailboxes);

// Why `address` cannot go into an SMTP envelope, or success.
Expected<void> checkEnvelopeAddress(const QString& address, const QString& role);

}  // namespace orvane::mail
