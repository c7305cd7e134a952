#include <gtest/gtest.h>

#include <vector>

#include "service/pending_rules.h"

namespace runvo {
namespace {

constexpr std::uint32_t kStopped = 1;
constexpr std::uint32_t kStopPending = 3;
constexpr std::uint32_t kRunning = 4;

struct Step {
  std::uint64_t atMs;
  ObservedStatus status;
  PendingVerdict expected;
};

struct Case {
  const char* label;
  ObservedStatus first;
  std::vector<Step> steps;
};

TEST(PendingRules, AWaiterFollowsCheckpointsWithinTheirWaitHints) {
  const Case cases[] = {
      {"a stop that takes 3 s with a checkpoint a second ends stopped",
       {kStopPending, 1, 35000},
       {{1000, {kStopPending, 2, 34000}, PendingVerdict::Pending},
        {2000, {kStopPending, 3, 33000}, PendingVerdict::Pending},
        {3000, {kStopped, 0, 0}, PendingVerdict::Left}}},
      {"a slow stop that reported its whole timeout is not given up early",
       {kStopPending, 1, 35000},
       {{20000, {kStopPending, 1, 35000}, PendingVerdict::Pending},
        {35000, {kStopPending, 1, 35000}, PendingVerdict::Pending},
        {35001, {kStopPending, 1, 35000}, PendingVerdict::Hung}}},
      {"a wait hint of 0 gets the minimum, not a give-up at the next poll",
       {kStopPending, 0, 0},
       {{20, {kStopPending, 0, 0}, PendingVerdict::Pending},
        {kMinimumWaitHintMs, {kStopPending, 0, 0}, PendingVerdict::Pending},
        {kMinimumWaitHintMs + 1, {kStopPending, 0, 0}, PendingVerdict::Hung}}},
      {"progress starts the wait again, with the hint it came with",
       {kStopPending, 1, 3000},
       {{2900, {kStopPending, 2, 10000}, PendingVerdict::Pending},
        {12900, {kStopPending, 2, 10000}, PendingVerdict::Pending},
        {12901, {kStopPending, 2, 10000}, PendingVerdict::Hung}}},
      {"a checkpoint that goes back is no progress",
       {kStopPending, 5, 3000},
       {{2000, {kStopPending, 4, 3000}, PendingVerdict::Pending},
        {3001, {kStopPending, 4, 3000}, PendingVerdict::Hung}}},
      {"leaving the pending state for another one",
       {kStopPending, 1, 3000},
       {{100, {kRunning, 0, 0}, PendingVerdict::Left}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    PendingWatch watch(kStopPending, c.first, 0);
    for (const Step& step : c.steps) {
      EXPECT_EQ(watch.observe(step.status, step.atMs), step.expected) << "at " << step.atMs << " ms";
    }
  }
}

TEST(PendingRules, TheGrantedWaitIsWhatAMessageNames) {
  PendingWatch watch(kStopPending, {kStopPending, 1, 500}, 0);
  EXPECT_EQ(watch.grantedMs(), kMinimumWaitHintMs);
  watch.observe({kStopPending, 2, 40000}, 100);
  EXPECT_EQ(watch.grantedMs(), 40000u);
}

}  // namespace
}  // namespace runvo
