// Runs the runvo-pack program itself: exit codes, messages, the default stub
// and the default runtime jar.
#include <sstream>

#include "pack_test_support.h"

namespace runvo::pack::testing {
namespace {

class CliTest : public ScratchDirectory {
 protected:
  void SetUp() override {
    ScratchDirectory::SetUp();
    write("stub.exe", makeFakeStub());
    write("runtime.jar", makeFakeJar());
    write("app.toml", std::string(kRequiredFields));
  }

  CommandResult pack(const std::string& arguments) { return runCommand(quoted(RUNVO_PACK_EXE) + " " + arguments); }

  // build with the test's stub and runtime jar
  CommandResult packBuild(const std::string& config, const std::string& stub = "stub.exe") {
    return pack("build " + quoted(path(config)) + " -o " + quoted(path("app.exe")) + " --stub " + quoted(path(stub)) +
                " --runtime-jar " + quoted(path("runtime.jar")));
  }
};

bool everyLineStartsWithTheProgramName(const std::string& output) {
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    if (!line.starts_with("runvo-pack: ")) return false;
  }
  return !output.empty();
}

TEST_F(CliTest, WrongCommandLinesExitWithTwo) {
  for (const std::string arguments :
       {"", "build", "build app.toml", "inspect", "frobnicate", "build --bogus x -o y", "build -o y",
        "build --jar app.jar -o y", "build app.toml --jar app.jar --name n -o y", "build app.toml --lib lib -o y",
        "build app.toml --main-class a.B -o y", "build app.toml --arg x -o y",
        "build --jar app.jar --name n -o y --arg",
        "init", "init app.jar --bogus", "init app.jar --main-class"}) {
    SCOPED_TRACE(arguments);
    const CommandResult result = pack(arguments);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(everyLineStartsWithTheProgramName(result.output)) << result.output;
  }
}

TEST_F(CliTest, AMissingOutputIsNamedWithTheProgramsPrefix) {
  const CommandResult result = pack("build " + quoted(path("app.toml")));
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_EQ(result.output,
            "runvo-pack: --output is required\nrunvo-pack: run with --help for more information\n");
}

TEST_F(CliTest, HelpAndVersionExitWithZero) {
  const CommandResult help = pack("--help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.output.find("inspect"), std::string::npos);
  const CommandResult version = pack("--version");
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_NE(version.output.find("runvo-pack"), std::string::npos);
}

TEST_F(CliTest, BuildThenInspect) {
  const CommandResult build = packBuild("app.toml");
  ASSERT_EQ(build.exitCode, 0) << build.output;
  EXPECT_NE(build.output.find("wrote"), std::string::npos);
  EXPECT_NE(build.output.find(" bytes, 1 embedded file including runvo-runtime.jar)"), std::string::npos) << build.output;

  const CommandResult inspect = pack("inspect " + quoted(path("app.exe")));
  EXPECT_EQ(inspect.exitCode, 0) << inspect.output;
  EXPECT_NE(inspect.output.find("narrow 101 service.name \"Svc\"\n"), std::string::npos) << inspect.output;
  const std::string jarLine = "file 1 " + std::to_string(makeFakeJar().size()) + " \"runvo-runtime.jar\"\n";
  EXPECT_NE(inspect.output.find(jarLine), std::string::npos) << inspect.output;
}

TEST_F(CliTest, FailuresExitWithOneAndSayWhy) {
  write("bad.toml", "service.name = 'S'\n");
  const CommandResult badConfig = packBuild("bad.toml");
  EXPECT_EQ(badConfig.exitCode, 1);
  EXPECT_NE(badConfig.output.find("runvo-pack: " + path("bad.toml").string() + ": missing table [app]"),
            std::string::npos)
      << badConfig.output;
  EXPECT_FALSE(std::filesystem::exists(path("app.exe")));

  write("several.toml",
        "service.name = 'S'\napp.main_class = 'M'\njvm.search = ['jre', 'Sx']\njvm.min_version = 'x'\n");
  const CommandResult severalProblems = packBuild("several.toml");
  EXPECT_EQ(severalProblems.exitCode, 1);
  EXPECT_TRUE(everyLineStartsWithTheProgramName(severalProblems.output)) << severalProblems.output;

  const CommandResult noPayload = pack("inspect " + quoted(path("stub.exe")));
  EXPECT_EQ(noPayload.exitCode, 1);
  EXPECT_NE(noPayload.output.find("carries no payload"), std::string::npos) << noPayload.output;

  const CommandResult missingStub = packBuild("app.toml", "absent.exe");
  EXPECT_EQ(missingStub.exitCode, 1);
  EXPECT_NE(missingStub.output.find("absent.exe"), std::string::npos) << missingStub.output;
}

// Run in the scratch directory, as a user runs it beside the jar.
class QuickCliTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    write("app.jar", makeJar("Main-Class: com.example.Main\nClass-Path: lib/util.jar\n"));
    write("lib/util.jar", "util");
    write("lib/extra.jar", "extra");
  }
  CommandResult packHere(const std::string& arguments, const std::string& directory = ".") {
    const std::string tools = " --stub " + quoted(path("stub.exe")) + " --runtime-jar " + quoted(path("runtime.jar"));
    std::string command = arguments;
    if (command.starts_with("build")) command += tools;
    return runCommand("cd " + quoted(path(directory)) + " && " + quoted(RUNVO_PACK_EXE) + " " + command);
  }
};

TEST_F(QuickCliTest, InitWritesAConfigThatBuildsTheQuickPathsExecutable) {
  const CommandResult quick = packHere("build --jar app.jar --lib lib --name Svc -o quick.exe");
  ASSERT_EQ(quick.exitCode, 0) << quick.output;
  EXPECT_EQ(quick.output, "runvo-pack: wrote \"quick.exe\" (" + std::to_string(read("quick.exe").size()) +
                              " bytes, 4 embedded files including runvo-runtime.jar)\n");

  const CommandResult init = packHere("init app.jar --lib lib --name Svc");
  ASSERT_EQ(init.exitCode, 0) << init.output;
  EXPECT_EQ(init.output, "runvo-pack: wrote \"runvo.toml\"; build it with: runvo-pack build runvo.toml -o OUT.exe\n");
  ASSERT_EQ(packHere("build runvo.toml -o init.exe").exitCode, 0);
  EXPECT_EQ(read("init.exe"), read("quick.exe"));

  // From another directory, into another one: the sources lead back to the jars.
  std::filesystem::create_directories(path("elsewhere/conf"));
  ASSERT_EQ(packHere("init ../app.jar --lib ../lib --name Svc -o conf/svc.toml", "elsewhere").exitCode, 0);
  ASSERT_EQ(packHere("build elsewhere/conf/svc.toml -o other.exe").exitCode, 0);
  EXPECT_EQ(read("other.exe"), read("quick.exe"));
}

TEST_F(QuickCliTest, RefusalsAreSaidWithTheProgramsPrefix) {
  write("plain.jar", makeJar("Manifest-Version: 1.0\n"));
  const CommandResult noMainClass = packHere("build --jar plain.jar --name Svc -o app.exe");
  EXPECT_EQ(noMainClass.exitCode, 1);
  EXPECT_EQ(noMainClass.output,
            "runvo-pack: plain.jar has no Main-Class in META-INF/MANIFEST.MF; name the class whose main method runs "
            "the service with --main-class CLASS\n");
  EXPECT_FALSE(std::filesystem::exists(path("app.exe")));

  const CommandResult initNoMainClass = packHere("init plain.jar");
  EXPECT_EQ(initNoMainClass.exitCode, 0) << initNoMainClass.output;
  EXPECT_NE(initNoMainClass.output.find("plain.jar has no Main-Class in its manifest: set app.main_class in it"),
            std::string::npos)
      << initNoMainClass.output;

  const CommandResult again = packHere("init app.jar");
  EXPECT_EQ(again.exitCode, 1);
  EXPECT_EQ(again.output, "runvo-pack: \"runvo.toml\" exists already, and init does not replace it; remove it, or "
                          "name another file with -o\n");
}

// The words of the brief's example server, one of them with a space and one
// that looks like an option of runvo-pack's own.
constexpr std::string_view kServerOptions =
    "--main-class org.example.Server --arg --port --arg 8080 --arg 'two words' --arg --name";

TEST_F(QuickCliTest, TheMainClassAndArgumentsReachTheExecutableAndTheConfig) {
  write("app.jar", makeJar("Main-Class: org.example.Cli\nClass-Path: lib/util.jar lib/missing.jar\n"));
  const std::string options(kServerOptions);
  const CommandResult quick = packHere("build --jar app.jar --lib lib --name Svc " + options + " -o quick.exe");
  ASSERT_EQ(quick.exitCode, 0) << quick.output;
  const std::string warning =
      "runvo-pack: warning: app.jar's Class-Path entry \"lib/missing.jar\" is left out: there is no "
      "\"lib/missing.jar\", and java -jar runs without it too\n";
  EXPECT_TRUE(quick.output.starts_with(warning)) << quick.output;
  const UnpackedExecutable unpacked = unpackExecutable(read("quick.exe"));
  EXPECT_EQ(unpacked.table.getString(122), "org.example.Server");
  EXPECT_EQ(unpacked.table.getString(124), "--port 8080 \"two words\" --name");

  const CommandResult init = packHere("init app.jar --lib lib --name Svc " + options);
  ASSERT_EQ(init.exitCode, 0) << init.output;
  EXPECT_TRUE(init.output.starts_with(warning)) << init.output;
  ASSERT_EQ(packHere("build runvo.toml -o init.exe").exitCode, 0);
  EXPECT_EQ(read("init.exe"), read("quick.exe"));
}

TEST_F(QuickCliTest, AnUnusableMainClassIsRefusedAndInitWritesNothing) {
  for (const std::string command : {"build --jar app.jar --name Svc -o app.exe", "init app.jar"}) {
    SCOPED_TRACE(command);
    const CommandResult result = packHere(command + " --main-class com/example/Main");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output, "runvo-pack: --main-class \"com/example/Main\" is no class name: it holds '/'; write "
                             "the package with dots, as in com.example.Main\n");
  }
  EXPECT_FALSE(std::filesystem::exists(path("app.exe")));
  EXPECT_FALSE(std::filesystem::exists(path("runvo.toml")));
}

TEST_F(CliTest, HelpNamesTheQuickPathsOptions) {
  for (const std::string command : {"build --help", "init --help"}) {
    SCOPED_TRACE(command);
    const CommandResult help = pack(command);
    EXPECT_EQ(help.exitCode, 0);
    for (std::string_view option : {"--main-class", "--arg"}) {
      EXPECT_NE(help.output.find(option), std::string::npos) << option << "\n" << help.output;
    }
  }
}

TEST_F(CliTest, TheDefaultStubAndRuntimeJarLieBesideTheProgram) {
  const std::filesystem::path copy = path("bin/runvo-pack");
  std::filesystem::create_directories(copy.parent_path());
  std::filesystem::copy_file(RUNVO_PACK_EXE, copy);
  const std::string build = quoted(copy) + " build " + quoted(path("app.toml")) + " -o " + quoted(path("app.exe"));

  // A copy without its companions misses both: each is named at once, with its option.
  const CommandResult withoutEither = runCommand(build);
  EXPECT_EQ(withoutEither.exitCode, 1);
  EXPECT_EQ(withoutEither.output,
            "runvo-pack: the stub \"" + path("bin/runvo.exe").string() +
                "\" is missing: runvo-pack builds on runvo.exe from its own directory; name another one with --stub "
                "PATH\n"
                "runvo-pack: the runtime jar \"" + path("bin/runvo-runtime.jar").string() +
                "\" is missing: runvo-pack embeds runvo-runtime.jar from its own directory; name another one with "
                "--runtime-jar PATH, or set launcher.runtime_jar = false in the config\n"
                "runvo-pack: runvo-pack, runvo.exe and runvo-runtime.jar ship side by side in the build's dist folder: "
                "keep them together\n");

  write("bin/runvo-runtime.jar", makeFakeJar());
  const CommandResult withoutStub = runCommand(build);
  EXPECT_EQ(withoutStub.exitCode, 1);
  EXPECT_NE(withoutStub.output.find("the stub \"" + path("bin/runvo.exe").string() + "\" is missing"),
            std::string::npos)
      << withoutStub.output;
  EXPECT_EQ(withoutStub.output.find("runtime jar"), std::string::npos) << withoutStub.output;

  write("bin/runvo.exe", makeFakeStub());
  const CommandResult withBoth = runCommand(build);
  EXPECT_EQ(withBoth.exitCode, 0) << withBoth.output;
  EXPECT_EQ(unpackExecutable(read("app.exe")).files, std::vector<Bytes>{makeFakeJar()});
}

}  // namespace
}  // namespace runvo::pack::testing
