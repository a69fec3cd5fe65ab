#pragma once

#include <QProcess>

#include <functional>
#include <utility>

namespace orvane::testing {

// The process of a test server: stopped when destroyed (terminate, then kill).
class ServerProcess {
  public:
    ServerProcess() = default;
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    QProcess* operator->() { return &process_; }
    const QProcess* operator->() const { return &process_; }

    // Runs `startOnce` (choose ports, start the process, wait until it serves)
    // up to three times. A port found free can be taken by someone else before
    // the server binds it; the server then exits and other ports are tried. A
    // failure while the process still runs is final.
    bool startRetryingPorts(const std::function<bool()>& startOnce);

  private:
    QProcess process_;
};

// A plain port and, with `tls`, a different second one for implicit TLS (else
// 0), both free on 127.0.0.1 a moment ago.
std::pair<quint16, quint16> freeLoopbackPorts(bool tls);

}  // namespace orvane::testing
