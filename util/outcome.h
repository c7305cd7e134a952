// Failures as values. Nothing below the launcher's entry ends the process:
// a step that can fail returns an Outcome, and the failure travels up to the
// one place that logs it, shows the configured message and exits.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace runvo {

struct Failure {
  // How the launcher ends the process for it.
  enum class Ending {
    Message,  // show the message, exit with code 1
    Silent,   // what there was to say has been said (or logged): exit with code 1
    Abort,    // an impossible state: abort
  };
  Ending ending = Ending::Message;
  // A configured message (its key); 0 when `text` is shown as it stands.
  std::int32_t messageKey = 0;
  // The argument put in place of the message's "{0}", or the fixed text.
  std::optional<std::string> detail;
  // What was being done, in a few words, for the log.
  std::string step;
  // The system's error code of the failed call, 0 when there was none.
  std::uint32_t systemError = 0;
  // Lines that explain the failure further (the candidates a search
  // rejected), shown on standard error after the message.
  std::vector<std::string> notes;
};

inline Failure keyedFailure(std::int32_t messageKey, std::optional<std::string> detail, std::string step,
                            std::uint32_t systemError = 0) {
  return {Failure::Ending::Message, messageKey, std::move(detail), std::move(step), systemError};
}
inline Failure textFailure(std::string text, std::string step, std::uint32_t systemError = 0) {
  return {Failure::Ending::Message, 0, std::move(text), std::move(step), systemError};
}
inline Failure silentFailure(std::string step) { return {Failure::Ending::Silent, 0, std::nullopt, std::move(step)}; }
inline Failure abortFailure(std::string step) { return {Failure::Ending::Abort, 0, std::nullopt, std::move(step)}; }

struct Done {};

// A value or the error that stood in its way.
template <typename T, typename Error>
class [[nodiscard]] Expected {
 public:
  // Anything a T can be made of, so that `return std::nullopt;` works for an
  // Expected of an optional.
  template <typename U>
    requires(std::is_constructible_v<T, U &&> && !std::is_same_v<std::remove_cvref_t<U>, Error> &&
             !std::is_same_v<std::remove_cvref_t<U>, Expected>)
  Expected(U&& value) : state_(std::in_place_index<0>, std::forward<U>(value)) {}
  Expected(Error error) : state_(std::in_place_index<1>, std::move(error)) {}

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  T& value() { return std::get<0>(state_); }
  const T& value() const { return std::get<0>(state_); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  T& operator*() { return value(); }
  const T& operator*() const { return value(); }

  const Error& error() const { return std::get<1>(state_); }
  Error takeError() { return std::move(std::get<1>(state_)); }

 private:
  std::variant<T, Error> state_;
};

template <typename T>
using Outcome = Expected<T, Failure>;
using Status = Outcome<Done>;
inline Status done() { return Done{}; }

}  // namespace runvo
