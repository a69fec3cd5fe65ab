#pragma once

#include <QString>

#include <optional>
#include <utility>

namespace orvane {

// What kind of thing went wrong. Callers and tests tell cases apart by it; the
// user hears the reason.
enum class FailureKind {
    BadInput,        // what was given (typed, read from a file, sent by a peer) is not acceptable
    NotFound,        // a file, program or device that is needed is not there
    Disk,            // a file or folder could not be written or read here
    Store,           // the mail store refused a statement
    Device,          // a sound device could not be used
    Unreachable,     // no connection could be made
    Timeout,         // the other side took too long
    Tls,             // encryption could not be set up or the certificate did not verify
    Login,           // the server refused the user name or password
    Refused,         // the other side refused a request
    ConnectionLost,  // the connection ended in the middle of an exchange
    Protocol,        // the other side's answer made no sense
    Internal,        // a library we use failed in a way we cannot explain further
};

// Why an operation failed: the kind, and a Japanese sentence fit to be spoken
// and shown as it stands.
struct Failure {
    FailureKind kind = FailureKind::Internal;
    QString reason;
};

// The value of an operation, or the failure that prevented it. There are no
// out-parameters and no flags that mean failure when set: ok() is success.
template <typename T>
class [[nodiscard]] Expected {
  public:
    Expected(T value) : value_(std::move(value)) {}
    Expected(Failure failure) : failure_(std::move(failure)) {}

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }

    // Only when ok().
    T& value() & { return *value_; }
    const T& value() const& { return *value_; }
    T&& value() && { return *std::move(value_); }
    T& operator*() & { return *value_; }
    const T& operator*() const& { return *value_; }
    T* operator->() { return &*value_; }
    const T* operator->() const { return &*value_; }

    // Only when !ok().
    const Failure& failure() const { return failure_; }

  private:
    // An optional and a plain Failure rather than a variant: GCC 12 reports
    // false "may be used uninitialized" warnings on moved variants.
    std::optional<T> value_;
    Failure failure_;
};

// Success without a value, or the failure.
template <>
class [[nodiscard]] Expected<void> {
  public:
    Expected() = default;
    Expected(Failure failure) : failure_(std::move(failure)) {}

    bool ok() const { return !failure_.has_value(); }
    explicit operator bool() const { return ok(); }

    // Only when !ok().
    const Failure& failure() const { return *failure_; }

  private:
    std::optional<Failure> failure_;
};

inline Expected<void> success() {
    return {};
}

inline Failure fail(FailureKind kind, QString reason) {
    return Failure{kind, std::move(reason)};
}

// A failure of a file operation on `what` (a path or a description), with the
// system's error number turned into Japanese: "… に書き込めません：ディスクがいっぱいです".
// `action` is the verb phrase, for example "に書き込めません" or "を読めません".
Failure fileFailure(const QString& what, const QString& action, int errorNumber);

// The system's error number as a short Japanese phrase ("ディスクがいっぱいです").
QString errorNumberText(int errorNumber);

}  // namespace orvane
