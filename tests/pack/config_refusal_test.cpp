#include <algorithm>
#include <sstream>

#include "pack_test_support.h"

namespace runvo::pack::testing {
namespace {

// Each config is complete; `line` is where the problem must be reported
// (0: the problem has no line, as for a missing table).
struct RefusalCase {
  std::string_view what;
  std::string_view config;
  unsigned line;
  std::string_view expected;
};

const RefusalCase kRefusalCases[] = {
    {"TOML syntax", "service.name = 'Svc'\napp.main_class = \n", 2, "app.toml:2:18:"},
    {"unknown table", "service.name = 'Svc'\napp.main_class = 'M'\n[serivce]\n", 3,
     "unknown table [serivce]"},
    {"unknown field", "[service]\nname = 'Svc'\n[app]\nmain_class = 'M'\nmian_class = 'M'\n", 5,
     "unknown field \"mian_class\" in [app]"},
    {"unknown file field", "service.name = 'S'\napp.main_class = 'M'\n[[files]]\nsource = 'app.jar'\npath = 'x'\n",
     5, "unknown field \"path\" in files[1]"},
    {"text given a number", "service.name = 'Svc'\napp.main_class = 42\n", 2,
     "app.main_class must be a string, not an integer"},
    {"integer given a string", "service.name = 'S'\napp.main_class = 'M'\napp.type = '4'\n", 3,
     "app.type must be an integer, not a string"},
    {"integer too large", "service.name = 'S'\napp.main_class = 'M'\napp.type = 4294967296\n", 3,
     "app.type must fit in 32 bits"},
    // The launcher would take its default for these, which is not what was asked.
    {"roll size of 0", "service.name = 'S'\napp.main_class = 'M'\noutput.roll_bytes = 0\n", 3,
     "output.roll_bytes must be 1 or more, not 0"},
    {"negative count of kept files", "service.name = 'S'\napp.main_class = 'M'\nservice.log_kept_files = -1\n", 3,
     "service.log_kept_files must be 0 or more, not -1"},
    {"negative age of kept files", "service.name = 'S'\napp.main_class = 'M'\noutput.kept_days = -7\n", 3,
     "output.kept_days must be 0 or more, not -7"},
    {"daily roll given a string", "service.name = 'S'\napp.main_class = 'M'\nservice.log_roll_daily = 'yes'\n", 3,
     "service.log_roll_daily must be a boolean"},
    {"flag given a string", "service.name = 'S'\napp.main_class = 'M'\n\njvm.require_jdk = 'yes'\n", 4,
     "jvm.require_jdk must be a boolean"},
    {"list holding a number", "service.name = 'S'\napp.main_class = 'M'\njvm.options = [\n'-Xmx1g',\n2]\n", 5,
     "jvm.options must hold only strings, not an integer"},
    {"list entry holding the separator", "service.name = 'S'\napp.main_class = 'M'\nservice.dependencies = ['a,b']\n",
     3, "holds the separator ','"},
    {"word with both quotes", "service.name = 'S'\napp.main_class = 'M'\napp.arguments = ['''a\"b'c''']\n", 3,
     "both a double and a single quote"},
    {"words text with an open quote", "service.name = 'S'\napp.main_class = 'M'\napp.arguments = 'a \"b c'\n", 3,
     "app.arguments: a quote in <a \"b c> has no closing partner"},
    {"unknown flavour", "service.name = 'S'\napp.main_class = 'M'\nlauncher.flavour = 'other'\n", 3,
     "launcher.flavour must be \"runvo\" or \"installer\", not \"other\""},
    {"missing service table", "app.main_class = 'M'\n", 0, "missing table [service], which must set name"},
    {"missing main class", "service.name = 'S'\n\n[app]\ntype = 1\n", 3, "missing required field app.main_class"},
    {"empty service name", "service.name = ''\napp.main_class = 'M'\n", 1, "service.name must not be empty"},
    {"service name with a slash", "service.name = 'a/b'\napp.main_class = 'M'\n", 1, "must not hold '/'"},
    {"unrepresentable character", "service.name = 'S'\napp.main_class = 'com.Łódź'\n", 2,
     "app.main_class: character U+0141 'Ł' has no Windows-1252 form"},
    {"NUL character", "service.name = 'S'\napp.main_class = \"M\\u0000x\"\n", 2,
     "app.main_class holds the control character U+0000: \"M\\x00x\""},
    {"text longer than the launcher reads", "service.name = 'S'\napp.main_class = 'M'\n\njvm.variant = '%200'\n", 4,
     "jvm.variant is 200 bytes long; the launcher reads at most 199"},
    {"key set by name and raw", "service.name = 'S'\napp.main_class = 'M'\n[raw]\n\"101\" = 'T'\n", 4,
     "[raw] \"101\" sets key 101, which service.name at line 1 already sets"},
    {"file count set by raw too", "service.name = 'S'\napp.main_class = 'M'\nraw.2002 = '1'\n[[files]]\nsource = 'app.jar'\n",
     3, "[raw] \"2002\" sets key 2002, which [[files]] at line 4 already sets"},
    {"file count set by raw without files",
     "service.name = 'S'\napp.main_class = 'M'\nlauncher.runtime_jar = false\n[raw]\n2002 = '1'\n2003 = 'a.jar'\n", 5,
     "[raw] \"2002\" sets key 2002, which the list of embedded files (empty here) already sets"},
    {"non-ASCII outside strings", "service.name = 'S'\napp.main_class = 'M'\nx = 1\u00a1\n", 3,
     "app.toml:3:6: the character U+00A1 is allowed only in strings and comments"},
    {"non-ASCII after a quote glued to a value", "service.name = 'S'\napp.main_class = 'M'\nt=0='\u03cf\n", 3,
     "the character U+03CF is allowed only in strings and comments"},
    {"control character", "service.name = 'S'\napp.main_class = 'M'\n[\x01]\n", 3,
     "app.toml:3:2: the control character U+0001 is not allowed"},
    {"text not UTF-8", "service.name = 'S'\napp.main_class = 'M\xff'\n", 2, "app.toml:2:20: the text is not valid UTF-8"},
    {"non-ASCII after a line-ending backslash", "service.name = \"\"\"\\\n  \u00a7\"\"\"\napp.main_class = 'M'\n", 2,
     "the character U+00A7 after a backslash in a multi-line string must be written as an escape"},
    {"non-ASCII after two line-ending backslashes", "service.name = \"\"\"\\\n\\\n\u00a7\"\"\"\napp.main_class = 'M'\n", 3,
     "app.toml:3:1: the character U+00A7 after a backslash in a multi-line string must be written as an escape"},
    {"non-ASCII after a string closed right after a line-ending backslash",
     "service.name = \"\"\"\\\n\"\"\"\napp.main_class = 'M'\nx = 1\u00a1\n", 4,
     "app.toml:4:6: the character U+00A1 is allowed only in strings and comments"},
    // Texts on which the TOML reader's own checks fail.
    {"brace closing an array", "service.name = 'S'\napp.main_class = 'M'\nr=[}\n", 0,
     "the TOML reader cannot read this text"},
    {"header without a key", "service.name = 'S'\napp.main_class = 'M'\n[\n", 0, "the TOML reader cannot read this text"},
    {"date and digit", "service.name = 'S'\napp.main_class = 'M'\nt=0000-02-0= 2#\n", 0,
     "the TOML reader cannot read this text"},
    {"raw key not a number", "service.name = 'S'\napp.main_class = 'M'\nraw.abc = 'x'\n", 3,
     "a key must be a 32-bit decimal number"},
    {"raw value not a string", "service.name = 'S'\napp.main_class = 'M'\nraw_wide.5 = true\n", 3,
     "[raw_wide] \"5\" must be a string, not a boolean"},
    // Names and values that hold line breaks, shown escaped in their messages.
    {"field name with a line feed", "service.name = 'S'\napp.main_class = 'M'\nservice.\"lo\\ng\" = 1\n", 3,
     "unknown field \"lo\\ng\" in [service]"},
    {"table name with a line feed", "service.name = 'S'\napp.main_class = 'M'\n[\"a\\nb\"]\n", 3,
     "unknown table [a\\nb]"},
    {"raw key with a line feed", "service.name = 'S'\napp.main_class = 'M'\nraw.\"1\\n2\" = 'x'\n", 3,
     "[raw] \"1\\n2\": a key must be a 32-bit decimal number"},
    {"file field with a line feed",
     "service.name = 'S'\napp.main_class = 'M'\n[[files]]\nsource = 'app.jar'\n\"a\\nb\" = 1\n", 5,
     "unknown field \"a\\nb\" in files[1]"},
    {"identity field with a line feed", "service.name = 'S'\napp.main_class = 'M'\nidentity.\"a\\rb\" = 'x'\n", 3,
     "unknown field \"a\\rb\" in [identity]"},
    {"a Windows path in an environment entry", "service.name = 'S'\napp.main_class = 'M'\n"
     "service.environment = [\"APP_HOME=C:\\new\"]\n", 3,
     "service.environment holds the control character U+000A (line feed): \"APP_HOME=C:\\new\"; hint: in "
     "double quotes"},
    {"empty entry of a list whose separator is the line feed",
     "service.name = 'S'\napp.main_class = 'M'\nservice.environment = ['A=1', '']\n", 3,
     "service.environment: the entry \"\" is empty or holds the separator '\\n'"},
    {"files not an array", "service.name = 'S'\napp.main_class = 'M'\n[files]\nsource = 'app.jar'\n", 3,
     "files must be an array of tables"},
    {"file without source", "service.name = 'S'\napp.main_class = 'M'\n[[files]]\nname = 'x'\n", 3,
     "files[1] needs a source"},
    {"missing source file", "service.name = 'S'\napp.main_class = 'M'\n[[files]]\nsource = 'missing.jar'\n", 4,
     "files[1].source: cannot read"},
    {"source is a directory", "service.name = 'S'\napp.main_class = 'M'\n[[files]]\nsource = 'lib'\n", 4,
     "is not a regular file"},
    {"empty source file", "service.name = 'S'\napp.main_class = 'M'\n[[files]]\nsource = 'empty.txt'\n", 4,
     "is empty"},
    {"duplicate names ignoring case", "service.name = 'S'\napp.main_class = 'M'\n"
     "[[files]]\nsource = 'app.jar'\n[[files]]\nsource = 'app.jar'\nname = 'APP.JAR'\n", 5,
     "files[2]: the name \"APP.JAR\" is already used by files[1]"},
    {"directory named like a file", "service.name = 'S'\napp.main_class = 'M'\n"
     "[[files]]\nsource = 'app.jar'\nname = 'lib'\n[[files]]\nsource = 'app.jar'\nname = 'Lib/app.jar'\n", 6,
     "its directory has the name of files[1]"},
    {"a folder deeper down named like a file", "service.name = 'S'\napp.main_class = 'M'\n"
     "[[files]]\nsource = 'app.jar'\nname = 'conf/app'\n[[files]]\nsource = 'app.jar'\nname = 'Conf/App/x.jar'\n", 6,
     "files[2]: its directory has the name of files[1]"},
};

// Names that must not leave the extraction directory or confuse Windows.
const std::string_view kEscapingNames[] = {
    "../evil.jar", "lib/../../evil.jar", "C:\\\\evil.jar", "/etc/evil", "\\\\evil.jar",
    "a/b./c.jar",  "lib/",                "a;b.jar",        "a:b.jar",   "con.txt",
    "lib/NUL",     "trailing.",           "",               "a*b",
};

class ConfigRefusalTest : public ScratchDirectory {
 protected:
  void SetUp() override {
    ScratchDirectory::SetUp();
    write("app.jar", "jar");
    write("empty.txt", "");
    std::filesystem::create_directory(path("lib"));
  }

  void expectRefusal(std::string_view config, unsigned line, std::string_view expected) {
    auto plan = load(config);
    ASSERT_FALSE(plan.ok());
    const std::string& message = plan.error().message;
    const std::string location = line == 0 ? "app.toml: " : "app.toml:" + std::to_string(line) + ":";
    EXPECT_NE(message.find(location), std::string::npos) << message;
    EXPECT_NE(message.find(expected), std::string::npos) << message;
    expectOneProblemPerLine(message);
  }

  // runvo-pack prefixes each line of a message with its name: a value or
  // name that brought its own line break along would leave a line without.
  static void expectOneProblemPerLine(const std::string& message) {
    std::istringstream lines(message);
    for (std::string line; std::getline(lines, line);) {
      EXPECT_TRUE(line.starts_with("app.toml:")) << line;
      EXPECT_FALSE(std::ranges::any_of(line, [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }))
          << line;
    }
  }
};

TEST_F(ConfigRefusalTest, BadConfigsAreRefusedNamingFileAndLine) {
  for (const RefusalCase& testCase : kRefusalCases) {
    SCOPED_TRACE(testCase.what);
    std::string config(testCase.config);
    if (auto long200 = config.find("%200"); long200 != std::string::npos) {
      config.replace(long200, 4, std::string(200, 'v'));
    }
    expectRefusal(config, testCase.line, testCase.expected);
  }
}

TEST_F(ConfigRefusalTest, EmbeddedNamesThatEscapeOrConfuseWindowsAreRefused) {
  for (std::string_view name : kEscapingNames) {
    SCOPED_TRACE(name);
    const std::string config = std::string(kRequiredFields) + "[[files]]\nsource = 'app.jar'\nname = \"" +
                               std::string(name) + "\"\n";
    expectRefusal(config, 5, "cannot use the name");
  }
}

// The service host reads these with its own rules when it starts and when a
// verb runs, and ends on a value it cannot use: refused at build time by
// the same rules, each with the forms it accepts.
struct ServiceSettingCase {
  std::string_view toml;  // added to the required fields, on line 3
  std::string_view problem;  // after "app.toml:3: "
};

const ServiceSettingCase kServiceSettingCases[] = {
    {"service.restart = 'sometimes'",
     R"(service.restart must be "never", "on-failure" or "always", not "sometimes")"},
    {"service.restart = true", R"(service.restart must be "never", "on-failure" or "always", not a boolean)"},
    {"service.restart_delay_seconds = -1",
     "service.restart_delay_seconds: the restart delay must be a number of seconds from 0 on"},
    {"service.restart_delay_max_seconds = 5000000",
     "service.restart_delay_max_seconds: the longest restart delay must be a number of seconds from 0 on"},
    {"service.restart_reset_seconds = -1",
     "service.restart_reset_seconds: the restart reset period must be a number of seconds from 0 on"},
    {"service.restart_limit = -1", "service.restart_limit: the restart limit must be a whole number from 0 on"},
    {"service.ready = 'tcp:0'",
     R"(service.ready: "0" is not a port from 1 to 65535; the accepted forms are "tcp:PORT", )"
     R"("http:http://127.0.0.1:PORT/PATH" or "log:TEXT")"},
    {"service.ready = 'http://127.0.0.1:8080/'",
     R"(service.ready: the URL "//127.0.0.1:8080/" is not an http:// URL (https is not checked: use the plain port))"},
    {"service.ready = 'http:http://example.com/'",
     R"(service.ready: the URL's host "example.com" is not 127.0.0.1, localhost or [::1]: checks stay on this )"
     "machine"},
    {"service.ready = ''",
     R"(service.ready: "" is not one of "tcp:PORT", "http:http://127.0.0.1:PORT/PATH" or "log:TEXT")"},
    {"service.ready = 8080", "service.ready must be a string, not an integer"},
    {"service.alive = 'log:started'",
     R"(service.alive: "log:started" is not one of "tcp:PORT" or "http:http://127.0.0.1:PORT/PATH")"},
    {"service.ready_timeout_seconds = -5",
     "service.ready_timeout_seconds: the readiness timeout must be a number of seconds from 0 on"},
    {"service.alive_interval_seconds = 0",
     "service.alive_interval_seconds: the liveness interval must be at least 1 second"},
    {"service.alive_failures = 0",
     "service.alive_failures: the number of liveness failures must be a whole number from 1 on"},
    {"service.priority = 'realtime'",
     R"(service.priority: priority "realtime" is not "idle", "below_normal", "normal", "above_normal" or "high")"},
    {"service.cpu_affinity = [0, 64]", "service.cpu_affinity must be an array of processor numbers from 0 to 63, not 64"},
    {"service.cpu_affinity = ['0']",
     "service.cpu_affinity must be an array of processor numbers from 0 to 63, not a string"},
    {"service.cpu_affinity = 1", "service.cpu_affinity must be an array of processor numbers from 0 to 63, not an integer"},
    {"service.hook_timeout_seconds = 0", "service.hook_timeout_seconds: the hook timeout must be at least 1 second"},
    {"service.post_stop = ['', '--all']", "service.post_stop: post_stop names no program"},
    {"raw.30016 = 'sometimes'", R"([raw] "30016": restart "sometimes" is not "never", "on-failure" or "always")"},
    // Fields the host read before: such a value used to build an executable
    // whose every verb ended with "The service settings cannot be used".
    {"service.stop_timeout_seconds = -1",
     "service.stop_timeout_seconds: the stop timeout must be a number of seconds from 0 on"},
    {"service.failure_actions = ['restart/soon']",
     "service.failure_actions: the failure action \"restart/soon\" is not one of restart/MILLISECONDS, "
     "reboot/MILLISECONDS or none/0"},
    {R"(service.environment = "APP_HOME=C:\new")",
     "service.environment: the environment entry \"ew\" is not NAME=value; hint: in double quotes TOML reads \\t, "
     "\\b, \\n, \\r and \\f as control characters: use single quotes for Windows paths (TOML literal strings), e.g. "
     "'C:\\java\\jdk17'"},
};

TEST_F(ConfigRefusalTest, ServiceSettingsTheHostCannotUseAreRefusedWithTheAcceptedForms) {
  for (const ServiceSettingCase& testCase : kServiceSettingCases) {
    SCOPED_TRACE(testCase.toml);
    auto plan = load(std::string(kRequiredFields) + std::string(testCase.toml) + "\n");
    EXPECT_EQ(plan ? "<accepted>" : plan.error().message, "app.toml:3: " + std::string(testCase.problem));
  }
}

TEST_F(ConfigRefusalTest, EveryProblemIsReportedInLineOrder) {
  auto plan = load("[service]\nname = 'S'\ncolour = 'red'\n[app]\nmain_class = 1\n[extra]\n");
  ASSERT_FALSE(plan.ok());
  EXPECT_EQ(plan.error().message,
            "app.toml:3: unknown field \"colour\" in [service] (known: name, description, dependencies, log_folder, log_roll_bytes, "
            "log_kept_files, log_roll_daily, log_kept_days, start_watch_seconds, stop_timeout_seconds, preshutdown_seconds, failure_actions, "
            "failure_reset_seconds, failure_on_error_exit, delayed_start, display_name, account, password_variable, "
            "environment, interactive, restart, restart_delay_seconds, restart_delay_max_seconds, "
            "restart_reset_seconds, restart_limit, ready, ready_timeout_seconds, alive, alive_interval_seconds, "
            "alive_failures, priority, cpu_affinity, pre_start, post_stop, hook_timeout_seconds)\n"
            "app.toml:5: app.main_class must be a string, not an integer\n"
            "app.toml:6: unknown table [extra] (known: service, app, output, jvm, launcher, messages, identity, "
            "raw, raw_wide, [[files]])");
}

TEST_F(ConfigRefusalTest, AMissingConfigFileIsNamed) {
  auto plan = loadPackConfig(path("absent.toml"));
  ASSERT_FALSE(plan.ok());
  EXPECT_NE(plan.error().message.find("absent.toml"), std::string::npos) << plan.error().message;
}

}  // namespace
}  // namespace runvo::pack::testing
