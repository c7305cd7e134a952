#include <gtest/gtest.h>

#include <vector>

#include "service/restart_rules.h"

namespace runvo {
namespace {

using Action = RestartDecision::Action;

// A run of the application that lasts `runMs`, ends with `exitCode`, and what the host decides then.
struct AppRun {
  std::uint64_t runMs;
  std::uint32_t exitCode;
  bool stopAsked;
  Action action;
  std::uint32_t delayMs;
  std::uint32_t number;
};

struct Case {
  const char* label;
  RestartSettings settings;
  std::vector<AppRun> runs;
};

constexpr RestartSettings onFailure{RestartPolicy::OnFailure, 2000, 60000, 300000, 10};

TEST(RestartRules, DelaysGrowResetAfterAHealthyRunAndEndInAGiveUp) {
  const Case cases[] = {
      {"never: an end stands, whatever its code",
       {RestartPolicy::Never},
       {{100, 1, false, Action::Stop, 0, 0}}},
      {"on-failure: a crash at once is restarted after the first delay",
       onFailure,
       {{100, 0xC0000005u, false, Action::Restart, 2000, 1}}},
      {"on-failure: an exit with 0 stands",
       onFailure,
       {{100, 0, false, Action::Stop, 0, 0}}},
      {"always: an exit with 0 is restarted too",
       {RestartPolicy::Always, 2000, 60000, 300000, 10},
       {{100, 0, false, Action::Restart, 2000, 1}}},
      {"a stop asked for the end: never restarted",
       {RestartPolicy::Always, 2000, 60000, 300000, 10},
       {{100, 1, true, Action::Stop, 0, 0}}},
      {"a crash loop doubles the delay up to the maximum",
       {RestartPolicy::OnFailure, 2000, 10000, 300000, 10},
       {{100, 1, false, Action::Restart, 2000, 1},
        {100, 1, false, Action::Restart, 4000, 2},
        {100, 1, false, Action::Restart, 8000, 3},
        {100, 1, false, Action::Restart, 10000, 4},
        {100, 1, false, Action::Restart, 10000, 5}}},
      {"a crash after the reset window starts with the first delay again",
       onFailure,
       {{100, 1, false, Action::Restart, 2000, 1},
        {100, 1, false, Action::Restart, 4000, 2},
        {300000, 1, false, Action::Restart, 2000, 3},
        {299999, 1, false, Action::Restart, 4000, 4}}},
      {"a crash loop up to the limit, then the host gives up",
       {RestartPolicy::OnFailure, 1000, 1000, 300000, 3},
       {{100, 7, false, Action::Restart, 1000, 1},
        {100, 7, false, Action::Restart, 1000, 2},
        {100, 7, false, Action::Restart, 1000, 3},
        {100, 7, false, Action::GiveUp, 0, 3}}},
      {"a healthy run in between lets the count start again",
       {RestartPolicy::OnFailure, 1000, 1000, 5000, 2},
       {{100, 7, false, Action::Restart, 1000, 1},
        {100, 7, false, Action::Restart, 1000, 2},
        {5000, 7, false, Action::Restart, 1000, 3},
        {100, 7, false, Action::Restart, 1000, 4},
        {100, 7, false, Action::GiveUp, 0, 4}}},
      {"a limit of 0 gives up at the first end the policy would restart",
       {RestartPolicy::OnFailure, 1000, 1000, 5000, 0},
       {{100, 7, false, Action::GiveUp, 0, 0}}},
      {"a first delay above the maximum is kept as it is",
       {RestartPolicy::OnFailure, 9000, 1000, 300000, 10},
       {{100, 7, false, Action::Restart, 9000, 1}, {100, 7, false, Action::Restart, 9000, 2}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    RestartTracker tracker(c.settings);
    std::uint64_t now = 1000;
    int index = 0;
    for (const AppRun& run : c.runs) {
      SCOPED_TRACE(index++);
      tracker.runStarted(now);
      now += run.runMs;
      const RestartDecision decision = tracker.runEnded(run.exitCode, run.stopAsked, now);
      EXPECT_EQ(decision.action, run.action);
      EXPECT_EQ(decision.delayMs, run.delayMs);
      EXPECT_EQ(decision.number, run.number);
      now += decision.delayMs;
    }
  }
}

TEST(RestartRules, TheCountOfRestartsIsKeptForStatus) {
  RestartTracker tracker(onFailure);
  tracker.runStarted(0);
  tracker.runEnded(1, false, 10);
  tracker.runStarted(2010);
  tracker.runEnded(0, false, 3000);
  EXPECT_EQ(tracker.restarts(), 1u);
}

}  // namespace
}  // namespace runvo
