#include "transport_options.h"

#include <QFile>

#include <algorithm>

namespace orvane::mail {

TransportOptions TransportOptions::fromEnvironment() {
    TransportOptions options;
    const QString extra = qEnvironmentVariable("ORVANE_EXTRA_CA");
    if (!extra.isEmpty()) {
        options.extraCaFiles << extra;
    }
    return options;
}

std::chrono::milliseconds TransportOptions::timeAllowedFor(qint64 bytes) const {
    const qint64 rate = std::max<qint64>(1, minimumBytesPerSecond);
    return operationBaseTime + std::chrono::milliseconds(std::max<qint64>(0, bytes) * 1000 / rate);
}

QList<QSslCertificate> TransportOptions::extraCaCertificates() const {
    QList<QSslCertificate> certificates;
    for (const QString& file : extraCaFiles) {
        certificates += QSslCertificate::fromPath(file, QSsl::Pem);
    }
    return certificates;
}

QByteArray TransportOptions::extraCaPem() const {
    QByteArray pem;
    for (const QSslCertificate& certificate : extraCaCertificates()) {
        pem += certificate.toPem();
    }
    return pem;
}

}  // namespace orvane::mail
