#include <gtest/gtest.h>

#include "service/host_rules.h"

namespace runvo {
namespace {

TEST(HostRules, ChildCommandLineQuotesItemsWithSpacesAndSplitsBack) {
  const ArgumentVector host{u"C:\\Program Files\\svc.exe", u"--extra"};
  const auto line = childCommandLine(host, u"My Service", {u"a b", u"plain", u"tab\there"});
  ASSERT_TRUE(line);
  EXPECT_EQ(*line, u"\"C:\\Program Files\\svc.exe\" \"My Service\" --extra \"a b\" plain \"tab\there\" __ksx_restart");
  EXPECT_EQ(childCommandLine({u"svc.exe"}, u"Svc", {}), u"svc.exe Svc __ksx_restart");
}

TEST(HostRules, EveryTextThatCanBeCarriedComesBackUnchanged) {
  const std::vector<ArgumentVector> cases = {
      {u"C:\\O'Brien\\svc.exe", u"O'Brien", u"Say\"Hi", u"Say \"Hi\" now", u"", u"it's", u"a  b", u"\"", u"'"},
      {u"C:\\Program Files\\svc.exe", u"\u670d\u52a1", u"--x", u"\"\"", u"''", u" lead", u"trail "},
      {u"svc.exe", u"name"},
      {u"", u"\tname", u"\t", u"x\ty"},  // found by fuzzing: an empty program, tabs at the start
  };
  for (const ArgumentVector& c : cases) {
    const ArgumentVector host{c[0]};
    const ArgumentVector parameters(c.begin() + 2, c.end());
    const auto line = childCommandLine(host, c[1], parameters);
    ASSERT_TRUE(line);
    ArgumentVector split;
    ASSERT_TRUE(trySplitProcessCommandLine(*line, split));
    ArgumentVector expected = c;
    expected.push_back(WideString(kChildMarker));
    EXPECT_EQ(split, expected);
  }
}

TEST(HostRules, ATextWithBothQuotesCannotBeCarried) {
  EXPECT_FALSE(carriedWhole(u"It's \"x\""));
  EXPECT_TRUE(carriedWhole(u"It's"));
  EXPECT_FALSE(childCommandLine({u"svc.exe"}, u"Svc", {u"a'b\"c"}));
  EXPECT_FALSE(childCommandLine({u"svc.exe"}, u"a'b\"c", {}));
}

TEST(CommandLine, TheProgramGoesByWindowsRules) {
  struct Case {
    const char16_t* line;
    ArgumentVector split;
  };
  const Case cases[] = {
      {u"C:\\O'Brien\\svc.exe", {u"C:\\O'Brien\\svc.exe"}},
      {u"\"C:\\Program Files\\svc.exe\" a 'b c'", {u"C:\\Program Files\\svc.exe", u"a", u"b c"}},
      {u"svc.exe\t\tx", {u"svc.exe", u"x"}},
      {u"", {}},
  };
  for (const Case& c : cases) {
    ArgumentVector split;
    ASSERT_TRUE(trySplitProcessCommandLine(c.line, split));
    EXPECT_EQ(split, c.split);
  }
}

TEST(HostRules, TheServiceNameArgument) {
  const WideString tooLong(8192, u'n');
  const WideString longest(8191, u'n');
  const char16_t* named[] = {u"\u670d\u52a1 Svc"};
  const char16_t* empty[] = {u""};
  const char16_t* overlong[] = {tooLong.c_str()};
  const char16_t* fits[] = {longest.c_str()};
  EXPECT_EQ(serviceNameArgument(1, named), u"\u670d\u52a1 Svc");
  EXPECT_EQ(serviceNameArgument(0, named), u"unknown");
  EXPECT_EQ(serviceNameArgument(1, empty), u"unknown");
  EXPECT_EQ(serviceNameArgument(1, overlong), u"unknown");
  EXPECT_EQ(serviceNameArgument(1, fits), longest);
  EXPECT_EQ(serviceNameArgument(1, nullptr), u"unknown");
}

TEST(HostRules, ControlsAndTheEndOfTheChild) {
  HostStatus status;
  EXPECT_EQ(status.state, kStateRunning);
  EXPECT_EQ(status.waitHint, 50000u);

  const ControlOutcome interrogate = applyControl(status, 4, 30000);
  EXPECT_FALSE(interrogate.sendStopLine);
  EXPECT_EQ(status.state, kStateRunning);

  EXPECT_TRUE(applyControl(status, kControlShutdown, 30000).sendStopLine);
  EXPECT_TRUE(applyControl(status, kControlShutdown, 30000).sendStopLine);
  EXPECT_EQ(status.checkPoint, 2u);
  EXPECT_EQ(status.state, kStateStopPending);
  EXPECT_TRUE(applyControl(status, kControlStop, 30000).sendStopLine);
  EXPECT_EQ(status.checkPoint, 3u) << "every request is progress";
  EXPECT_EQ(status.waitHint, 30000u + kTreeEndAllowanceMs);

  // After a stop request any exit code ends the service stopped.
  markChildEnded(status, 1);
  EXPECT_EQ(status.state, kStateStopped);
  EXPECT_EQ(status.win32ExitCode, 0u);

  // A failure of its own is no success: stopped, with the exit code.
  HostStatus running;
  markChildEnded(running, 1);
  EXPECT_EQ(running.state, kStateStopped);
  EXPECT_EQ(running.win32ExitCode, 1066u);
  EXPECT_EQ(running.serviceSpecificExitCode, 1u);
  HostStatus clean;
  markChildEnded(clean, 0);
  EXPECT_EQ(clean.state, kStateStopped);
  EXPECT_EQ(clean.win32ExitCode, 0u);

  HostStatus failed;
  markStartFailed(failed);
  EXPECT_EQ(failed.state, kStateStopped);
  EXPECT_EQ(failed.win32ExitCode, 1066u);
  EXPECT_EQ(failed.serviceSpecificExitCode, 5000u);
}

TEST(HostRules, TheStartIsPendingUntilTheChildIsReady) {
  HostStatus status = startingStatus();
  EXPECT_EQ(status.state, kStateStartPending);
  EXPECT_EQ(status.controlsAccepted, 0x105u) << "stop, shutdown and pre-shutdown";
  EXPECT_TRUE(advanceStartCheckpoint(status));
  EXPECT_TRUE(advanceStartCheckpoint(status));
  EXPECT_EQ(status.checkPoint, 3u);
  EXPECT_EQ(status.waitHint, kStartWaitHint);
  EXPECT_TRUE(markChildReady(status));
  EXPECT_EQ(status.state, kStateRunning);
  EXPECT_EQ(status.checkPoint, 0u);
  EXPECT_FALSE(advanceStartCheckpoint(status)) << "running: nothing more to report";
  EXPECT_FALSE(markChildReady(status));
}

TEST(HostRules, AStopDuringTheStartIsNotOverwrittenByRunning) {
  HostStatus status = startingStatus();
  EXPECT_TRUE(applyControl(status, kControlStop, 30000).sendStopLine);
  EXPECT_FALSE(markChildReady(status));
  EXPECT_FALSE(advanceStartCheckpoint(status));
  EXPECT_EQ(status.state, kStateStopPending);
}

TEST(HostRules, AChildThatEndsBeforeItIsReady) {
  struct Case {
    std::uint32_t exitCode;
    std::uint32_t win32ExitCode;
    std::uint32_t specific;
  };
  for (const Case& c : {Case{1, 1066, 1}, Case{7, 1066, 7}, Case{0, 0, 0}}) {
    HostStatus status = startingStatus();
    markChildEnded(status, c.exitCode);
    EXPECT_EQ(status.state, kStateStopped) << c.exitCode;
    EXPECT_EQ(status.win32ExitCode, c.win32ExitCode) << c.exitCode;
    EXPECT_EQ(status.serviceSpecificExitCode, c.specific) << c.exitCode;
  }
}

TEST(HostRules, TheStopWaitCoversTheRestOfTheTimeout) {
  const std::uint32_t timeout = 30000;
  // From its first report on, whatever state it came from: a waiter that saw
  // a wait hint of 0 there gave up at its next poll.
  for (HostStatus status : {HostStatus{.state = kStateRunning, .checkPoint = 0, .waitHint = 0}, startingStatus()}) {
    EXPECT_TRUE(applyControl(status, kControlPreshutdown, timeout).sendStopLine);
    EXPECT_EQ(status.state, kStateStopPending);
    EXPECT_EQ(status.checkPoint, 1u);
    EXPECT_EQ(status.waitHint, timeout + kTreeEndAllowanceMs);
    EXPECT_TRUE(advanceStopCheckpoint(status, 1000, timeout));
    EXPECT_EQ(status.checkPoint, 2u);
    EXPECT_EQ(status.waitHint, 29000u + kTreeEndAllowanceMs);
    EXPECT_TRUE(advanceStopCheckpoint(status, 29999, timeout));
    EXPECT_EQ(status.checkPoint, 3u);
    EXPECT_FALSE(advanceStopCheckpoint(status, 30000, timeout)) << "time is up: the tree is ended";
    EXPECT_EQ(status.checkPoint, 3u);
    // While the tree ends and the host cleans up: still progress.
    advanceTreeEndCheckpoint(status);
    EXPECT_EQ(status.checkPoint, 4u);
    EXPECT_EQ(status.waitHint, kTreeEndAllowanceMs);
  }
}

TEST(HostRules, OnlyPriorityClassesAreTakenFromTheRegistry) {
  for (const std::uint32_t value : {0x40u, 0x4000u, 0x20u, 0x8000u, 0x80u, 0x100u}) EXPECT_TRUE(isPriorityClass(value));
  // A creation flag such as CREATE_NEW_CONSOLE or DEBUG_PROCESS, a mix, or nothing.
  for (const std::uint32_t value : {0x10u, 0x1u, 0x60u, 0u, 0xFFFFFFFFu}) EXPECT_FALSE(isPriorityClass(value)) << value;
}

}  // namespace
}  // namespace runvo
