#pragma once

#include <QString>
#include <QTemporaryDir>

namespace orvane::testing {

// A self-signed certificate for localhost and 127.0.0.1, made with openssl
// when constructed. Tests trust it by adding certFile() as an extra CA.
class TestCertificate {
  public:
    TestCertificate();
    bool ok() const { return ok_; }
    const QString& error() const { return error_; }
    QString certFile() const { return dir_.filePath(QStringLiteral("cert.pem")); }
    QString keyFile() const { return dir_.filePath(QStringLiteral("key.pem")); }
    QString dir() const { return dir_.path(); }

  private:
    QTemporaryDir dir_;
    bool ok_ = false;
    QString error_;
};

// A port on 127.0.0.1 that was free a moment ago.
quint16 freeLoopbackPort();

// Waits until something accepts connections on 127.0.0.1:port.
bool waitForListening(quint16 port, int timeoutMs);

}  // namespace orvane::testing
