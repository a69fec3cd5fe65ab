#include "operation_deadline.h"

#include <algorithm>

namespace orvane::mail {

OperationDeadline::OperationDeadline(const TransportOptions& options) : options_(options) {
    started_.start();
}

std::chrono::milliseconds OperationDeadline::remaining() const {
    const std::chrono::milliseconds left =
        options_.timeAllowedFor(bytes_) - std::chrono::milliseconds(started_.elapsed());
    return std::max(left, std::chrono::milliseconds(0));
}

std::chrono::milliseconds OperationDeadline::cap(std::chrono::milliseconds wanted) const {
    return std::min(wanted, remaining());
}

qint64 OperationDeadline::allowedSeconds() const {
    return (options_.timeAllowedFor(bytes_).count() + 999) / 1000;
}

}  // namespace orvane::mail
