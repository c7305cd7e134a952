// Creating the VM and calling the runtime launcher class, seen through the
// jvm.dll test double: the options in their order, the class path, the
// argument array, the first-run check and every failure with its exit code.
#include <algorithm>
#include <fstream>

#include "jvm_double_fixture.h"
#include "launcher_fixture.h"
#include "registry_scope.h"

namespace runvo::testing {
namespace {

namespace fs = std::filesystem;
using Payload = PayloadBytes;
using Entries = std::vector<std::pair<std::int32_t, std::string>>;

// The options the VM was created with, "option[i]=" removed.
Lines vmOptions(const Lines& trace) {
  Lines options;
  for (const std::string& line : trace) {
    if (line.rfind("option[", 0) == 0) options.push_back(line.substr(line.find('=') + 1));
  }
  return options;
}

class JvmLaunch : public JvmDoubleTest {
 protected:
  Payload config(Entries extra = {}) {
    Entries entries{{101, "LaunchTest"},
                    {107, "0"},
                    {128, searchEntry()},
                    {122, "com.example.App"},
                    {1006, "File or directory {0} not found or empty"},
                    {1008, "The environment variable {0} has to be defined"},
                    {1009, "An internal error occurred (error code: {0})"},
                    {1010, "Couldn't load main class."},
                    {1011, "Main method not found."}};
    entries.insert(entries.end(), extra.begin(), extra.end());
    return Payload::tables(entries);
  }

  struct ChildRun {
    LauncherRun run;
    Lines log;
    Lines trace;
  };
  ChildRun child(const fs::path& launcher, const std::wstring& arguments = L"",
                 std::map<std::wstring, std::wstring> environment = {}) {
    fs::remove(jvmDir_ / "jvm.dll.trace");
    const fs::path temp = tmp_ / std::to_string(runs_++);
    environment.emplace(L"MANPATH", L"");
    ChildRun r;
    r.run = run(launcher, {.arguments = arguments + (arguments.empty() ? L"" : L" ") + L"__ksx_restart",
                           .log = true,
                           .environment = environment,
                           .temporaryDirectory = temp});
    const auto logs = logFiles(temp);
    if (!logs.empty()) r.log = splitLines(readFile(logs.front()));
    r.trace = trace();
    return r;
  }

  int runs_ = 0;
};

TEST_F(JvmLaunch, ASuccessfulRunCallsTheRuntimeLauncherAndDestroysTheVm) {
  const ChildRun r = child(makeLauncher(config()));
  EXPECT_EQ(r.run.exitCode, 0u) << r.run.err;
  EXPECT_TRUE(has(r.trace, "create version=0x00010002 options=7 ignoreUnrecognized=1")) << joined(r.trace);
  const Lines expectedCalls{"FindClass com/runvo/runtime/WinLauncher",
                            "GetStaticMethodID com/runvo/runtime/WinLauncher main ([Ljava/lang/String;)V",
                            "FindClass java/lang/String", "NewObjectArray 5 java/lang/String",
                            "CallStaticVoidMethod com/runvo/runtime/WinLauncher.main args=5",
                            "ExceptionOccurred -> null", "DestroyJavaVM"};
  Lines calls;
  for (const std::string& line : r.trace) {
    if (std::any_of(expectedCalls.begin(), expectedCalls.end(), [&](const std::string& e) { return e == line; })) {
      calls.push_back(line);
    }
  }
  EXPECT_EQ(calls, expectedCalls) << joined(r.trace);
  EXPECT_EQ(mainArguments(r.trace), (Lines{"false", "com.example.App", "", "", "false"}));
  for (const char* line : {"launching program", "Creating JVM", "JVM created", "main class: com/runvo/runtime/WinLauncher",
                           "param count: 5", "calling main", "main returned", "dest JVM", "launch done"}) {
    EXPECT_TRUE(has(r.log, line)) << line;
  }
}

// advapi32 costs every start its loading; a run up to the VM (extraction
// directory with its DACL, version cache written and then read) takes what it
// needs from kernelbase.
TEST_F(JvmLaunch, ARunUpToTheVmLoadsNoAdvapi32) {
  Payload payload = config({{2002, "1"}, {2003, "lib\\app.jar;"}});
  payload.fileRecord("PK app");
  const fs::path launcher = makeLauncher(payload);
  for (const char* cache : {"cold", "warm"}) {
    const ChildRun r = child(launcher);
    const auto startsWith = [](const Lines& lines, const std::string& prefix) {
      return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
    };
    ASSERT_TRUE(startsWith(r.trace, "create version=")) << cache << joined(r.trace);
    EXPECT_FALSE(has(r.trace, "advapi32.dll is loaded")) << cache;
    EXPECT_TRUE(startsWith(r.log, "Temp dir: ")) << cache << ": no extraction directory";
  }
}

TEST_F(JvmLaunch, PropertyOptionsComeFirstInTheirOrder) {
  const fs::path launcher = makeLauncher(config());
  ChildRun r = child(launcher);
  Lines options = vmOptions(r.trace);
  ASSERT_EQ(options.size(), 7u) << joined(r.trace);
  EXPECT_EQ(options[0], "-Drunvo.isService=true");
  EXPECT_EQ(options[1], "-Drunvo.moduleName=" + launcher.string());
  EXPECT_EQ(options[2], "-Drunvo.tempDir=");
  EXPECT_EQ(options[3], "-Drunvo.unextractedPosition=0");
  EXPECT_EQ(options[4].rfind("-Djava.library.path=", 0), 0u);
  EXPECT_NE(options[4].find(lower((dir_ / "jre" / "bin").string())), std::string::npos) << options[4];
  EXPECT_EQ(options[5].rfind("-Drunvo.consoleCodepage=cp", 0), 0u) << options[5];
  EXPECT_EQ(options[6], "-Djava.class.path=");

  // MANPATH of any value drops the code page; key 10005 names the
  // communication file; the installer flavour says so first.
  const fs::path installer = makeLauncher(config({{2001, "i"}, {10005, "1"}}), "installer.exe");
  r = child(installer, L"", {{L"MANPATH", L"x"}});
  options = vmOptions(r.trace);
  ASSERT_GE(options.size(), 8u) << joined(r.trace);
  EXPECT_EQ(options[0], "-Drunvo.isKestrelix=true");
  EXPECT_EQ(options[1], "-Drunvo.isService=true");
  EXPECT_EQ(options[3].rfind("-Drunvo.processCommFile=" + (tmp_ / "1").string() + "\\rvx_p", 0), 0u) << options[3];
  EXPECT_TRUE(options[3].ends_with(".tmp"));
  EXPECT_TRUE(std::none_of(options.begin(), options.end(),
                           [](const std::string& o) { return o.rfind("-Drunvo.consoleCodepage", 0) == 0; }));
}

TEST_F(JvmLaunch, VmOptionSourcesInTheirOrder) {
  std::ofstream(dir_ / "extra.opts") << "-Dfrom=include\n-classpath/p pre.jar\n";
  std::ofstream(dir_ / "svc.vmoptions") << "# comment\n\n   -Xmx512m   \n-Dx=a b\n\t-Dtab\n-classpath/a x.jar\n"
                                           "-classpath/a y.jar\n-include-options  spaced.opts\n";
  std::ofstream(dir_ / "svc.exe.vmoptions") << "-Dnot=read\n";
  const fs::path launcher =
      makeLauncher(config({{123, "-Xms64m -include-options extra.opts '-Dq=a b' -include-options"}, {125, "1"}}));
  const ChildRun r = child(launcher, L"first -J-Xss2m second");
  const Lines options = vmOptions(r.trace);
  ASSERT_GE(options.size(), 7u) << joined(r.trace);
  const Lines tail(options.begin() + 6, options.end());
  EXPECT_EQ(tail, (Lines{"-Xms64m", "-Dfrom=include", "-Dq=a b", "-include-options", "-Xss2m", "-Xmx512m", "-Dx=a b",
                         "<U+0009>-Dtab length=6", "-Djava.class.path=pre.jar;y.jar"}))
      << joined(r.trace);
  // "-J" arguments after the first are the VM's, not the application's.
  EXPECT_EQ(mainArguments(r.trace), (Lines{"false", "com.example.App", "", "", "false", "first", "second"}));
}

TEST_F(JvmLaunch, AFileThatIncludesItselfStopsAtTheNestingLimit) {
  std::ofstream(dir_ / "svc.vmoptions") << "-Dlevel\n-include-options svc.vmoptions\n";
  const ChildRun r = child(makeLauncher(config()));
  EXPECT_EQ(r.run.exitCode, 0u);
  const Lines options = vmOptions(r.trace);
  EXPECT_EQ(std::count(options.begin(), options.end(), "-Dlevel"), 11);
  EXPECT_TRUE(has(r.log, "not adding vmoptions from <svc.vmoptions>: included more than 10 levels deep"));
}

TEST_F(JvmLaunch, TheClassPath) {
  fs::create_directories(dir_ / "scan");
  std::ofstream(dir_ / "scan" / "s.jar") << "x";
  std::ofstream(dir_ / "a.jar") << "x";
  Payload payload = config({{2002, "3"},
                            {2003, "app.jar;user\\u.zip;notes.txt"},
                            {121, "A1a.jar;A0optional-missing.jar;E0QUOTED;E-already;S1scan"}});
  payload.fileRecord("PK app").fileRecord("PK user").fileRecord("text");
  const fs::path launcher = makeLauncher(payload);
  const ChildRun r = child(launcher, L"", {{L"QUOTED", L"\"C:\\quoted path\\q.jar\""}, {L"already", L"C:\\b.jar;"}});
  ASSERT_EQ(r.run.exitCode, 0u) << r.run.err;
  const Lines options = vmOptions(r.trace);
  std::string tempDir;
  for (const std::string& o : options) {
    if (o.rfind("-Drunvo.tempDir=", 0) == 0) tempDir = o.substr(16);
  }
  ASSERT_FALSE(tempDir.empty());
  // The records are the last bytes of the file: all were read.
  EXPECT_TRUE(has(options, "-Drunvo.unextractedPosition=" + std::to_string(fs::file_size(launcher))));
  const std::string dir = dir_.string();
  EXPECT_EQ(options.back(), "-Djava.class.path=" + tempDir + "\\app.jar;" + tempDir + "\\user\\u.zip;" + dir +
                                "\\a.jar;" + dir + "\\optional-missing.jar;C:\\quoted path\\q.jar;C:\\b.jar;" + dir +
                                "\\scan\\s.jar;");
}

TEST_F(JvmLaunch, RequiredClassPathEntriesThatAreMissingEndTheRun) {
  struct Case {
    const char* entries;
    const char* message;
  };
  int index = 0;
  for (const Case& c : {Case{"A1missing.jar", "File or directory "}, Case{"S1nowhere", "File or directory "},
                        Case{"E1UNDEFINED_CP", "The environment variable UNDEFINED_CP has to be defined"}}) {
    const ChildRun r = child(makeLauncher(config({{121, c.entries}}), "c" + std::to_string(index++) + ".exe"));
    EXPECT_EQ(r.run.exitCode, 1u) << c.entries;
    EXPECT_EQ(r.run.err.rfind(c.message, 0), 0u) << c.entries << ": " << r.run.err;
    EXPECT_FALSE(has(r.trace, "DestroyJavaVM"));
  }
}

TEST_F(JvmLaunch, TheArgumentArray) {
  const fs::path launcher = makeLauncher(
      config({{107, "0"}, {102, "1"}, {103, "logs\\err.txt"}, {104, "1"}, {105, "$OUT"}, {106, "1"},
              {124, "fixed 'two words' ${ARG_VAR}"}}));
  const ChildRun r = child(launcher, L"ServiceName -Jkept \u65e5\u672c\u00e9", {{L"ARG_VAR", L"from-env"}});
  EXPECT_EQ(mainArguments(r.trace),
            (Lines{"false", "com.example.App", dir_.string() + "\\logs\\err.txt", "$OUT", "true", "ServiceName",
                   "fixed", "two words", "from-env", "-Jkept", "\u65e5\u672c\u00e9"}))
      << joined(r.trace);
  EXPECT_TRUE(has(r.log, "param 10: ???") || has(r.log, "param 10: ??\xe9")) << joined(r.log);
}

TEST_F(JvmLaunch, TheFirstRunCheckOfTheInstallerFlavour) {
  struct Case {
    const char* script;
    bool marker;
    bool mainCalled;
    unsigned long exitCode;
    const char* err;
  };
  const Case cases[] = {
      {"", false, true, 0, ""},
      {"first-run: true\n", true, true, 0, ""},
      {"first-run: false\n", true, false, 0, ""},
      {"first-run: throw\n", true, false, 0, nullptr},
      {"missing-class: com/kestrelix/runtime/launcher/FirstRun\n", true, false, 1,
       "An internal error occurred (error code: 14)"},
      {"missing-method: firstRun\n", true, false, 1, "An internal error occurred (error code: 15)"},
  };
  int index = 0;
  for (const Case& c : cases) {
    std::error_code ignored;
    fs::remove_all(dir_ / "app", ignored);
    if (c.marker) {
      fs::create_directories(dir_ / "app" / ".kestrelix");
      std::ofstream(dir_ / "app" / ".kestrelix" / "firstrun") << "";
    }
    script(c.script);
    const ChildRun r =
        child(makeLauncher(config({{2001, "i"}, {10003, "app"}}), "f" + std::to_string(index++) + ".exe"));
    EXPECT_EQ(r.run.exitCode, c.exitCode) << c.script << r.run.err;
    EXPECT_EQ(has(r.trace, "CallStaticVoidMethod com/kestrelix/runtime/launcher/WinLauncher.main args=5"),
              c.mainCalled)
        << c.script << joined(r.trace);
    EXPECT_EQ(has(r.log, "checkFirstRun stopped further execution"), c.exitCode == 0 && !c.mainCalled) << c.script;
    if (c.err != nullptr) {
      EXPECT_EQ(r.run.err.rfind(c.err, 0), 0u) << c.script << r.run.err;
    }
  }
}

TEST_F(JvmLaunch, FailuresAndTheirExitCodes) {
  struct Case {
    const char* script;
    unsigned long exitCode;
    const char* logLine;
    const char* err;
  };
  const Case cases[] = {
      {"create-result: -1\n", 1, "ERROR: could not initialize JVM", ""},
      {"missing-class: com/runvo/runtime/WinLauncher\n", 1, "ERROR: could not find main class", "Couldn't load main class."},
      {"missing-method: main\n", 1, "ERROR: could not find main method", "Main method not found."},
      {"main: throw\n", 1, "ERROR: an exception occured", "Exception in thread \"main\""},
  };
  int index = 0;
  for (const Case& c : cases) {
    script(c.script);
    const ChildRun r = child(makeLauncher(config(), "x" + std::to_string(index++) + ".exe"));
    EXPECT_EQ(r.run.exitCode, c.exitCode) << c.script;
    EXPECT_TRUE(has(r.log, c.logLine)) << c.script << joined(r.log);
    EXPECT_EQ(r.run.err.rfind(c.err, 0), 0u) << c.script << r.run.err;
    EXPECT_FALSE(has(r.trace, "DestroyJavaVM")) << c.script;
  }
  script("");
  EXPECT_TRUE(has(child(makeLauncher(config(), "y.exe")).log, "launch done"));
}

}  // namespace
}  // namespace runvo::testing
