#pragma once

#include <QString>

#include <optional>
#include <utility>
#include <variant>

namespace orvane::mail {

// Why a POP3 or SMTP exchange failed. The reason text is Japanese and fit to
// be spoken; the kind lets callers and tests tell the cases apart.
enum class FailureKind {
    Unreachable,     // no connection could be made
    Timeout,         // the server stopped answering
    Tls,             // encryption could not be set up or the certificate did not verify
    Login,           // the server refused the user name or password
    Refused,         // the server refused a command
    ConnectionLost,  // the connection ended in the middle of the exchange
    Protocol,        // the server's answer made no sense
    Local,           // a file could not be written or read here
};

struct Failure {
    FailureKind kind;
    QString reason;
};

// Success of an operation without a value: nullopt, or the failure.
using Status = std::optional<Failure>;

// A value or the failure that prevented it.
template <typename T>
class Expected {
  public:
    Expected(T value) : state_(std::move(value)) {}
    Expected(Failure failure) : state_(std::move(failure)) {}

    bool ok() const { return std::holds_alternative<T>(state_); }
    explicit operator bool() const { return ok(); }
    const T& value() const& { return std::get<T>(state_); }
    T& value() & { return std::get<T>(state_); }
    T&& value() && { return std::get<T>(std::move(state_)); }
    const T& operator*() const& { return value(); }
    const T* operator->() const { return &value(); }
    const Failure& failure() const { return std::get<Failure>(state_); }

  private:
    std::variant<T, Failure> state_;
};

}  // namespace orvane::mail
