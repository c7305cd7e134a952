// Mode dispatch, the log and user messages, seen from outside: exit codes,
// what the launcher printed and what it wrote to its log.
#include <algorithm>
#include <set>

#include "launcher_fixture.h"
#include "service_scope.h"

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
  ServiceScope services;
  const std::string configured = services.fresh();
  const auto launcher = makeLauncher(Payload::tables({{101, configured}, {107, "0"}}));
  auto wide = [](const std::string& text) { return std::wstring(text.begin(), text.end()); };

  struct Install {
    std::wstring arguments;
    std::string name;
    DWORD startType;
    DWORD serviceType;
  };
  const Install installs[] = {
      {L"/install", configured, SERVICE_DEMAND_START, 0x110},
      {L"-install " + wide(configured + "-other"), configured + "-other", SERVICE_DEMAND_START, 0x110},
      {L"--install non-interactive", configured, SERVICE_DEMAND_START, 0x10},
      {L"/install non-interactive " + wide(configured + " two words"), configured + " two words",
       SERVICE_DEMAND_START, 0x10},
      {L"/install " + wide(configured + " x non-interactive"), configured + " x non-interactive",
       SERVICE_DEMAND_START, 0x110},
      {L"/install-auto", configured, SERVICE_AUTO_START, 0x110},
      {L"/install-demand " + wide(configured + "-d"), configured + "-d", SERVICE_DEMAND_START, 0x110},
  };
  std::set<std::string> installed;
  for (const Install& c : installs) {
    SCOPED_TRACE(std::string(c.arguments.begin(), c.arguments.end()));
    services.add(c.name);
    const LauncherRun r = run(launcher, {.arguments = c.arguments});
    EXPECT_EQ(r.exitCode, 0u);
    // A name installed before is updated in place.
    EXPECT_EQ(r.out, (installed.insert(c.name).second ? "Installed service '" : "Updated service '") + c.name +
                         "'.\r\n");
    const auto config = queryServiceConfig(c.name);
    ASSERT_TRUE(config);
    EXPECT_EQ(config->startType, c.startType);
    EXPECT_EQ(config->serviceType, c.serviceType);
  }

  // The other verbs take the same override; a lone trailing space keeps key 101.
  struct Other {
    std::wstring arguments;
    std::string out;
    unsigned long exitCode;
  };
  const Other others[] = {
      {L"/status " + wide(configured + "-other"), "Not running.\r\n", 3},
      {L"/status ", "Not running.\r\nAuto-start.\r\n", 3},
      {L"/start " + wide(configured + "-missing"), "Could not start service. Error code: 1060\r\n", 1},
      {L"/stop " + wide(configured + "-missing"), "Could not stop service.\r\n", 1},
      {L"/uninstall " + wide(configured + "-d"), "Uninstalled service '" + configured + "-d'.\r\n", 0},
  };
  for (const Other& c : others) {
    SCOPED_TRACE(std::string(c.arguments.begin(), c.arguments.end()));
    const LauncherRun r = run(launcher, {.arguments = c.arguments});
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.exitCode, c.exitCode);
  }
  EXPECT_FALSE(serviceExists(configured + "-d"));
}

TEST_F(Dispatch, InstallStartsAutomaticallyOnlyForApplicationType4) {
  // A missing key reads as 0.
  const std::pair<std::optional<std::string>, DWORD> cases[] = {
      {"4", SERVICE_AUTO_START}, {"04", SERVICE_AUTO_START}, {"5", SERVICE_DEMAND_START},
      {"", SERVICE_DEMAND_START}, {std::nullopt, SERVICE_DEMAND_START}};
  ServiceScope services;
  int caseNumber = 0;
  for (const auto& [type, startType] : cases) {
    SCOPED_TRACE(type.value_or("(no key 107)"));
    const std::string name = services.fresh();
    Entries entries{{101, name}};
    if (type) entries.push_back({107, *type});
    const auto launcher = makeLauncher(Payload::tables(entries), "t" + std::to_string(caseNumber++) + ".exe");
    const LauncherRun r = run(launcher, {.arguments = L"/install"});
    EXPECT_EQ(r.exitCode, 0u) << r.out;
    const auto config = queryServiceConfig(name);
    ASSERT_TRUE(config);
    EXPECT_EQ(config->startType, startType);
  }
}

TEST_F(Dispatch, AWrongVerbOrNoneOutsideTheServiceManagerShowsTheUsage) {
  // Unknown verbs, the help verbs, no verb, a marker that is not last and a
  // marker in another case: a person typed it, so the usage comes at once,
  // with exit code 2, and the dispatcher is never called.
  const auto launcher = makeLauncher(consoleApp());
  const std::vector<std::wstring> cases{L"",   L"//install", L"/INSTALL", L"__ksx_restart extra", L"__KSX_RESTART",
                                        L"app args", L"/help", L"-h", L"/?", L"--bogus \"My Service\""};
  std::vector<RunOptions> runs;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    runs.push_back({.arguments = cases[i], .log = true, .temporaryDirectory = tmp_ / std::to_string(i)});
  }
  const std::vector<LauncherRun> results = runTogether(launcher, runs);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const std::string label(cases[i].begin(), cases[i].end());
    EXPECT_EQ(results[i].exitCode, 2u) << label;
    EXPECT_EQ(results[i].out, "") << label;
    EXPECT_EQ(results[i].err.rfind("Usage: " + launcher.filename().string() + " VERB", 0), 0u) << label << results[i].err;
    EXPECT_NE(results[i].err.find("/run "), std::string::npos) << label;
    EXPECT_NE(results[i].err.find("Service log: " + (launcher.parent_path() / "logs").string()), std::string::npos)
        << label << results[i].err;
    const auto logs = logFiles(runs[i].temporaryDirectory);
    ASSERT_EQ(logs.size(), 1u) << label;
    EXPECT_FALSE(contains(splitLines(readFile(logs[0])), "calling StartServiceCtrlDispatcher")) << label;
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
