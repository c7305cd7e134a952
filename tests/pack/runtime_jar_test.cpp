// The runtime jar that every build embeds after the config's files, unless
// the config turns it off.
#include <optional>

#include "pack/build/builder.h"
#include "pack_test_support.h"

namespace runvo::pack::testing {
namespace {

class RuntimeJarTest : public ScratchDirectory {
 protected:
  void SetUp() override {
    ScratchDirectory::SetUp();
    write("stub.exe", makeFakeStub());
    write("runtime.jar", kJar);
    write("app.jar", kAppJar);
    write("readme.txt", kReadme);
  }

  // Builds the required fields plus `fields` into app.exe with the jar named by `runtimeJar`.
  Expected<BuildSummary> build(std::string_view fields, std::optional<std::string_view> runtimeJar = "runtime.jar") {
    BuildRequest request{write("app.toml", std::string(kRequiredFields) + std::string(fields)), path("app.exe"),
                         path("stub.exe"), false};
    if (runtimeJar) request.runtimeJar = path(*runtimeJar);
    return buildExecutable(request);
  }

  const Bytes kJar = makeFakeJar("the runtime");
  const Bytes kAppJar = makeFakeJar("the application");
  const Bytes kReadme = {'h', 'i', '\n'};
};

struct EmbeddingCase {
  std::string_view what;
  std::string_view fields;
  bool withTheTwoFiles;  // app.jar and readme.txt come first
  std::string_view names;
};

constexpr std::string_view kTwoFiles = "[[files]]\nsource = 'app.jar'\nname = 'lib/app.jar'\n[[files]]\nsource = 'readme.txt'\n";

const EmbeddingCase kEmbeddingCases[] = {
    {"after the config's files", kTwoFiles, true, "lib\\app.jar;readme.txt;runvo-runtime.jar"},
    {"the installer flavour embeds the same jar", "launcher.flavour = 'installer'\n", false, "runvo-runtime.jar"},
    {"alone when the config has no files", "", false, "runvo-runtime.jar"},
    {"asked for explicitly", "launcher.runtime_jar = true\n", false, "runvo-runtime.jar"},
};

TEST_F(RuntimeJarTest, IsTheLastFileAndTheOthersKeepTheirPlaces) {
  for (const EmbeddingCase& testCase : kEmbeddingCases) {
    SCOPED_TRACE(testCase.what);
    auto summary = build(testCase.fields);
    ASSERT_TRUE(summary.ok()) << summary.error().message;
    EXPECT_TRUE(summary->embedsRuntimeJar);

    const std::vector<Bytes> expected =
        testCase.withTheTwoFiles ? std::vector<Bytes>{kAppJar, kReadme, kJar} : std::vector<Bytes>{kJar};
    const UnpackedExecutable unpacked = unpackExecutable(read("app.exe"));
    EXPECT_EQ(unpacked.files, expected);
    EXPECT_EQ(summary->fileCount, expected.size());
    EXPECT_EQ(unpacked.table.narrow().at(2002), std::to_string(expected.size()));
    EXPECT_EQ(unpacked.table.narrow().at(2003), testCase.names);
  }
}

TEST_F(RuntimeJarTest, TurnedOffInTheConfigNoJarIsReadOrAdded) {
  // Config wins over --runtime-jar: the option may be passed to every build of a script.
  auto summary = build("launcher.runtime_jar = false\n" + std::string(kTwoFiles), "absent.jar");
  ASSERT_TRUE(summary.ok()) << summary.error().message;
  EXPECT_FALSE(summary->embedsRuntimeJar);
  const UnpackedExecutable unpacked = unpackExecutable(read("app.exe"));
  EXPECT_EQ(unpacked.table.narrow().at(2003), "lib\\app.jar;readme.txt");
  EXPECT_EQ(unpacked.files, (std::vector<Bytes>{kAppJar, kReadme}));

  ASSERT_TRUE(build("launcher.runtime_jar = false\n", "absent.jar").ok());
  EXPECT_FALSE(unpackExecutable(read("app.exe")).table.narrow().contains(2002));
}

TEST_F(RuntimeJarTest, WithTheJarTurnedOffItsNameIsFree) {
  const std::string ownJar = "[[files]]\nsource = 'app.jar'\nname = 'runvo-runtime.jar'\n";
  ASSERT_TRUE(build("launcher.runtime_jar = false\n" + ownJar, std::nullopt).ok());
  EXPECT_EQ(unpackExecutable(read("app.exe")).files, std::vector<Bytes>{kAppJar});

  // The file keys belong to the builder with or without files: a count
  // that disagrees with the records would fail every start.
  EXPECT_FALSE(build("raw.2002 = '0'\n").ok());
  EXPECT_FALSE(build("launcher.runtime_jar = false\nraw.2002 = '1'\n").ok());
}

struct JarRefusalCase {
  std::string_view what;
  std::optional<std::string_view> runtimeJar;  // nothing: the default beside the test program
  std::string_view expected;
};

const JarRefusalCase kJarRefusalCases[] = {
    {"named and missing", "absent.jar", "cannot load the runtime jar: cannot read \""},
    {"not a zip file", "readme.txt", "the runtime jar \"%/readme.txt\" is not a jar"},
    {"empty", "empty.jar", "is not a jar"},
    {"a directory", "lib", "cannot load the runtime jar: \"%/lib\" is not a regular file"},
    {"missing from beside runvo-pack", std::nullopt,
     "/runvo-runtime.jar\" is missing: runvo-pack embeds runvo-runtime.jar from its own directory; name another "
     "one with --runtime-jar PATH, or set launcher.runtime_jar = false in the config"},
};

TEST_F(RuntimeJarTest, AJarThatCannotBeEmbeddedIsRefusedAndNothingIsWritten) {
  write("empty.jar", "");
  std::filesystem::create_directory(path("lib"));
  for (const JarRefusalCase& testCase : kJarRefusalCases) {
    SCOPED_TRACE(testCase.what);
    auto refused = build("", testCase.runtimeJar);
    ASSERT_FALSE(refused.ok());
    std::string expected(testCase.expected);
    if (auto at = expected.find('%'); at != std::string::npos) expected.replace(at, 1, root_.string());
    EXPECT_NE(refused.error().message.find(expected), std::string::npos) << refused.error().message;
    EXPECT_FALSE(std::filesystem::exists(path("app.exe")));
  }
}

struct NameClashCase {
  std::string_view what;
  std::string_view fields;
  unsigned line;
  std::string_view expected;
};

const NameClashCase kNameClashCases[] = {
    {"a file named like the jar, in any case", "[[files]]\nsource = 'app.jar'\nname = 'Runvo-Runtime.JAR'\n", 3,
     "files[1]: the name \"Runvo-Runtime.JAR\" is taken by the runtime jar that runvo-pack embeds"},
    {"a directory named like the jar", "[[files]]\nsource = 'readme.txt'\n[[files]]\nsource = 'app.jar'\n"
     "name = 'runvo-runtime.jar/app.jar'\n", 5, "files[2]: the name \"runvo-runtime.jar\\app.jar\" is taken"},
    {"the file keys set by raw", "raw.2003 = 'x'\n", 3,
     "[raw] \"2003\" sets key 2003, which the runtime jar (launcher.runtime_jar) already sets"},
    {"the switch not a boolean", "\nlauncher.runtime_jar = 'no'\n", 4,
     "launcher.runtime_jar must be a boolean (true or false), not a string"},
    {"an unknown launcher field names the switch", "launcher.runtime = false\n", 3,
     "unknown field \"runtime\" in [launcher] (known: flavour, runtime_jar)"},
};

TEST_F(RuntimeJarTest, ConfigsThatLeaveNoRoomForTheJarAreRefusedAtTheirLine) {
  for (const NameClashCase& testCase : kNameClashCases) {
    SCOPED_TRACE(testCase.what);
    auto plan = load(std::string(kRequiredFields) + std::string(testCase.fields));
    ASSERT_FALSE(plan.ok());
    const std::string expected = "app.toml:" + std::to_string(testCase.line) + ": " + std::string(testCase.expected);
    EXPECT_NE(plan.error().message.find(expected), std::string::npos) << plan.error().message;
  }
}

TEST_F(RuntimeJarTest, TheNameListMustHaveRoomForTheJar) {
  // Fits the launcher's buffer alone, but not with ";runvo-runtime.jar" after it.
  const std::string longName(kTextCapacity - 10, 'n');
  const std::string fields = "[[files]]\nsource = 'app.jar'\nname = '" + longName + "'\n";
  ASSERT_TRUE(load(std::string(kRequiredFields) + "launcher.runtime_jar = false\n" + fields).ok());
  auto plan = load(std::string(kRequiredFields) + fields);
  ASSERT_FALSE(plan.ok());
  EXPECT_NE(plan.error().message.find("app.toml:3: the embedded file names and the runtime jar's name take 8200 "
                                      "bytes together; the launcher reads at most 8191"),
            std::string::npos)
      << plan.error().message;
}

}  // namespace
}  // namespace runvo::pack::testing
