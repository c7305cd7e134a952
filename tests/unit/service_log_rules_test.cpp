// The service log's rules: where it lives, how a line looks, how the child's
// output becomes lines, and which lines explain the latest run.
#include <gtest/gtest.h>

#include <optional>

#include "launcher/usage.h"
#include "payload/config_keys.h"
#include "service/service_log_rules.h"

namespace runvo {
namespace {

TEST(ServiceLogRules, SettingsKeepTheirDefaultsUnlessConfigured) {
  struct Case {
    const char* label;
    std::vector<std::pair<std::int32_t, std::string>> entries;
    std::string folder;
    std::uint64_t rollBytes;
    int keptFiles;
    bool rollDaily = false;
    int keptDays = 0;
  };
  const Case cases[] = {
      {"nothing configured", {}, "logs", 10u * 1024 * 1024, 5},
      {"all five",
       {{kKeyServiceLogFolder, "D:\\l"},
        {kKeyServiceLogRollBytes, "4096"},
        {kKeyServiceLogKeptFiles, "0"},
        {kKeyServiceLogRollDaily, "1"},
        {kKeyServiceLogKeptDays, "14"}},
       "D:\\l", 4096, 0, true, 14},
      {"unusable numbers", {{kKeyServiceLogRollBytes, "-5"}, {kKeyServiceLogKeptFiles, "-1"}, {kKeyServiceLogKeptDays, "-3"}},
       "logs", 10u * 1024 * 1024, 5},
      {"text where a number belongs", {{kKeyServiceLogRollBytes, "big"}, {kKeyServiceLogRollDaily, "yes"}}, "logs",
       10u * 1024 * 1024, 5},
  };
  for (const Case& c : cases) {
    ConfigTable table;
    for (const auto& [key, text] : c.entries) table.setNarrow(key, text);
    const ServiceLogSettings settings = readServiceLogSettings(table);
    EXPECT_EQ(settings.folder, c.folder) << c.label;
    EXPECT_EQ(settings.rollBytes, c.rollBytes) << c.label;
    EXPECT_EQ(settings.keptFiles, c.keptFiles) << c.label;
    EXPECT_EQ(settings.rollDaily, c.rollDaily) << c.label;
    EXPECT_EQ(settings.keptDays, c.keptDays) << c.label;
  }
}

constexpr LogTime at(int day, int hour, int minute = 0, int second = 0) { return {2026, 12, day, hour, minute, second, 0}; }

TEST(ServiceLogRolling, RollsBeforeTheRecordThatWouldPassTheSize) {
  LogRollState state(100, /*rollDaily=*/false);
  state.opened(0, at(10, 9));
  EXPECT_EQ(state.before(150, at(10, 9)), RollReason::None) << "an empty file takes a record of any size";
  state.wrote(150);
  EXPECT_EQ(state.before(1, at(10, 9)), RollReason::Size);
  state.rolled(at(10, 9));
  state.wrote(60);
  EXPECT_EQ(state.before(40, at(10, 9)), RollReason::None) << "exactly the size";
  EXPECT_EQ(state.before(41, at(10, 9)), RollReason::Size);
  EXPECT_EQ(state.before(10, at(11, 0)), RollReason::None) << "a new day alone rolls only a daily log";
}

TEST(ServiceLogRolling, ADailyLogRollsWithTheFirstRecordOfALaterDay) {
  struct Case {
    const char* label;
    LogTime lastWrite;
    LogTime now;
    RollReason reason;
  };
  const Case cases[] = {
      {"the same day, one millisecond before midnight", at(10, 0), {2026, 12, 10, 23, 59, 59, 999}, RollReason::None},
      {"midnight", at(10, 23, 59, 59), at(11, 0), RollReason::Day},
      {"a file left from days before the service started", at(3, 12), at(11, 8), RollReason::Day},
      {"the turn of the year", {2026, 12, 31, 23, 0, 0, 0}, {2027, 1, 1, 0, 0, 1, 0}, RollReason::Day},
      {"a clock set back a day", at(11, 1), at(10, 23), RollReason::None},
  };
  for (const Case& c : cases) {
    LogRollState state(1u << 20, /*rollDaily=*/true);
    state.opened(10, c.lastWrite);
    EXPECT_EQ(state.before(10, c.now), c.reason) << c.label;
  }
  LogRollState empty(1u << 20, /*rollDaily=*/true);
  empty.opened(0, at(10, 12));
  EXPECT_EQ(empty.before(10, at(11, 0)), RollReason::None) << "an empty file has no lines to roll away";
}

TEST(ServiceLogRolling, AFailedRollIsTriedAgainAMinuteLater) {
  LogRollState state(100, /*rollDaily=*/true);
  state.opened(100, at(10, 23, 59, 30));
  ASSERT_EQ(state.before(10, at(11, 0, 0, 0)), RollReason::Day);
  state.rollFailed(at(11, 0, 0, 0));
  state.opened(100, at(11, 0, 0, 0));  // opened again, and written on
  state.wrote(10);
  EXPECT_EQ(state.before(10, at(11, 0, 0, 59)), RollReason::None);
  EXPECT_EQ(state.fileDay(), (LogDate{2026, 12, 10})) << "the lines still belong to the day they started on";
  EXPECT_EQ(state.before(10, at(11, 0, 1, 0)), RollReason::Day);
  state.rollFailed(at(11, 0, 1, 0));
  EXPECT_EQ(state.before(10, at(11, 0, 1, 30)), RollReason::None);
  state.rolled(at(11, 0, 2, 0));
  EXPECT_EQ(state.fileDay(), (LogDate{2026, 12, 11}));
  EXPECT_EQ(state.before(10, at(11, 0, 2, 1)), RollReason::None);
}

TEST(ServiceLogRolling, RolledNamesSortAndAreRecognised) {
  EXPECT_EQ(rolledLogName("C:\\app\\logs\\svc.log", 2), "C:\\app\\logs\\svc.log.2");
  EXPECT_EQ(dailyLogName("C:\\logs\\svc.log", {2026, 3, 9}, 0), "C:\\logs\\svc.log.2026-03-09");
  EXPECT_EQ(dailyLogName("C:\\logs\\svc.log", {2026, 3, 9}, 2), "C:\\logs\\svc.log.2026-03-09.2");
  EXPECT_LT(dailyLogName("s.log", {2026, 3, 9}, 0), dailyLogName("s.log", {2026, 3, 9}, 1));
  EXPECT_LT(dailyLogName("s.log", {2026, 3, 9}, 1), dailyLogName("s.log", {2026, 3, 10}, 0));

  for (const char* rolled : {"svc.log.1", "svc.log.12", "svc.log.2026-12-10", "svc.log.2026-12-10.3"}) {
    EXPECT_TRUE(isRolledLogName("svc.log", rolled)) << rolled;
  }
  for (const char* other : {"svc.log", "svc.log.", "svc.log.x", "svc.log.1a", "svc.log.2026-12-1", "svc.log.2026-12-10.",
                            "svc.log.2026-12-10.x", "svc.log.2026-12-10x", "svc.log.1.log", "other.log.1", "svc.logs.1",
                            "svc.log.2026-12-10.log"}) {
    EXPECT_FALSE(isRolledLogName("svc.log", other)) << other;
  }
}

TEST(ServiceLogRolling, RetentionByCountAndByAge) {
  const std::vector<RolledFile> files = {
      {"s.log.2026-12-08", at(8, 23, 59)}, {"s.log.2026-12-10", at(10, 23, 59)},
      {"s.log.2026-12-09", at(9, 23, 59)}, {"s.log.2026-12-10.1", at(11, 0, 0, 1)},
      {"s.log.3", at(1, 12)},
  };
  struct Case {
    const char* label;
    int keptFiles;
    int keptDays;
    std::vector<std::string> removed;
  };
  const Case cases[] = {
      {"everything kept", 5, 0, {}},
      {"the oldest beyond the count", 3, 0, {"s.log.2026-12-08", "s.log.3"}},
      {"none kept", 0, 0, {"s.log.2026-12-10.1", "s.log.2026-12-10", "s.log.2026-12-09", "s.log.2026-12-08", "s.log.3"}},
      {"older than two days", 10, 2, {"s.log.2026-12-08", "s.log.3"}},
      {"the count keeps four, the age three", 4, 2, {"s.log.2026-12-08", "s.log.3"}},
  };
  const LogTime now = at(11, 12);
  for (const Case& c : cases) EXPECT_EQ(rolledFilesToRemove(files, c.keptFiles, c.keptDays, now), c.removed) << c.label;
  // Exactly the age limit is not yet older than it.
  EXPECT_TRUE(rolledFilesToRemove({{"s.log.1", at(9, 12)}}, 5, 2, now).empty());
  EXPECT_EQ(rolledFilesToRemove({{"s.log.1", at(9, 11, 59, 59)}}, 5, 2, now), std::vector<std::string>{"s.log.1"});
}

TEST(ServiceLogRolling, NewestFirstByTimeThenByWhatTheNamesSay) {
  const LogTime same = at(10, 12);
  auto names = [](const std::vector<RolledFile>& files) {
    std::vector<std::string> out;
    for (const RolledFile& file : files) out.push_back(file.name);
    return out;
  };
  // Written within one millisecond, as quick rolls are.
  EXPECT_EQ(names(newestFirst({{"s.log.10", same}, {"s.log.2", same}, {"s.log.1", same}, {"s.log.3", same}})),
            (std::vector<std::string>{"s.log.1", "s.log.2", "s.log.3", "s.log.10"}));
  EXPECT_EQ(names(newestFirst({{"s.log.2026-12-10", same}, {"s.log.2026-12-10.10", same}, {"s.log.2026-12-10.2", same}})),
            (std::vector<std::string>{"s.log.2026-12-10.10", "s.log.2026-12-10.2", "s.log.2026-12-10"}));
  // A later write wins over any name.
  EXPECT_EQ(names(newestFirst({{"s.log.1", at(9, 12)}, {"s.log.3", same}})), (std::vector<std::string>{"s.log.3", "s.log.1"}));
}

TEST(ServiceLogRules, ThePathIsTheFolderAndTheServiceName) {
  struct Case {
    const char* folder;
    const char* name;
    const char* path;
  };
  const Case cases[] = {
      {"logs", "My Service", "C:\\app\\logs\\My Service.log"},
      {"logs\\", "svc", "C:\\app\\logs\\svc.log"},
      {"D:\\var\\log", "svc", "D:\\var\\log\\svc.log"},
      {"\\\\server\\share", "svc", "\\\\server\\share\\svc.log"},
      {"logs", "a/b:c*d?\"e<f>g|h\\i", "C:\\app\\logs\\a_b_c_d__e_f_g_h_i.log"},
      {"logs", "", "C:\\app\\logs\\service.log"},
  };
  for (const Case& c : cases) EXPECT_EQ(serviceLogPath("C:\\app\\", c.folder, c.name), c.path) << c.name;
  EXPECT_EQ(rolledLogName("C:\\app\\logs\\svc.log", 2), "C:\\app\\logs\\svc.log.2");
}

TEST(ServiceLogRules, ATimestampedLine) {
  EXPECT_EQ(timestampedLine({2026, 12, 10, 7, 5, 4, 3}, "state: running"), "2026-12-10 07:05:04.003 state: running");
}

TEST(ServiceLogRules, OutputBecomesLinesWhateverTheChunks) {
  OutputLines lines;
  EXPECT_EQ(lines.append("first\r\nsec"), (std::vector<std::string>{"first"}));
  EXPECT_EQ(lines.append("ond\n\nthird"), (std::vector<std::string>{"second", ""}));
  EXPECT_EQ(lines.finish(), (std::vector<std::string>{"third"}));
  EXPECT_TRUE(lines.finish().empty());
}

TEST(ServiceLogRules, AnEndlessLineIsPassedOnInBoundedPieces) {
  OutputLines lines;
  const std::string chunk(OutputLines::kLongestLine * 2 + 10, 'o');
  const std::vector<std::string> pieces = lines.append(chunk);
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_EQ(pieces[0].size(), OutputLines::kLongestLine);
  EXPECT_EQ(lines.finish(), (std::vector<std::string>{std::string(10, 'o')}));
}

TEST(ServiceLogRules, TheLastLinesOfTheLatestRun) {
  const std::string log =
      "t service starting: a\r\nt old failure\r\nt service starting: a\r\nt one\r\nt two\r\nt three\r\n";
  EXPECT_EQ(lastLinesSince(log, "service starting", 10),
            (std::vector<std::string>{"t service starting: a", "t one", "t two", "t three"}));
  EXPECT_EQ(lastLinesSince(log, "service starting", 2), (std::vector<std::string>{"t two", "t three"}));
  EXPECT_EQ(lastLinesSince("no marker\nat all", "service starting", 5),
            (std::vector<std::string>{"no marker", "at all"}));
  EXPECT_TRUE(lastLinesSince("", "service starting", 5).empty());
}

TEST(ServiceLogRules, TheFactsOfTheLatestRun) {
  struct Case {
    const char* log;
    std::optional<std::uint32_t> childProcessId;
    std::uint32_t restarts;
    std::optional<std::uint32_t> lastExitCode;
  };
  const Case cases[] = {
      {"2026-12-11 09:16:41.440 service starting: a\n"
       "2026-12-11 09:16:41.441 child process id 892\n"
       "2026-12-11 09:16:44.912 child exited with code 3221225477\n"
       "2026-12-11 09:16:45.922 restarting the application (restart 1)\n"
       "2026-12-11 09:16:45.946 child process id 928\r\n",
       928, 1, 3221225477u},
      // Only the latest run counts.
      {"t service starting: a\nt child process id 5\nt restarting the application (restart 7)\n"
       "t child exited with code 1\nt service starting: a\nt child process id 6\n",
       6, 0, std::nullopt},
      {"t service starting: a\nt restarting the application (restart 12)\r\nt restarting the application (restart 13)\n",
       std::nullopt, 13, std::nullopt},
      // Lines that only look alike.
      {"t service starting: a\nt restarting the application (restart x)\nt restarting the application (restart 3\n"
       "t child process id 12x\nt child exited with code -1\n",
       std::nullopt, 0, std::nullopt},
      {"", std::nullopt, 0, std::nullopt},
  };
  for (const Case& c : cases) {
    const RunFacts facts = latestRunFacts(c.log, "service starting");
    EXPECT_EQ(facts.childProcessId, c.childProcessId) << c.log;
    EXPECT_EQ(facts.restarts, c.restarts) << c.log;
    EXPECT_EQ(facts.lastExitCode, c.lastExitCode) << c.log;
  }
  const RunFacts started = latestRunFacts(cases[0].log, "service starting");
  ASSERT_TRUE(started.startedAt);
  EXPECT_EQ(started.startedAt->minute, 16);
  EXPECT_EQ(started.startedAt->second, 41);
  EXPECT_FALSE(latestRunFacts(cases[1].log, "service starting").startedAt) << "no time stamp in that log";
}

TEST(ServiceLogRules, TimeSinceTheStart) {
  const auto at = [](const char* line) { return *parseLogTime(line); };
  struct Case {
    const char* from;
    const char* to;
    std::int64_t seconds;
    const char* text;
  };
  const Case cases[] = {
      {"2026-12-11 09:16:41.440 x", "2026-12-11 09:16:41.999 y", 0, "0 s"},
      {"2026-12-11 09:16:41.440", "2026-12-11 10:18:45.000", 3724, "1 h 2 min 4 s"},
      {"2026-12-31 23:59:59.000", "2027-01-01 00:00:01.000", 2, "2 s"},
      {"2024-02-28 12:00:00.000", "2024-03-01 12:00:00.000", 2 * 86400, "2 d 0 h 0 min 0 s"},
      {"2026-12-11 10:00:00.000", "2026-12-11 09:59:00.000", -60, "0 s"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(secondsBetween(at(c.from), at(c.to)), c.seconds) << c.from << " " << c.to;
    EXPECT_EQ(durationText(secondsBetween(at(c.from), at(c.to))), c.text) << c.from << " " << c.to;
  }
  for (const char* notATime : {"", "t service starting", "2026-13-11 09:16:41.440", "2026-12-11 09:16:41,440",
                               "2026-12-11T09:16:41.440", "2026-12-1 09:16:41.440"}) {
    EXPECT_FALSE(parseLogTime(notATime)) << notATime;
  }
}

TEST(Usage, NamesTheVerbsTheExitCodesAndTheLogs) {
  const std::string text = usageText("svc.exe", "My Service", "C:\\app\\logs\\My Service.log");
  EXPECT_EQ(text.rfind("Usage: svc.exe VERB [non-interactive] [SERVICE NAME]\n", 0), 0u);
  for (const char* part : {"/install ", "/install-auto", "/install-demand", "/install-delayed", "/uninstall", "/start", "/stop",
                           "/status", "/restart", "/run", "/help", "'My Service'", "2 wrong usage",
                           "Service log: C:\\app\\logs\\My Service.log", "RUNVO_LOG=yes"}) {
    EXPECT_NE(text.find(part), std::string::npos) << part;
  }
}

}  // namespace
}  // namespace runvo
