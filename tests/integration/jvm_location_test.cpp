// Finding and loading a Java runtime, seen from the child run: which home each
// search picks, the log lines of each step, the version cache in the
// registry, packed runtimes, and the message for each failure kind.
#include <algorithm>
#include <cctype>
#include <fstream>

#include "java_home.h"
#include "log_lines.h"
#include "launcher_fixture.h"
#include "registry_scope.h"

namespace runvo::testing {
namespace {

namespace fs = std::filesystem;
using Payload = PayloadBytes;
using Entries = std::vector<std::pair<std::int32_t, std::string>>;


class JvmLocation : public LauncherTest {
 protected:
  struct ChildRun {
    LauncherRun run;
    std::vector<std::string> log;
  };

  // A console application's payload with the shipped English messages.
  Payload config(Entries extra) {
    Entries entries{{101, "JvmTest"},
                    {107, "0"},
                    {1005, "The JVM could not be started."},
                    {1009, "An internal error occurred (error code: {0})"},
                    {1016, "No JVM could be found on your system.\nPlease define RUNVO_JAVA_HOME\nto point to an "
                           "installed {0}-bit JDK or JRE or download one."},
                    {1019, "The {0} envionment variable does not\npoint to a working 64-bit JDK or JRE."},
                    {1021, "The JVM found at {0} is damaged."}};
    entries.insert(entries.end(), extra.begin(), extra.end());
    return Payload::tables(entries);
  }

  fs::path home(const std::string& name, const JavaHomeLayout& layout = {}) {
    const fs::path javaExe = makeJavaHome(dir_ / name, layout);
    registry_.removeAtEnd(HKEY_CURRENT_USER, versionCacheKey(javaExe));
    registry_.removeAtEnd(HKEY_CURRENT_USER, versionCacheKey(javaExe.parent_path() / "javaw.exe"));
    return javaExe;
  }

  ChildRun child(const fs::path& launcher, std::map<std::wstring, std::wstring> environment = {},
                 const fs::path& temporaryDirectory = {}) {
    std::error_code ignored;
    const fs::path temp = temporaryDirectory.empty() ? tmp_ / std::to_string(runs_++) : temporaryDirectory;
    environment.emplace(L"RUNVO_JAVA_HOME", L"");
    environment.emplace(L"KESTRELIX_JAVA_HOME", L"");
    ChildRun result;
    result.run = run(launcher, {.arguments = L"__ksx_restart", .log = true, .environment = environment,
                                .temporaryDirectory = temp});
    const auto logs = logFiles(temp);
    EXPECT_EQ(logs.size(), 1u);
    if (!logs.empty()) result.log = splitLines(readFile(logs.front()));
    return result;
  }

  static std::string loadedFrom(const fs::path& javaExe) {
    return "Trying to load JVM-DLL from " + lower(javaExe.string());
  }
  std::string lowerDir() const { return lower(dir_.string()); }

  RegistryScope registry_;
  int runs_ = 0;
};

TEST_F(JvmLocation, ARelativeDirectoryEntryIsTakenAgainstTheLauncherDirectory) {
  const fs::path java = home("jre");
  const ChildRun r = child(makeLauncher(config({{128, "Rjre"}})), {}, {});
  EXPECT_TRUE(inOrder(r.log, {"Searching for a JVM", "Testing location jre (type R)",
                              "checkJavaExe (" + lowerDir() + "\\jre\\bin\\java.exe, [out], , , 1)", "file exists",
                              "Java version: 17.0.2", "got version from execution 17.0.2", "checkJavaExe returning 1",
                              loadedFrom(java), "Trying " + lowerDir() + "\\jre\\bin\\hotspot\\jvm.dll (exists 0)",
                              "Trying " + lowerDir() + "\\jre\\bin\\client\\jvm.dll (exists 0)",
                              "Trying " + lowerDir() + "\\jre\\bin\\server\\jvm.dll (exists 1)",
                              "Loading of JVM-DLL successful"}))
      << joined(r.log);
  EXPECT_EQ(r.run.exitCode, 0u);
  EXPECT_EQ(r.run.err, "");
}

TEST_F(JvmLocation, TheSearchOrder) {
  // Every source holds a usable runtime except where a case says otherwise;
  // the first source that passes wins.
  const fs::path preferred = home("preferred");
  const fs::path entry = home("entry");
  const fs::path installer = home("installer");
  const fs::path fromVariable = home("variable");
  fs::create_directories(dir_ / "app" / ".kestrelix");
  auto locationFile = [&](const char* name, const fs::path& target) {
    std::ofstream(dir_ / "app" / ".kestrelix" / name) << target.parent_path().parent_path().string() << "\r\n";
  };

  locationFile("pref_jre.cfg", preferred);
  locationFile("inst_jre.cfg", installer);
  const auto launcher = makeLauncher(config({{10003, "app"}, {128, "Rentry"}}));
  ChildRun r = child(launcher);
  EXPECT_TRUE(inOrder(r.log, {"Has preferred location " + (dir_ / "preferred").string(), "Using preferred location",
                              loadedFrom(preferred)}))
      << joined(r.log);
  EXPECT_FALSE(has(r.log, "Testing location entry (type R)"));

  fs::remove(dir_ / "app" / ".kestrelix" / "pref_jre.cfg");
  r = child(launcher);
  EXPECT_TRUE(inOrder(r.log, {"Testing location entry (type R)", loadedFrom(entry)})) << joined(r.log);

  const auto withoutEntries = makeLauncher(config({{10003, "app"}, {128, "Rmissing;Q;7x"}}), "b.exe");
  r = child(withoutEntries);
  EXPECT_TRUE(inOrder(r.log, {"Testing location missing (type R)", "Testing location  (type Q)",
                              "Testing location x (type 7)", "Has installer location " + (dir_ / "installer").string(),
                              "Using installer location", loadedFrom(installer)}))
      << joined(r.log);

  fs::remove(dir_ / "app" / ".kestrelix" / "inst_jre.cfg");
  r = child(withoutEntries, {{L"RUNVO_JAVA_HOME", (dir_ / "variable").wstring()}});
  EXPECT_TRUE(inOrder(r.log, {"Testing relative location missing", "Search sequence finished",
                              loadedFrom(fromVariable)}))
      << joined(r.log);
}

TEST_F(JvmLocation, EnvironmentEntriesAndTheJavaHomeVariables) {
  const fs::path java = home("jdk");
  const auto launcher = makeLauncher(config({{128, "EUNSET_HOME_VARIABLE;EMY_JAVA"}}));
  ChildRun r = child(launcher, {{L"MY_JAVA", (dir_ / "jdk").wstring()}});
  EXPECT_TRUE(inOrder(r.log, {"Testing location UNSET_HOME_VARIABLE (type E)", "Testing location MY_JAVA (type E)",
                              loadedFrom(java)}))
      << joined(r.log);

  // Forward slashes in the variable are turned around; KESTRELIX_JAVA_HOME
  // comes after RUNVO_JAVA_HOME.
  std::wstring slashed = (dir_ / "jdk").wstring();
  std::replace(slashed.begin(), slashed.end(), L'\\', L'/');
  const auto none = makeLauncher(config({}), "none.exe");
  r = child(none, {{L"KESTRELIX_JAVA_HOME", slashed}});
  EXPECT_TRUE(inOrder(r.log, {"Search sequence finished", loadedFrom(java)})) << joined(r.log);
}

TEST_F(JvmLocation, TheFallbackPassRetriesDirectoriesWithoutTheVersionCheck) {
  const fs::path old = home("old", {.version = "1.5.0_22"});
  const std::string absolute = (dir_ / "old").string();
  struct Case {
    std::string sequence;
    bool retried;
  };
  const Case cases[] = {
      {"Rold", true},
      {"Aold", true},
      {"B" + absolute, true},
      {"R" + absolute, false},
      {"A\\\\server\\share\\jre", false},
  };
  int index = 0;
  for (const Case& c : cases) {
    const auto launcher = makeLauncher(config({{126, "1.6"}, {128, c.sequence}}), "l" + std::to_string(index++) + ".exe");
    const ChildRun r = child(launcher);
    const std::string location = c.sequence.substr(1);
    EXPECT_EQ(has(r.log, "Testing relative location " + location), c.retried) << c.sequence << joined(r.log);
    EXPECT_EQ(has(r.log, loadedFrom(old)), c.retried && location.find("server") == std::string::npos)
        << c.sequence << joined(r.log);
  }
}

TEST_F(JvmLocation, TheVersionCacheSavesProbes) {
  const fs::path java = home("jre", {.version = "1.8.0_45", .openjdkStyle = false});
  const auto launcher = makeLauncher(config({{128, "Rjre"}}));
  child(launcher);
  ChildRun r = child(launcher);
  EXPECT_TRUE(has(r.log, "got version from registry 1.8.0_45")) << joined(r.log);
  EXPECT_EQ(probeCount(java), 1);
  EXPECT_EQ(readRegistryString(HKEY_CURRENT_USER, versionCacheKey(java), "Version"), "1.8.0_45");
  const auto stamp = readRegistryBinary(HKEY_CURRENT_USER, versionCacheKey(java), "LastWriteTime");
  ASSERT_TRUE(stamp);
  EXPECT_EQ(stamp->size(), 8u);

  touch(java);
  r = child(launcher);
  EXPECT_TRUE(has(r.log, "got version from execution 1.8.0_45")) << joined(r.log);
  EXPECT_EQ(probeCount(java), 2);
}

TEST_F(JvmLocation, ProbesThatFailAreRememberedAsVersionOneZeroZero) {
  const fs::path broken = home("broken", {.exitCode = 3});
  const fs::path silent = home("silent", {.errorOutput = std::vector<std::string>{"garbage"}});
  const auto launcher = makeLauncher(config({{128, "Rbroken;Rsilent"}}));
  ChildRun r = child(launcher);
  EXPECT_TRUE(inOrder(r.log, {"Exit Code 3", "couldn't get version", "Exit Code 0", "couldn't get version"}))
      << joined(r.log);
  EXPECT_EQ(readRegistryString(HKEY_CURRENT_USER, versionCacheKey(broken), "Version"), "1.0.0");
  EXPECT_FALSE(readRegistryString(HKEY_CURRENT_USER, versionCacheKey(silent), "Version"));

  // "1.0.0" is within empty bounds, so the cached broken runtime now passes.
  r = child(launcher);
  EXPECT_TRUE(has(r.log, "got version from registry 1.0.0")) << joined(r.log);
  EXPECT_EQ(probeCount(broken), 1);
}

TEST_F(JvmLocation, AHangingProbeIsEndedAfterItsLimit) {
  const fs::path java = home("hangs", {.delayMs = 60000});
  const fs::path launcher = dir_ / "quick.exe";
  fs::copy_file(fromEnvironment("RUNVO_TEST_QUICK_PROBE_STUB"), launcher);
  {
    const Payload payload = config({{128, "Rhangs"}});
    std::ofstream out(launcher, std::ios::binary | std::ios::app);
    out.write(reinterpret_cast<const char*>(payload.bytes().data()), static_cast<std::streamsize>(payload.size()));
  }
  const ChildRun r = child(launcher);
  EXPECT_TRUE(inOrder(r.log, {"Exit Code 259", "Terminating process", "couldn't get version"})) << joined(r.log);
  EXPECT_FALSE(readRegistryString(HKEY_CURRENT_USER, versionCacheKey(java), "Version"));
}

// The version rules themselves are tested natively (candidate_rules_test);
// here the probe's output reaches them, and a rejection is logged with its reason.
TEST_F(JvmLocation, ARejectedRuntimeIsLoggedWithItsReason) {
  const fs::path java = home("old", {.version = "17.0.2", .extraLinesBefore = {"Picked up JAVA_TOOL_OPTIONS: -Xmx1g"}});
  const ChildRun r = child(makeLauncher(config({{126, "99"}, {128, "R" + (dir_ / "old").string()}})));
  EXPECT_EQ(r.run.exitCode, 1u);
  EXPECT_TRUE(has(r.log, "rejected " + lower(java.string()) + " (search entry R): version 17.0.2 is below the minimum 99"))
      << joined(r.log);
  // A console run lists the candidates on standard error, after the message.
  EXPECT_NE(r.run.err.find("Java runtimes looked at:\r\n  " + lower(java.string()) +
                           " (search entry R): version 17.0.2 is below the minimum 99\r\n"),
            std::string::npos)
      << r.run.err;
}

TEST_F(JvmLocation, PrereleasesFromEnvironmentVariablesNeedKey130) {
  const fs::path java = home("ea", {.version = "1.7.0-ea"});
  for (const auto& [allow, accepted] : {std::pair{"", false}, {"1", true}}) {
    const auto launcher = makeLauncher(config({{128, "EEA_HOME"}, {130, allow}}), std::string("p") + allow + ".exe");
    const ChildRun r = child(launcher, {{L"EA_HOME", (dir_ / "ea").wstring()}});
    EXPECT_EQ(has(r.log, "beta vm not allowed"), !accepted) << joined(r.log);
    EXPECT_EQ(has(r.log, loadedFrom(java)), accepted) << joined(r.log);
  }
}

TEST_F(JvmLocation, TheJdkRequirement) {
  const fs::path jre = home("jre");
  const fs::path jdk8 = home("jdk8", {.jreFolder = true, .toolsJar = true});
  const fs::path jdk17 = home("jdk17", {.javac = true});
  const auto launcher = makeLauncher(config({{131, "1"}, {128, "Rjre;Rjdk8"}}));
  ChildRun r = child(launcher);
  EXPECT_TRUE(has(r.log, loadedFrom(jdk8))) << joined(r.log);
  EXPECT_EQ(probeCount(jre), 0);

  const auto modern = makeLauncher(config({{131, "1"}, {128, "Rjre;Rjdk17"}}), "modern.exe");
  r = child(modern);
  EXPECT_TRUE(has(r.log, loadedFrom(jdk17))) << joined(r.log);
}

TEST_F(JvmLocation, AWindowedApplicationUsesJavaw) {
  const fs::path withJavaw = home("gui", {.javaw = true});
  const fs::path withoutJavaw = home("console");
  const auto launcher = makeLauncher(config({{107, "1"}, {128, "Rconsole;Rgui"}}));
  const ChildRun r = child(launcher);
  EXPECT_TRUE(has(r.log, loadedFrom(withJavaw.parent_path() / "javaw.exe"))) << joined(r.log);
  EXPECT_TRUE(has(r.log, "Trying " + lowerDir() + "\\gui\\bin\\server\\jvm.dll (exists 1)")) << joined(r.log);
  EXPECT_EQ(probeCount(withoutJavaw), 1);
}

TEST_F(JvmLocation, JvmVariantsAndTheJdksPrivateRuntime) {
  home("preferred", {.jvmVariants = {"client", "custom"}});
  ChildRun r = child(makeLauncher(config({{152, "custom"}, {128, "Rpreferred"}})));
  EXPECT_TRUE(inOrder(r.log, {"Trying " + lowerDir() + "\\preferred\\bin\\custom\\jvm.dll (exists 1)",
                              "Loading of JVM-DLL successful"}))
      << joined(r.log);
  EXPECT_FALSE(has(r.log, "Trying " + lowerDir() + "\\preferred\\bin\\hotspot\\jvm.dll (exists 0)"));

  // A JDK found on PATH whose own bin has no JVM: its private runtime's is
  // loaded, and PATH keeps that runtime's bin directory.
  home("jdk", {.jvmVariants = {}});
  makeJavaHome(dir_ / "jdk" / "jre", {.jvmVariants = {"client"}});
  const std::wstring path = (dir_ / "jdk" / "bin").wstring() + L";C:\\windows\\system32;C:\\windows";
  r = child(makeLauncher(config({{128, "S"}}), "jdk.exe"), {{L"PATH", path}});
  const std::string privateBin = lowerDir() + "\\jdk\\bin\\..\\jre\\bin";
  EXPECT_TRUE(inOrder(r.log, {"Testing location  (type S)",
                              "Trying " + lowerDir() + "\\jdk\\bin\\jrockit\\jvm.dll (exists 0)",
                              "Trying " + privateBin + "\\client\\jvm.dll (exists 1)",
                              "Loading of JVM-DLL successful"}))
      << joined(r.log);
  EXPECT_TRUE(has(r.log, "Setting PATH " + std::string(path.begin(), path.end()) + ";" + privateBin)) << joined(r.log);
}

TEST_F(JvmLocation, EachFailureKindShowsItsOneMessage) {
  home("damaged", {.jvmVariants = {}});
  home("nocreate", {.jvmWithoutCreate = true});
  struct Case {
    std::string sequence;
    std::map<std::wstring, std::wstring> environment;
    std::string message;
    std::string notes;  // what follows the message on standard error
  };
  const Case cases[] = {
      {"", {}, "No JVM could be found on your system.\r\nPlease define RUNVO_JAVA_HOME\r\nto point to an installed "
               "64-bit JDK or JRE or download one.", "No Java runtime was found where the search looked.\r\n"},
      {"Rdamaged", {}, "The JVM found at damaged is damaged."},
      {"Rnocreate", {}, "The JVM found at nocreate is damaged."},
      {"EBROKEN_JAVA", {{L"BROKEN_JAVA", (dir_ / "damaged").wstring()}},
       "The BROKEN_JAVA envionment variable does not\r\npoint to a working 64-bit JDK or JRE."},
  };
  int index = 0;
  for (const Case& c : cases) {
    const ChildRun r = child(makeLauncher(config({{128, c.sequence}}), "f" + std::to_string(index++) + ".exe"),
                             c.environment);
    EXPECT_EQ(r.run.exitCode, 1u) << c.sequence;
    const auto logs = logFiles(tmp_ / std::to_string(runs_ - 1));
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(r.run.err, c.message + "\r\n\r\nLog: " + logs[0].string() + "\r\n" + c.notes) << c.sequence;
  }
}

TEST_F(JvmLocation, PackedRuntimesAreUnpackedBeforeTheyAreTested) {
  const std::vector<std::string> packed{"rt.jar", "charsets.jar", "ext\\localedata.jar", "jsse.jar"};
  const fs::path java = home("packed", {.packedArchives = packed});
  const auto launcher = makeLauncher(config({{126, "99"}, {128, "R" + (dir_ / "packed").string()}}));
  ChildRun r = child(launcher);
  EXPECT_EQ(r.run.out, "Preparing JRE ...\r\n");
  const std::string lib = lowerDir() + "\\packed\\lib\\";
  EXPECT_TRUE(inOrder(r.log, {"Unpacking JRE", "-r \"" + lib + "rt.jar.pack\" \"" + lib + "rt.jar\"",
                              "-r \"" + lib + "charsets.jar.pack\" \"" + lib + "charsets.jar\"",
                              "pack path doesn't exists", "pack path doesn't exists",
                              "-r \"" + lib + "ext\\localedata.jar.pack\" \"" + lib + "ext\\localedata.jar\"",
                              "-r \"" + lib + "jsse.jar.pack\" \"" + lib + "jsse.jar\"", "Unpacking JRE done"}))
      << joined(r.log);
  // Rejected by its version, the runtime was prepared all the same, once.
  EXPECT_FALSE(has(r.log, loadedFrom(java)));
  EXPECT_EQ(unpackRuns(dir_ / "packed").size(), 4u);
  EXPECT_TRUE(fs::exists(dir_ / "packed" / "lib" / "jsse.jar"));

  r = child(launcher);
  EXPECT_EQ(r.run.out, "");
  EXPECT_EQ(unpackRuns(dir_ / "packed").size(), 4u);
}

TEST_F(JvmLocation, AMissingUnpackerIsFatal) {
  home("packed", {.packedArchives = {"rt.jar"}});
  fs::remove(dir_ / "packed" / "bin" / "unpack200.exe");
  const ChildRun r = child(makeLauncher(config({{128, "Rpacked"}})));
  EXPECT_EQ(r.run.exitCode, 1u);
  EXPECT_TRUE(has(r.log, "could not create unpack process")) << joined(r.log);
  EXPECT_NE(r.run.err.find("An internal error occurred (error code: 20)"), std::string::npos) << r.run.err;
}

TEST_F(JvmLocation, VariablesExpandInSearchEntries) {
  const fs::path java = home("jre");
  const auto launcher = makeLauncher(config({{128, "R%RUNVO_EXEDIR%jre"}}));
  ChildRun r = child(launcher);
  EXPECT_TRUE(has(r.log, "Testing location " + dir_.string() + "\\jre (type R)")) << joined(r.log);
  EXPECT_TRUE(has(r.log, "expanding %RUNVO_EXEDIR% to " + dir_.string() + "\\ in " + dir_.string() + "\\jre."))
      << joined(r.log);
  EXPECT_TRUE(has(r.log, loadedFrom(java)));

  // Environment variables by their own name and in upper case; unknown ones stay.
  const auto fromEnvironment = makeLauncher(config({{128, "R${Java_Dir}\\${UNKNOWN_PART};R${JAVA_DIR}"}}), "env.exe");
  r = child(fromEnvironment, {{L"Java_Dir", dir_.wstring() + L"\\jre"}});
  EXPECT_TRUE(inOrder(r.log, {"Testing location " + dir_.string() + "\\jre\\${UNKNOWN_PART} (type R)",
                              "Testing location " + dir_.string() + "\\jre (type R)", loadedFrom(java)}))
      << joined(r.log);
}

TEST_F(JvmLocation, ATempPathTheCodePageCannotWriteFallsBack) {
  home("jre");
  const fs::path unwritable = tmp_ / u8"\u65e5\u672c";
  fs::create_directories(unwritable);
  const auto launcher = makeLauncher(config({{128, "Rjre"}}));
  // The log cannot live there either; it goes to drive C.
  const auto before = logFiles("C:\\");
  run(launcher, {.arguments = L"__ksx_restart", .log = true, .temporaryDirectory = unwritable});
  auto logs = logFiles("C:\\");
  std::erase_if(logs, [&](const fs::path& log) { return std::find(before.begin(), before.end(), log) != before.end(); });
  ASSERT_EQ(logs.size(), 1u);
  const auto lines = splitLines(readFile(logs[0]));
  fs::remove(logs[0]);
  EXPECT_TRUE(inOrder(lines, {"make dir returned -1", "tempPath is C:\\windows\\temp", "Loading of JVM-DLL successful"}))
      << joined(lines);
}

class JvmRegistry : public JvmLocation {
 protected:
  static constexpr char kJre[] = "SOFTWARE\\JavaSoft\\Java Runtime Environment";
  static constexpr char kJdk[] = "SOFTWARE\\JavaSoft\\Java Development Kit";
  static constexpr char kLocated[] = "SOFTWARE\\tallowmere-soft\\runvo\\locatedjvms";

  void SetUp() override {
    JvmLocation::SetUp();
    // These keys belong to the tests' own Wine prefix; start from none.
    for (const char* key : {kJre, kJdk, "SOFTWARE\\JavaSoft\\JDK", "SOFTWARE\\JavaSoft\\JRE"}) {
      RegDeleteTreeA(HKEY_LOCAL_MACHINE, key);
      registry_.removeAtEnd(HKEY_LOCAL_MACHINE, key);
    }
    for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
      RegDeleteTreeA(hive, kLocated);
      registry_.removeAtEnd(hive, kLocated);
    }
  }
  void javaSoft(const char* key, const std::string& version, const fs::path& javaExe) {
    registry_.setString(HKEY_LOCAL_MACHINE, std::string(key) + "\\" + version, "JavaHome",
                        javaExe.parent_path().parent_path().string());
  }
  void located(HKEY hive, const fs::path& javaExe) {
    std::string name = javaExe.string();
    std::replace(name.begin(), name.end(), '\\', '/');
    registry_.createKey(hive, std::string(kLocated) + "\\" + name);
  }
};

TEST_F(JvmRegistry, TheCurrentVersionOfTheJavaSoftKeys) {
  const fs::path jre = home("jre6", {.version = "1.6.0_21"});
  javaSoft(kJre, "1.6.0_21", jre);
  registry_.setString(HKEY_LOCAL_MACHINE, kJre, "CurrentVersion", "1.6.0_21");
  const ChildRun r = child(makeLauncher(config({{126, "1.5"}, {128, "Y"}})));
  EXPECT_TRUE(inOrder(r.log, {"Testing location  (type Y)", "found sun " + lower(jre.string()) + " 1.6.0_21",
                              loadedFrom(jre)}))
      << joined(r.log);
}

TEST_F(JvmRegistry, SubkeysAreTriedFromTheHighestVersion) {
  const fs::path low = home("low", {.version = "1.6.0_5"});
  const fs::path high = home("high", {.version = "1.6.0_21"});
  javaSoft(kJre, "1.6.0_5", low);
  javaSoft(kJre, "1.6.0_21", high);
  javaSoft(kJre, "1.5", low);
  const ChildRun r = child(makeLauncher(config({{126, "1.6"}, {128, "Y"}})));
  EXPECT_TRUE(has(r.log, loadedFrom(high))) << joined(r.log);
  EXPECT_EQ(probeCount(low), 0);
}

TEST_F(JvmRegistry, WithAJdkRequiredOnlyTheJdkKeyCounts) {
  const fs::path jre = home("jre", {.version = "17.0.9"});
  const fs::path jdk = home("jdk", {.version = "17.0.2", .javac = true});
  javaSoft(kJre, "17.0.9", jre);
  javaSoft(kJdk, "17.0.2", jdk);
  const ChildRun r = child(makeLauncher(config({{131, "1"}, {128, "Y"}})));
  EXPECT_TRUE(has(r.log, loadedFrom(jdk))) << joined(r.log);
  EXPECT_EQ(probeCount(jre), 0);
}

TEST_F(JvmRegistry, ModernInstallerKeysAreSearchedToo) {
  const fs::path jdk = home("jdk21", {.version = "21.0.1"});
  javaSoft("SOFTWARE\\JavaSoft\\JDK", "21.0.1", jdk);
  const ChildRun r = child(makeLauncher(config({{128, "Y"}})));
  EXPECT_TRUE(has(r.log, loadedFrom(jdk))) << joined(r.log);
}

TEST_F(JvmRegistry, LocatedRuntimesAgainstJavaSoft) {
  const fs::path sun = home("sun", {.version = "1.6.0_21"});
  const fs::path loc = home("located", {.version = "1.6.0_30"});
  javaSoft(kJre, "1.6.0_21", sun);
  located(HKEY_CURRENT_USER, loc);
  ChildRun r = child(makeLauncher(config({{128, "Y"}})));
  EXPECT_TRUE(inOrder(r.log, {"found sun " + lower(sun.string()) + " 1.6.0_21",
                              "found located " + lower(loc.string()) + " 1.6.0_30", loadedFrom(loc)}))
      << joined(r.log);

  // Equal versions go to the located runtime.
  const fs::path same = home("same", {.version = "1.6.0_21"});
  RegDeleteTreeA(HKEY_CURRENT_USER, kLocated);
  located(HKEY_LOCAL_MACHINE, same);
  r = child(makeLauncher(config({{128, "Y"}}), "same.exe"));
  EXPECT_TRUE(has(r.log, loadedFrom(same))) << joined(r.log);
}

TEST_F(JvmRegistry, ARegistryRuntimeThatDoesNotLoadShowsTheStartMessage) {
  const fs::path java = home("damaged", {.jvmVariants = {}});
  located(HKEY_CURRENT_USER, java);
  const ChildRun r = child(makeLauncher(config({{128, "Y"}})));
  EXPECT_TRUE(has(r.log, "ERROR: Could not get DLL-Handle.")) << joined(r.log);
  EXPECT_EQ(r.run.err.rfind("The JVM could not be started.\r\n\r\nLog: ", 0), 0u) << r.run.err;
}

TEST_F(JvmRegistry, PreviousInstallations) {
  const fs::path java = home("second\\jre");
  const std::string installations = (dir_ / "first").string() + ";" + (dir_ / "second").string();
  registry_.setString(HKEY_LOCAL_MACHINE, "SOFTWARE\\tallowmere-soft\\kestrelix\\installations", "app-id",
                      installations);
  ChildRun r = child(makeLauncher(config({{160, "app-id"}})));
  EXPECT_TRUE(inOrder(r.log, {"found installations: " + installations,
                              "found JRE from previous installation (machine) " + lower(java.string()),
                              loadedFrom(java)}))
      << joined(r.log);

  r = child(makeLauncher(config({}), "noid.exe"));
  EXPECT_FALSE(has(r.log, "found installations: " + installations)) << joined(r.log);
}

// The keys the installers of other JDK builds write, each in its real layout.
TEST_F(JvmRegistry, VendorKeysInTheirOwnLayouts) {
  struct Case {
    const char* vendor;
    std::string key;  // below HKLM
    const char* value;
  };
  const Case cases[] = {
      {"Eclipse Adoptium", "SOFTWARE\\Eclipse Adoptium\\JDK\\17.0.9.9\\hotspot\\MSI", "Path"},
      {"Eclipse Adoptium JRE", "SOFTWARE\\Eclipse Adoptium\\JRE\\17.0.9.9\\hotspot\\MSI", "Path"},
      {"Microsoft", "SOFTWARE\\Microsoft\\JDK\\17.0.9.8\\hotspot\\MSI", "Path"},
      {"Azul Zulu", "SOFTWARE\\Azul Systems\\Zulu\\zulu-17", "InstallationPath"},
      {"IBM Semeru", "SOFTWARE\\Semeru\\JDK\\17.0.9.9\\openj9\\MSI", "Path"},
      {"BellSoft Liberica", "SOFTWARE\\BellSoft\\Liberica\\Liberica JDK 17", "InstallationPath"},
      {"Amazon Corretto", "SOFTWARE\\Amazon Corretto\\17", "InstallationPath"},
  };
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.vendor);
    const std::string root = c.key.substr(0, c.key.find('\\', 9));
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, root.c_str());
    const std::string name = "v" + std::to_string(index++);
    const fs::path java = home(name, {.version = "17.0.9"});
    // Installers write the folder with a trailing backslash.
    registry_.setString(HKEY_LOCAL_MACHINE, c.key, c.value, java.parent_path().parent_path().string() + "\\");
    registry_.removeAtEnd(HKEY_LOCAL_MACHINE, root);
    const ChildRun r = child(makeLauncher(config({{126, "17"}, {128, "Y"}}), name + ".exe"));
    EXPECT_TRUE(has(r.log, "found vendor " + lower(java.string()) + " 17.0.9")) << joined(r.log);
    EXPECT_TRUE(has(r.log, loadedFrom(java))) << joined(r.log);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, root.c_str());
  }
}

TEST_F(JvmRegistry, VendorRuntimesFollowTheVersionRulesAndTheHighestWins) {
  const fs::path old = home("temurin11", {.version = "11.0.21"});
  const fs::path newer = home("zulu21", {.version = "21.0.1"});
  const fs::path javaSoftHome = home("javasoft17", {.version = "17.0.2"});
  registry_.setString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Eclipse Adoptium\\JDK\\11.0.21.9\\hotspot\\MSI", "Path",
                      old.parent_path().parent_path().string());
  registry_.setString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Azul Systems\\Zulu\\zulu-21", "InstallationPath",
                      newer.parent_path().parent_path().string());
  javaSoft("SOFTWARE\\JavaSoft\\JDK", "17.0.2", javaSoftHome);
  for (const char* root : {"SOFTWARE\\Eclipse Adoptium", "SOFTWARE\\Azul Systems"}) {
    registry_.removeAtEnd(HKEY_LOCAL_MACHINE, root);
  }
  // The highest version of all sources.
  ChildRun r = child(makeLauncher(config({{128, "Y"}}), "all.exe"));
  EXPECT_TRUE(has(r.log, loadedFrom(newer))) << joined(r.log);
  // A maximum leaves the newer vendor runtime out, with its reason.
  r = child(makeLauncher(config({{127, "17"}, {128, "Y"}}), "max17.exe"));
  EXPECT_TRUE(has(r.log, loadedFrom(javaSoftHome))) << joined(r.log);
  // The version cache serves vendor runtimes too: the second run probes nothing new.
  const int probes = probeCount(newer);
  child(makeLauncher(config({{128, "Y"}}), "again.exe"));
  EXPECT_EQ(probeCount(newer), probes);
  // Nothing in range: every vendor candidate is listed with its reason.
  r = child(makeLauncher(config({{126, "25"}, {128, "Y"}}), "min25.exe"));
  EXPECT_TRUE(has(r.log, "rejected " + lower(newer.string()) +
                             " (SOFTWARE\\Azul Systems\\Zulu): version 21.0.1 is below the minimum 25"))
      << joined(r.log);
}

}  // namespace
}  // namespace runvo::testing
