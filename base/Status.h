// Small error values used across module boundaries: a Status is either ok or
// carries a one-line message; Result<T> is a value or such a message. A
// cancelled call (base/Cancel.h) is a state of its own: cancelled() is true
// and the message reads "cancelled" for display.
// Bad input never throws across a module; broken invariants are asserts.
#pragma once

#include <cassert>
#include <optional>
#include <string>
#include <utility>

namespace tessaro {

class Status {
 public:
  Status() = default;
  static Status Ok() { return Status(); }
  static Status Error(std::string message) {
    Status s;
    s.FMessage = std::move(message);
    if (s.FMessage->empty()) *s.FMessage = "error";
    return s;
  }
  // The work stopped because its cancel token was raised.
  static Status Cancelled() {
    Status s = Error("cancelled");
    s.FCancelled = true;
    return s;
  }

  bool ok() const { return !FMessage.has_value(); }
  explicit operator bool() const { return ok(); }
  bool cancelled() const { return FCancelled; }
  const std::string& message() const {
    static const std::string kEmpty;
    return FMessage ? *FMessage : kEmpty;
  }

 private:
  std::optional<std::string> FMessage;
  bool FCancelled = false;
};

template <typename T>
class Result {
 public:
  Result(T value) : FValue(std::move(value)) {}                              // NOLINT: implicit by design
  Result(Status error) : FError(std::move(error)) { assert(!FError.ok()); }  // NOLINT

  bool ok() const { return FValue.has_value(); }
  explicit operator bool() const { return ok(); }
  const Status& status() const { return FError; }
  bool cancelled() const { return FError.cancelled(); }
  const std::string& message() const { return FError.message(); }

  T& value() & {
    assert(ok());
    return *FValue;
  }
  const T& value() const& {
    assert(ok());
    return *FValue;
  }
  T&& value() && {
    assert(ok());
    return std::move(*FValue);
  }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }

 private:
  std::optional<T> FValue;
  Status FError;
};

}  // namespace tessaro
