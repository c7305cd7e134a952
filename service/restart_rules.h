// When the service host runs the application again after it ended, and when
// it gives up: restart policy, growing delays, and a limit, as pure state
// changes over times the host (or a test) passes in.
#pragma once
#include <cstdint>

namespace runvo {

enum class RestartPolicy { Never, OnFailure, Always };

struct RestartSettings {
  RestartPolicy policy = RestartPolicy::Never;
  std::uint32_t firstDelayMs = 2000;
  std::uint32_t maxDelayMs = 60000;
  // A run this long counts as healthy: the delays and the count start over.
  std::uint32_t resetMs = 300000;
  // Restarts without a healthy run in between, after which the host gives up.
  std::uint32_t limit = 10;
};

struct RestartDecision {
  enum class Action {
    Stop,     // the end stands: a stop asked for it, or the policy does not restart
    Restart,  // after `delayMs`, as restart number `number`
    GiveUp,   // the policy would restart, but the limit is reached
  };
  Action action = Action::Stop;
  std::uint32_t delayMs = 0;
  std::uint32_t number = 0;
};

class RestartTracker {
 public:
  explicit RestartTracker(const RestartSettings& settings) : settings_(settings) {}

  // A run of the application began (the first one or a restart).
  void runStarted(std::uint64_t nowMs) { runStartedAt_ = nowMs; }

  // The run ended with `exitCode`; `stopAsked` when a stop (or shutdown)
  // asked for the end. Counts the restart when it decides on one.
  RestartDecision runEnded(std::uint32_t exitCode, bool stopAsked, std::uint64_t nowMs);

  // Restarts since the host started.
  std::uint32_t restarts() const { return restarts_; }

 private:
  RestartSettings settings_;
  std::uint64_t runStartedAt_ = 0;
  std::uint32_t restarts_ = 0;
  // Restarts since the last healthy run.
  std::uint32_t streak_ = 0;
};

}  // namespace runvo
