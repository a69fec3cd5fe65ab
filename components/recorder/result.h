#pragma once

#include <string>
#include <utility>
#include <variant>

namespace orvane::recorder {

// Why an operation failed, as one line fit for the console.
struct Error {
    std::string message;
};

// The value of an operation, or the reason it failed.
template <typename T>
class [[nodiscard]] Result {
  public:
    Result(T value) : state_(std::move(value)) {}
    Result(Error error) : state_(std::move(error)) {}

    bool ok() const { return std::holds_alternative<T>(state_); }
    explicit operator bool() const { return ok(); }

    // Only when ok().
    T& value() & { return std::get<T>(state_); }
    const T& value() const& { return std::get<T>(state_); }
    T&& value() && { return std::get<T>(std::move(state_)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    // Only when !ok().
    const Error& error() const { return std::get<Error>(state_); }

  private:
    std::variant<T, Error> state_;
};

struct Done {};
using Status = Result<Done>;

inline Status success() {
    return Done{};
}
inline Error failure(std::string message) {
    return Error{std::move(message)};
}

}  // namespace orvane::recorder
