// How a verb follows a service through a pending state (starting or
// stopping), as the service manager documents it: the service is making
// progress while its checkpoint rises within its wait hint; a service that
// leaves the checkpoint standing for longer than the hint is taken as hung.
// Time comes from the caller, so the rule is tested with a clock the test sets.
#pragma once
#include <cstdint>

namespace runvo {

// What a status query gave; the states have the service manager's values.
struct ObservedStatus {
  std::uint32_t state = 0;
  std::uint32_t checkPoint = 0;
  std::uint32_t waitHint = 0;
};

// A wait hint of 0 (or a few milliseconds) in a pending state would make any
// service look hung between two polls: at least this long is granted.
inline constexpr std::uint32_t kMinimumWaitHintMs = 2000;

enum class PendingVerdict {
  Pending,  // still in the pending state, and within its wait hint
  Left,     // the service left the pending state (to whichever state)
  Hung,     // no checkpoint within the wait hint
};

class PendingWatch {
 public:
  PendingWatch(std::uint32_t pendingState, const ObservedStatus& first, std::uint64_t nowMs);

  // The verdict on a new observation at `nowMs`.
  PendingVerdict observe(const ObservedStatus& status, std::uint64_t nowMs);

  // The wait hint that the last observation granted, for a message.
  std::uint32_t grantedMs() const { return granted_; }

 private:
  std::uint32_t pendingState_;
  std::uint32_t checkPoint_;
  std::uint32_t granted_;
  std::uint64_t since_;
};

}  // namespace runvo
