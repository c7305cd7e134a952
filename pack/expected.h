// Results of the builder's operations. Failures travel as values, so the
// library never exits or throws across its interface and tests can check
// every message.
#pragma once
#include <string>
#include <utility>
#include <variant>

namespace runvo::pack {

struct PackError {
  std::string message;
};

template <typename T>
class Expected {
 public:
  Expected(T value) : state_(std::move(value)) {}
  Expected(PackError error) : state_(std::move(error)) {}

  bool ok() const { return std::holds_alternative<T>(state_); }
  explicit operator bool() const { return ok(); }

  T& value() { return std::get<T>(state_); }
  const T& value() const { return std::get<T>(state_); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  T& operator*() { return value(); }
  const T& operator*() const { return value(); }

  const PackError& error() const { return std::get<PackError>(state_); }

 private:
  std::variant<T, PackError> state_;
};

struct Done {};
using Status = Expected<Done>;

inline PackError failure(std::string message) { return PackError{std::move(message)}; }

}  // namespace runvo::pack
