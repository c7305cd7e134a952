#include "service/pending_rules.h"

#include <algorithm>

namespace runvo {

PendingWatch::PendingWatch(std::uint32_t pendingState, const ObservedStatus& first, std::uint64_t nowMs)
    : pendingState_(pendingState),
      checkPoint_(first.checkPoint),
      granted_(std::max(first.waitHint, kMinimumWaitHintMs)),
      since_(nowMs) {}

PendingVerdict PendingWatch::observe(const ObservedStatus& status, std::uint64_t nowMs) {
  if (status.state != pendingState_) return PendingVerdict::Left;
  // Progress starts the wait again, with the hint that came along with it.
  if (status.checkPoint > checkPoint_) {
    checkPoint_ = status.checkPoint;
    granted_ = std::max(status.waitHint, kMinimumWaitHintMs);
    since_ = nowMs;
    return PendingVerdict::Pending;
  }
  return nowMs - since_ > granted_ ? PendingVerdict::Hung : PendingVerdict::Pending;
}

}  // namespace runvo
