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
  };
  const Case cases[] = {
      {"nothing configured", {}, "logs", 10u * 1024 * 1024, 5},
      {"all three", {{kKeyServiceLogFolder, "D:\\l"}, {kKeyServiceLogRollBytes, "4096"}, {kKeyServiceLogKeptFiles, "0"}},
       "D:\\l", 4096, 0},
      {"unusable numbers", {{kKeyServiceLogRollBytes, "-5"}, {kKeyServiceLogKeptFiles, "-1"}}, "logs",
       10u * 1024 * 1024, 5},
      {"text where a number belongs", {{kKeyServiceLogRollBytes, "big"}}, "logs", 10u * 1024 * 1024, 5},
  };
  for (const Case& c : cases) {
    ConfigTable table;
    for (const auto& [key, text] : c.entries) table.setNarrow(key, text);
    const ServiceLogSettings settings = readServiceLogSettings(table);
    EXPECT_EQ(settings.folder, c.folder) << c.label;
    EXPECT_EQ(settings.rollBytes, c.rollBytes) << c.label;
    EXPECT_EQ(settings.keptFiles, c.keptFiles) << c.label;
  }
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
