// Fake Java homes on disk for the tests, made of the stand-ins that
// tests/fixtures builds: java.exe (and javaw.exe) printing a scripted
// "-version" text, jvm.dll in the wanted variant folders, unpack200.exe with
// pack files, and the marks of a JDK. Each stand-in records its calls in a
// ".runs" file beside itself.
#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace runvo::testing {

struct JavaHomeLayout {
  // What "java -version" prints to standard error, line by line:
  // extraLinesBefore, then `openjdk version "V" 2025-04-15` (or, with
  // openjdkStyle off, `java version "V"`), then two lines about the build.
  std::string version = "17.0.2";
  bool openjdkStyle = true;
  std::vector<std::string> extraLinesBefore;  // e.g. "Picked up JAVA_TOOL_OPTIONS: -Xmx1g"
  // When set, exactly these lines instead of all of the above (none: no output).
  std::optional<std::vector<std::string>> errorOutput;
  int exitCode = 0;
  int delayMs = 0;  // a hang is a long delay

  bool javaw = false;  // javaw.exe beside java.exe
  std::vector<std::string> jvmVariants = {"server"};  // bin\<variant>\jvm.dll each
  bool jvmWithoutCreate = false;  // the jvm.dll that lacks JNI_CreateJavaVM
  // JDK 8 layout: java.exe, javaw.exe and the variants under home\jre\bin.
  bool jreFolder = false;
  bool toolsJar = false;  // home\lib\tools.jar
  bool javac = false;     // home\bin\javac.exe
  // Archive names relative to lib ("rt.jar", "ext\\localedata.jar"): each
  // gets home\lib\<name>.pack, and home\bin\unpack200.exe is added. These
  // are where the launcher prepares a runtime home, also with jreFolder.
  std::vector<std::string> packedArchives;
};

// The folder of the built stand-ins (RUNVO_TEST_FIXTURES).
std::filesystem::path fixtureDirectory();

// Lays out `layout` in `home` (created as needed; files already there are
// replaced) and returns the path of its java.exe. On failure it records a
// test failure and returns an empty path.
std::filesystem::path makeJavaHome(const std::filesystem::path& home, const JavaHomeLayout& layout);

// The calls a stand-in recorded ("<program>.runs"), oldest first: command
// lines of java.exe, javaw.exe and unpack200.exe; for jvm.dll "loaded" and
// the names of the JNI entries called. None if it never ran.
std::vector<std::string> recordedRuns(const std::filesystem::path& program);
// How often a java.exe (or javaw.exe) of a fake home was started.
int probeCount(const std::filesystem::path& javaExe);
// The command lines home\bin\unpack200.exe was started with.
std::vector<std::string> unpackRuns(const std::filesystem::path& home);

// Moves a file's last-write time an hour ahead, so that anything remembered
// about it is stale.
void touch(const std::filesystem::path& file);

}  // namespace runvo::testing
