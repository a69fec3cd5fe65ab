#pragma once

// Set-up shared by the tests that talk to the mail servers of testing/mail_servers.
#include "mime_test_support.h"  // readFile, FileSizeLimit
#include "transport_options.h"

#include "test_certificate.h"

#include <QDir>

namespace orvane::mail::test {

// One certificate for the whole test program.
inline const testing::TestCertificate& certificate() {
    static const testing::TestCertificate cert;
    return cert;
}

// Short timeouts; `trustTestCa` adds the test certificate to the system's store.
inline TransportOptions quickOptions(bool trustTestCa = true,
                                     std::chrono::milliseconds idle = std::chrono::seconds(5)) {
    TransportOptions options;
    if (trustTestCa) {
        options.extraCaFiles << certificate().certFile();
    }
    options.connectTimeout = std::chrono::seconds(5);
    options.idleTimeout = idle;
    return options;
}

// `count` mails of `lines` numbered lines each (CRLF), one with a stuffed dot.
inline QList<QByteArray> numberedMails(int count, int lines = 200) {
    QList<QByteArray> messages;
    for (int n = 1; n <= count; ++n) {
        QByteArray body;
        for (int line = 0; line < lines; ++line) {
            body +=
                "line " + QByteArray::number(line) + " of mail " + QByteArray::number(n) + "\r\n";
        }
        messages << "Subject: mail " + QByteArray::number(n) + "\r\n\r\n..dot line\r\n" + body;
    }
    return messages;
}

// Every file in `dir`, hidden (temporary) ones included.
inline QStringList allFiles(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden);
}

// "127.0.0.1:port" after `scheme`: "pop3://" or "smtp://" for a server
// without TLS, nothing for one with STLS/STARTTLS.
inline QString loopback(quint16 port, const char* scheme = "") {
    return QLatin1String(scheme) + QStringLiteral("127.0.0.1:") + QString::number(port);
}

}  // namespace orvane::mail::test
