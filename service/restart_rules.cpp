#include "service/restart_rules.h"

#include <algorithm>

namespace runvo {

namespace {
bool policyRestarts(RestartPolicy policy, std::uint32_t exitCode) {
  switch (policy) {
    case RestartPolicy::Never: return false;
    // A crash ends the process with an exception code, which is not 0 either.
    case RestartPolicy::OnFailure: return exitCode != 0;
    case RestartPolicy::Always: return true;
  }
  return false;
}

// The first delay, doubled per restart of the streak, never above the maximum.
std::uint32_t delayFor(const RestartSettings& settings, std::uint32_t streak) {
  std::uint64_t delay = settings.firstDelayMs;
  for (std::uint32_t i = 0; i < streak && delay < settings.maxDelayMs; ++i) delay *= 2;
  const std::uint32_t longest = std::max(settings.maxDelayMs, settings.firstDelayMs);
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(delay, longest));
}
}  // namespace

RestartDecision RestartTracker::runEnded(std::uint32_t exitCode, bool stopAsked, std::uint64_t nowMs) {
  if (stopAsked || !policyRestarts(settings_.policy, exitCode)) return {};
  if (nowMs - runStartedAt_ >= settings_.resetMs) streak_ = 0;
  if (streak_ >= settings_.limit) return {RestartDecision::Action::GiveUp, 0, restarts_};
  const std::uint32_t delay = delayFor(settings_, streak_);
  ++streak_;
  ++restarts_;
  return {RestartDecision::Action::Restart, delay, restarts_};
}

}  // namespace runvo
