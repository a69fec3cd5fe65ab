#pragma once

#include "transport_options.h"

#include <QElapsedTimer>

#include <chrono>

namespace orvane::mail {

// The time limit of one whole operation: a base time that grows with the
// data moved so far (TransportOptions::timeAllowedFor). Starts when made.
class OperationDeadline {
  public:
    explicit OperationDeadline(const TransportOptions& options);

    // Data that arrived or went out; each byte buys a little more time.
    void addBytes(qint64 bytes) { bytes_ += bytes; }

    // Time left, zero once the limit has passed.
    std::chrono::milliseconds remaining() const;
    bool passed() const { return remaining().count() == 0; }
    // How long a wait may last: `wanted`, but never past the limit.
    std::chrono::milliseconds cap(std::chrono::milliseconds wanted) const;
    // The limit as it stands, in whole seconds, for the user.
    qint64 allowedSeconds() const;

  private:
    TransportOptions options_;
    QElapsedTimer started_;
    qint64 bytes_ = 0;
};

}  // namespace orvane::mail
