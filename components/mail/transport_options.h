#pragma once

#include <QByteArray>
#include <QList>
#include <QSslCertificate>
#include <QStringList>

#include <chrono>

namespace orvane::mail {

// Settings shared by the POP3 and SMTP clients.
struct TransportOptions {
    // PEM files whose certificates are trusted beside the system's store
    // (a test server's own certificate, a self-hosted server).
    QStringList extraCaFiles;
    std::chrono::milliseconds connectTimeout{15000};
    // Longest silence of a server in the middle of an exchange.
    std::chrono::milliseconds idleTimeout{15000};
    // A whole operation (one RcvMail or SendMail) may take this long, plus
    // the time its data needs at minimumBytesPerSecond; then it ends with
    // "時間切れ". A server that trickles bytes cannot hold a session forever.
    std::chrono::milliseconds operationBaseTime{60000};
    qint64 minimumBytesPerSecond = 10 * 1000;

    // Defaults, plus the PEM file named by ORVANE_EXTRA_CA when it is set.
    static TransportOptions fromEnvironment();

    // How long an operation that moves `bytes` may take.
    std::chrono::milliseconds timeAllowedFor(qint64 bytes) const;

    // The certificates of extraCaFiles (unreadable files give none).
    QList<QSslCertificate> extraCaCertificates() const;
    // The same as PEM text, one certificate after the other.
    QByteArray extraCaPem() const;
};

}  // namespace orvane::mail
