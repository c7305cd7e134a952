// Whether the application serves: the checks a service's readiness and
// liveness are judged by, read from their texts, and the state changes that
// their results make over time. No network here: the host runs the checks
// and feeds in what they gave.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace runvo {

// "tcp:PORT": a connection to 127.0.0.1:PORT is accepted.
// "http:URL": a loopback http URL answers with a status of 200 to 399.
// "log:TEXT": a line of the application's output holds TEXT.
struct HealthCheck {
  enum class Kind { Tcp, Http, Log };
  Kind kind = Kind::Tcp;
  std::string host = "127.0.0.1";  // as connected to: an address, never a name to look up
  std::uint16_t port = 0;
  std::string hostHeader;  // for Http: the URL's host and port, as the server expects them
  std::string path = "/";  // for Http
  std::string text;        // for Log
};

// What a text names, or what is wrong with it and which forms are accepted.
// `allowLog`: a log line can tell readiness, never liveness.
std::optional<HealthCheck> parseHealthCheck(std::string_view text, bool allowLog, std::string& error);

// The request an Http check sends.
std::string httpRequest(const HealthCheck& check);
// Whether the first line of an answer ("HTTP/1.1 204 No Content") says the
// application serves: 2xx or 3xx.
bool httpAnswerServes(std::string_view answer);

// Finds TEXT in the application's output, which arrives in pieces that cut
// lines anywhere. Keeps at most the current line's tail that may still match.
class OutputLineMatcher {
 public:
  explicit OutputLineMatcher(std::string text) : text_(std::move(text)) {}
  // True once a line (finished or not) has held the text.
  bool feed(std::string_view output);
  bool matched() const { return matched_; }

 private:
  std::string text_;
  std::string tail_;
  bool matched_ = false;
};

// A start with a readiness check: ready once a check succeeds, failed when
// none did within the timeout.
class ReadinessWatch {
 public:
  enum class Verdict { Waiting, Ready, TimedOut };
  ReadinessWatch(std::uint32_t timeoutMs, std::uint64_t startMs) : timeoutMs_(timeoutMs), startMs_(startMs) {}
  Verdict checked(bool serves, std::uint64_t nowMs) const;

 private:
  std::uint32_t timeoutMs_;
  std::uint64_t startMs_;
};

// Liveness: so many failed checks in a row mean the application hangs.
class LivenessWatch {
 public:
  explicit LivenessWatch(std::uint32_t failuresAllowed) : failuresAllowed_(failuresAllowed) {}
  // True when this result makes the count of failures in a row reach the limit.
  bool checked(bool serves);
  std::uint32_t failuresInARow() const { return failures_; }

 private:
  std::uint32_t failuresAllowed_;
  std::uint32_t failures_ = 0;
};

}  // namespace runvo
