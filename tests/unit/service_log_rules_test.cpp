// The service log's rules: where it lives, how a line looks, how the child's
// output becomes lines, and which lines explain the latest run.
#include <gtest/gtest.h>

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

TEST(ServiceLogRules, TheRestartsOfTheLatestRun) {
  struct Case {
    const char* log;
    std::uint32_t restarts;
  };
  const Case cases[] = {
      {"t service starting: a\nt restarting the application (restart 1)\nt restarting the application (restart 2)\n", 2},
      {"t service starting: a\nt restarting the application (restart 7)\nt service starting: a\nt child exited\n", 0},
      {"t service starting: a\nt restarting the application (restart 12)\r\nt the application runs again\r\n", 12},
      {"t service starting: a\nt restarting the application (restart x)\n", 0},
      {"t service starting: a\nt restarting the application (restart 3\n", 0},
      {"", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(restartsInLatestRun(c.log, "service starting"), c.restarts) << c.log;
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
