// Mode dispatch, the log and user messages, seen from outside: exit codes,
// what the launcher printed and what it wrote to its log.
#include <algorithm>

#include "launcher_fixture.h"

namespace runvo::testing {
namespace {

using Payload = PayloadBytes;
using Entries = std::vector<std::pair<std::int32_t, std::string>>;

Payload consoleApp(Entries extra = {}) {
  Entries entries{{101, "RunvoTest"}, {107, "0"}, {1007, "Wrong Parameter Usage"}};
  entries.insert(entries.end(), extra.begin(), extra.end());
  return Payload::tables(entries);
}

bool contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class Dispatch : public LauncherTest {};

TEST_F(Dispatch, VerbsReadTheirOptionsAndTheServiceNameOverride) {
  struct Case {
    std::wstring arguments;
    std::string expected;
  };
  const Case cases[] = {
      {L"/install", "\"install\" for service 'RunvoTest' (start type 3, interactive)"},
      {L"-install MyService", "\"install\" for service 'MyService' (start type 3, interactive)"},
      {L"--install non-interactive", "\"install\" for service 'RunvoTest' (start type 3, non-interactive)"},
      {L"/install non-interactive My Service",
       "\"install\" for service 'My Service' (start type 3, non-interactive)"},
      {L"/install My Service non-interactive",
       "\"install\" for service 'My Service non-interactive' (start type 3, interactive)"},
      {L"/install-auto", "\"install\" for service 'RunvoTest' (start type 2, interactive)"},
      {L"/install-demand X", "\"install\" for service 'X' (start type 3, interactive)"},
      {L"/uninstall Other", "\"uninstall\" for service 'Other'"},
      {L"/stop MyService", "\"stop\" for service 'MyService'"},
      {L"/start", "\"start\" for service 'RunvoTest'"},
      {L"/status ", "\"status\" for service 'RunvoTest'"},
  };
  const auto launcher = makeLauncher(consoleApp());
  for (const Case& c : cases) {
    const LauncherRun r = run(launcher, {.arguments = c.arguments});
    EXPECT_EQ(r.exitCode, 1u) << std::string(c.arguments.begin(), c.arguments.end());
    EXPECT_EQ(r.err, "runvo: " + c.expected + " is not available in this build.\r\n");
  }
}

TEST_F(Dispatch, InstallStartsAutomaticallyOnlyForApplicationType4) {
  for (const auto& [type, startType] : {std::pair{"4", '2'}, {"5", '3'}, {"", '3'}, {"04", '2'}}) {
    const auto launcher =
        makeLauncher(Payload::tables({{101, "S"}, {107, type}}), std::string("t") + type + ".exe");
    const LauncherRun r = run(launcher, {.arguments = L"/install"});
    EXPECT_NE(r.err.find(std::string("start type ") + startType), std::string::npos) << type << r.err;
  }
}

TEST_F(Dispatch, WithoutAVerbTheServiceDispatcherIsCalled) {
  // Unknown verbs, a marker that is not last, and a marker in another case
  // all end at the dispatcher, which fails outside the service manager.
  // Wine takes about ten seconds to give up on it, so the cases run side by side.
  const auto launcher = makeLauncher(consoleApp());
  const std::vector<std::wstring> cases{L"", L"//install", L"/INSTALL", L"__ksx_restart extra",
                                        L"__KSX_RESTART", L"app args"};
  std::vector<RunOptions> runs;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    runs.push_back({.arguments = cases[i], .log = true, .temporaryDirectory = tmp_ / std::to_string(i)});
  }
  const std::vector<LauncherRun> results = runTogether(launcher, runs);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const std::string label(cases[i].begin(), cases[i].end());
    EXPECT_EQ(results[i].exitCode, 0u) << label;
    EXPECT_EQ(results[i].out + results[i].err, "") << label;
    const auto logs = logFiles(runs[i].temporaryDirectory);
    ASSERT_EQ(logs.size(), 1u) << label;
    const auto lines = splitLines(readFile(logs[0]));
    const std::vector<std::string> tail(lines.end() - 3, lines.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"calling StartServiceCtrlDispatcher",
                                              "StartServiceCtrlDispatcher failed with error 1063",
                                              "StartServiceCtrlDispatcher returned"}))
        << label;
  }
}

TEST_F(Dispatch, TheLastArgumentMarksTheChildRun) {
  // The child run goes looking for a JVM; there is none to find here.
  const auto launcher = makeLauncher(consoleApp({{1016, "no JVM ({0}-bit)"}}));
  const LauncherRun r = run(launcher, {.arguments = L"one \"two three\" __ksx_restart", .log = true});
  EXPECT_EQ(r.exitCode, 1u);
  const auto lines = splitLines(onlyLog());
  EXPECT_TRUE(contains(lines, "registering ConsoleCtrlHandler"));
  EXPECT_TRUE(contains(lines, "ERROR: No JVM found"));
  EXPECT_FALSE(contains(lines, "calling StartServiceCtrlDispatcher"));
  EXPECT_EQ(r.err.rfind("no JVM (64-bit)\r\n\r\nLog: ", 0), 0u) << r.err;
}

TEST_F(Dispatch, AnUnmatchedQuoteIsAWrongParameterUsage) {
  const auto launcher = makeLauncher(consoleApp());
  const LauncherRun r = run(launcher, {.arguments = L"Bob's"});
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_EQ(r.err, "Wrong Parameter Usage\r\n");
}

class Log : public LauncherTest {};

TEST_F(Log, OnlyTheExactWordYesSwitchesItOn) {
  const auto launcher = makeLauncher(consoleApp());
  struct Case {
    const wchar_t* variable;
    const wchar_t* value;
    bool on;
  };
  for (const Case& c : {Case{L"RUNVO_LOG", L"Yes", false}, Case{L"RUNVO_LOG", L"yes ", false},
                        Case{L"RUNVO_LOG", L"1", false}, Case{L"KESTRELIX_LOG", L"YES", false},
                        Case{L"KESTRELIX_LOG", L"yes", true}, Case{L"RUNVO_LOG", L"yes", true}}) {
    std::error_code ignored;
    std::filesystem::remove_all(tmp_, ignored);
    std::filesystem::create_directories(tmp_);
    // An unmatched quote ends the run right after its first log lines.
    run(launcher, {.arguments = L"'", .environment = {{c.variable, c.value}}});
    EXPECT_EQ(logFiles().size(), c.on ? 1u : 0u) << std::wstring(c.variable).size() << c.on;
  }
}

TEST_F(Log, StartsWithAHeaderAndHasOneLinePerMessage) {
  const auto launcher = makeLauncher(consoleApp());
  run(launcher, {.arguments = L"a b '", .log = true});
  const auto logs = logFiles();
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(logs[0].filename().string().rfind("ksx", 0), 0u);
  const std::string text = readFile(logs[0]);
  // Text mode: every line ends with a carriage return and a line feed.
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), std::count(text.begin(), text.end(), '\r'));
  const auto lines = splitLines(text);
  ASSERT_EQ(lines.size(), 7u);
  const std::string header = "Started executable " + launcher.string() + " at ";
  EXPECT_EQ(lines[0].substr(0, header.size()), header);
  EXPECT_EQ(lines[0].size(), header.size() + 24) << "ctime text: " << lines[0];
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[2], "number of sections: 11");
  EXPECT_TRUE(contains(lines, "command line \"" + launcher.string() + "\" a b '"));
}

class Messages : public LauncherTest {};

TEST_F(Messages, TheApplicationTypeChoosesBoxOrConsole) {
  for (const auto& [type, box] : {std::pair{"1", true}, {"5", true}, {"0", false}, {"4", false}, {"", false}}) {
    const auto launcher = makeLauncher(
        Payload::tables({{107, type}, {1000, "Caption"}, {1007, "Wrong Parameter Usage"}}),
        std::string("m") + type + ".exe");
    const LauncherRun r = run(launcher, {.arguments = L"\"unclosed", .watchMessageBoxes = true});
    EXPECT_EQ(r.exitCode, 1u) << type;
    if (box) {
      EXPECT_EQ(r.messageBoxes, std::vector<std::string>{"Wrong Parameter Usage"}) << type;
      EXPECT_EQ(r.messageBoxCaptions, std::vector<std::string>{"Caption"}) << type;
      EXPECT_EQ(r.err, "") << type;
    } else {
      EXPECT_TRUE(r.messageBoxes.empty()) << type;
      EXPECT_EQ(r.err, "Wrong Parameter Usage\r\n") << type;
    }
  }
}

TEST_F(Messages, WithTheLogOnTheMessageNamesTheLogFile) {
  const auto launcher = makeLauncher(consoleApp());
  const LauncherRun r = run(launcher, {.arguments = L"'unclosed", .log = true});
  const auto logs = logFiles();
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(r.err, "Wrong Parameter Usage\r\n\r\nLog: " + logs[0].string() + "\r\n");
}

TEST_F(Messages, AnOverlongMessageIsCutToItsBuffer) {
  const auto launcher = makeLauncher(consoleApp({{1007, std::string(10000, 'm')}}));
  const LauncherRun r = run(launcher, {.arguments = L"'"});
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_EQ(r.err, std::string(8191, 'm') + "\r\n");
}

TEST_F(Messages, AnAbsentMessageKeyShowsAnEmptyText) {
  const auto launcher = makeLauncher(Payload::tables({{107, "0"}}));
  const LauncherRun r = run(launcher, {.arguments = L"'"});
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_EQ(r.err, "\r\n");
}

}  // namespace
}  // namespace runvo::testing
