#include "server_process.h"

#include "test_certificate.h"

namespace orvane::testing {

ServerProcess::~ServerProcess() {
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(10000)) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
}

bool ServerProcess::startRetryingPorts(const std::function<bool()>& startOnce) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (startOnce()) {
            return true;
        }
        if (process_.state() != QProcess::NotRunning) {
            return false;
        }
    }
    return false;
}

std::pair<quint16, quint16> freeLoopbackPorts(bool tls) {
    const quint16 plain = freeLoopbackPort();
    quint16 secure = tls ? freeLoopbackPort() : 0;
    while (tls && secure == plain) {
        secure = freeLoopbackPort();
    }
    return {plain, secure};
}

}  // namespace orvane::testing
