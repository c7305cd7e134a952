// Packing a jar without a config: the manifest's main class and Class-Path,
// the library folder, the main class and arguments of the command line, and
// the config `init` writes for the same jar.
#include "pack/config/quick_pack.h"

#include <fstream>
#include <optional>

#include "pack/common/file_io.h"
#include "pack/jar/jar_manifest.h"
#include "pack_test_support.h"
#include "util/command_line.h"

namespace runvo::pack::testing {
namespace {

struct ManifestCase {
  std::string_view what;
  std::string_view text;
  std::string_view mainClass;
  std::vector<std::string> classPath;
};

const ManifestCase kManifestCases[] = {
    {"LF lines", "Manifest-Version: 1.0\nMain-Class: a.B\n", "a.B", {}},
    {"CR LF lines", "Main-Class: a.B\r\nClass-Path: lib/x.jar  y.jar\r\n\r\n", "a.B", {"lib/x.jar", "y.jar"}},
    {"CR lines", "Main-Class: a.B\rClass-Path: x.jar\r", "a.B", {"x.jar"}},
    {"continuation lines, wrapped inside a word as the jar tool wraps at 72 bytes",
     "Main-Class: com.exa\n mple.Main\nClass-Path: a.jar b\n .jar\n",
     "com.example.Main",
     {"a.jar", "b.jar"}},
    {"names in any case", "main-class: a.B\nCLASS-PATH: x.jar\n", "a.B", {"x.jar"}},
    {"slashes, which java -jar takes too", "Main-Class: com/example/Main\n", "com.example.Main", {}},
    {"spaces around the class", "Main-Class:  a.B  \n", "a.B", {}},
    {"entries split at tabs too", "Class-Path: a.jar\tb.jar\nMain-Class: a.B\n", "a.B", {"a.jar", "b.jar"}},
    {"the main section ends at the first empty line", "Manifest-Version: 1.0\n\nName: x\nMain-Class: a.B\n", "", {}},
    {"a last line without its line break", "Manifest-Version: 1.0\nMain-Class: a.B", "a.B", {}},
    {"no Main-Class", "Manifest-Version: 1.0\n", "", {}},
};

TEST(JarManifest, TheMainSectionIsReadAsJavaReadsIt) {
  for (const ManifestCase& testCase : kManifestCases) {
    SCOPED_TRACE(testCase.what);
    auto manifest = parseManifest(testCase.text);
    ASSERT_TRUE(manifest.ok()) << manifest.error().message;
    EXPECT_EQ(manifest->mainClass, testCase.mainClass);
    EXPECT_EQ(manifest->classPath, testCase.classPath);
  }
}

TEST(JarManifest, LinesJavaRefusesAreRefused) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"Manifest-Version: 1.0\nMain-Class:a.B\n", "line 2 is not \"Name: value\""},
      {": a.B\n", "line 1 is not \"Name: value\""},
      {" a.B\nMain-Class: a.B\n", "line 1 continues no header"},
  };
  for (const auto& [text, expected] : cases) {
    auto manifest = parseManifest(text);
    ASSERT_FALSE(manifest.ok()) << text;
    EXPECT_EQ(manifest.error().message, expected);
  }
}

TEST(JarManifest, AJarWithoutManifestHasNone) {
  auto manifest = readJarManifest(makeZip({{"a/B.class", "class", true}}));
  ASSERT_TRUE(manifest.ok()) << manifest.error().message;
  EXPECT_FALSE(manifest->present);
  EXPECT_TRUE(manifest->mainClass.empty());
}

constexpr std::string_view kMainManifest = "Manifest-Version: 1.0\r\nMain-Class: com.example.Main\r\n\r\n";

class QuickPackTest : public ScratchDirectory {
 protected:
  void writeJar(std::string_view name, std::string_view manifest, bool deflated = true) {
    write(name, makeJar(manifest, deflated));
  }
  QuickPack quick(std::optional<std::string_view> library = std::nullopt, std::string_view jar = "app.jar") const {
    QuickPack pack{path(jar), std::nullopt, "Svc"};
    if (library) pack.libraryFolder = path(*library);
    return pack;
  }
  // '@' stands for the scratch directory.
  std::string rooted(std::string_view text) const {
    std::string result(text);
    for (std::size_t at = result.find('@'); at != std::string::npos;
         at = result.find('@', at + root_.string().size())) {
      result.replace(at, 1, root_.string());
    }
    return result;
  }
};

// '@' in a manifest, a warning or a message stands for the scratch directory.
struct QuickCase {
  std::string_view what;
  std::string_view manifest;
  bool deflated;
  std::vector<std::string_view> besideTheJar;  // jars written beside app.jar, each with its name as content
  std::optional<std::string_view> library;
  std::string_view names;                 // key 2003 before the runtime jar is added
  std::vector<std::string_view> sources;  // the files embedded, in order
  std::vector<std::string_view> warnings = {};  // the Class-Path entries left out, and why
};

const QuickCase kQuickCases[] = {
    {"no Class-Path, a deflated manifest", kMainManifest, true, {}, std::nullopt, "app.jar", {"app.jar"}},
    {"a Class-Path, a stored manifest",
     "Main-Class: com.example.Main\nClass-Path: lib/util.jar other%20x.jar\n",
     false,
     {"lib/util.jar", "other x.jar"},
     std::nullopt,
     "app.jar;util.jar;other x.jar",
     {"app.jar", "lib/util.jar", "other x.jar"}},
    {"a Class-Path wrapped over lines, deflated",
     "Main-Class: com.example.Main\r\nClass-Path: lib/util.jar lib/mo\r\n re.zip\r\n\r\n",
     true,
     {"lib/util.jar", "lib/more.zip"},
     std::nullopt,
     "app.jar;util.jar;more.zip",
     {"app.jar", "lib/util.jar", "lib/more.zip"}},
    {"--lib: its jars in name order after the Class-Path's, each file once, other files left out",
     "Main-Class: com.example.Main\nClass-Path: lib/b.jar\n",
     true,
     // Written out of order, so that the folder's listing is unlikely to be in order by chance.
     {"lib/e.jar", "lib/b.jar", "lib/A.JAR", "lib/g.jar", "lib/c.jar", "lib/f.jar", "lib/d.jar", "lib/notes.txt",
      "lib/sub/h.jar"},
     "lib",
     "app.jar;b.jar;A.JAR;c.jar;d.jar;e.jar;f.jar;g.jar",
     {"app.jar", "lib/b.jar", "lib/A.JAR", "lib/c.jar", "lib/d.jar", "lib/e.jar", "lib/f.jar", "lib/g.jar"}},
    // As the manifests of Debian's Java packages name /usr/share/java/*.jar.
    {"absolute paths and file URLs, which stay absolute",
     "Main-Class: com.example.Main\nClass-Path: @/shared/a.jar file:@/shared/b.jar file://@/shared/c.jar\n"
     "  file://localhost@/shared/d.jar file:@/shared%20jars/e.jar file:f.jar\n",
     true,
     {"shared/a.jar", "shared/b.jar", "shared/c.jar", "shared/d.jar", "shared jars/e.jar", "f.jar"},
     std::nullopt,
     "app.jar;a.jar;b.jar;c.jar;d.jar;e.jar;f.jar",
     {"app.jar", "shared/a.jar", "shared/b.jar", "shared/c.jar", "shared/d.jar", "shared jars/e.jar", "f.jar"}},
    {"entries java runs without are left out, each named in a warning",
     "Main-Class: com.example.Main\nClass-Path: lib/util.jar lib/missing.jar @/shared/missing.jar\n"
     "  file:@/shared/gone.jar classes/ http://example.com/x.jar file://server/share/x.jar C:/lib/x.jar\n"
     "  lib/util.jar%00.jar\n",
     true,
     {"lib/util.jar"},
     std::nullopt,
     "app.jar;util.jar",
     {"app.jar", "lib/util.jar"},
     {"@/app.jar's Class-Path entry \"lib/missing.jar\" is left out: there is no \"@/lib/missing.jar\", and java -jar "
      "runs without it too",
      "@/app.jar's Class-Path entry \"@/shared/missing.jar\" is left out: there is no \"@/shared/missing.jar\", and "
      "java -jar runs without it too",
      "@/app.jar's Class-Path entry \"file:@/shared/gone.jar\" is left out: there is no \"@/shared/gone.jar\", and "
      "java -jar runs without it too",
      "@/app.jar's Class-Path entry \"classes/\" is left out: there is no \"@/classes/\", and java -jar runs without "
      "it too",
      "@/app.jar's Class-Path entry \"http://example.com/x.jar\" is left out: it names no local file, and java -jar "
      "skips it too",
      "@/app.jar's Class-Path entry \"file://server/share/x.jar\" is left out: it names no local file, and java -jar "
      "skips it too",
      "@/app.jar's Class-Path entry \"C:/lib/x.jar\" is left out: it names no local file, and java -jar skips it "
      "too",
      "@/app.jar's Class-Path entry \"lib/util.jar%00.jar\" is left out: it names no local file, and java -jar "
      "skips it too"}},
    {"a missing entry whose name --lib supplies",
     "Main-Class: com.example.Main\nClass-Path: dependency/util.jar\n",
     true,
     {"lib/util.jar"},
     "lib",
     "app.jar;util.jar",
     {"app.jar", "lib/util.jar"},
     {"@/app.jar's Class-Path entry \"dependency/util.jar\" is left out: there is no \"@/dependency/util.jar\", and "
      "java -jar runs without it too"}},
};

TEST_F(QuickPackTest, TheJarItsClassPathAndTheLibraryFolderAreEmbeddedAtTheTop) {
  for (const QuickCase& testCase : kQuickCases) {
    SCOPED_TRACE(testCase.what);
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_);
    writeJar("app.jar", rooted(testCase.manifest), testCase.deflated);
    for (std::string_view file : testCase.besideTheJar) write(file, file);

    auto quickPlan = loadQuickPack(quick(testCase.library));
    ASSERT_TRUE(quickPlan.ok()) << quickPlan.error().message;
    std::vector<std::string> warnings;
    for (std::string_view warning : testCase.warnings) warnings.push_back(rooted(warning));
    EXPECT_EQ(quickPlan->warnings, warnings);
    const PackPlan& plan = quickPlan->plan;
    const auto& narrow = plan.table.narrow();
    EXPECT_EQ(narrow.at(101), "Svc");
    EXPECT_EQ(narrow.at(122), "com.example.Main");
    EXPECT_EQ(narrow.at(30015), "0");  // not interactive
    EXPECT_EQ(narrow.at(30016), "on-failure");
    EXPECT_EQ(narrow.at(128), "EJAVA_HOME;Y;S");
    EXPECT_FALSE(narrow.contains(121));  // the embedded jars need no class-path entry
    EXPECT_EQ(narrow.at(2003), testCase.names);
    ASSERT_EQ(plan.files.size(), testCase.sources.size());
    for (std::size_t i = 0; i < plan.files.size(); ++i) {
      // The file the plan names, as the builder will open it.
      EXPECT_TRUE(std::filesystem::equivalent(plan.files[i].source, path(testCase.sources[i])))
          << plan.files[i].source << " and " << testCase.sources[i];
      EXPECT_EQ(plan.files[i].size, read(testCase.sources[i]).size()) << testCase.sources[i];
    }
    EXPECT_TRUE(plan.embedsRuntimeJar);
  }
}

TEST_F(QuickPackTest, ALibraryFolderThatHoldsTheJarEmbedsItOnce) {
  writeJar("lib/app.jar", kMainManifest);
  write("lib/util.jar", "util");
  auto quickPlan = loadQuickPack(quick("lib", "lib/app.jar"));
  ASSERT_TRUE(quickPlan.ok()) << quickPlan.error().message;
  EXPECT_EQ(quickPlan->plan.table.narrow().at(2003), "app.jar;util.jar");
}

struct QuickRefusalCase {
  std::string_view what;
  std::optional<std::string_view> manifest;  // nothing: a jar without a manifest
  std::vector<std::string_view> besideTheJar;
  std::optional<std::string_view> library;
  std::string_view expected;
};

const QuickRefusalCase kQuickRefusalCases[] = {
    {"no Main-Class",
     "Manifest-Version: 1.0\n",
     {},
     std::nullopt,
     "@/app.jar has no Main-Class in META-INF/MANIFEST.MF; name the class whose main method runs the service with "
     "--main-class CLASS"},
    {"no manifest at all", std::nullopt, {}, std::nullopt, "@/app.jar has no Main-Class in META-INF/MANIFEST.MF; "},
    // java would put these on its class path, but from the extraction
    // directory the launcher takes only the .jar and .zip files at the top.
    {"a folder",
     "Main-Class: a.B\nClass-Path: classes/\n",
     {"classes/a/B.class"},
     std::nullopt,
     "@/app.jar's Class-Path entry \"classes/\" names a folder, and only files are embedded; leave it out of the "
     "Class-Path and name it in a config's app.classpath"},
    {"a folder named without its slash",
     "Main-Class: a.B\nClass-Path: classes\n",
     {"classes/a/B.class"},
     std::nullopt,
     "Class-Path entry \"classes\" names a folder"},
    {"an absolute folder",
     "Main-Class: a.B\nClass-Path: file:@/shared/\n",
     {"shared/x.jar"},
     std::nullopt,
     "Class-Path entry \"file:@/shared/\" names a folder"},
    {"a file that would not join the class path",
     "Main-Class: a.B\nClass-Path: app.properties\n",
     {"app.properties"},
     std::nullopt,
     "Class-Path entry \"app.properties\" is no .jar or .zip file"},
    {"a broken escape",
     "Main-Class: a.B\nClass-Path: a%2.jar\n",
     {},
     std::nullopt,
     "Class-Path entry \"a%2.jar\" has a '%' that is not followed by two hex digits"},
    {"a broken manifest",
     "Main-Class: a.B\nClass-Path:x.jar\n",
     {},
     std::nullopt,
     "@/app.jar is not a readable jar: META-INF/MANIFEST.MF: line 2 is not \"Name: value\""},
    {"a library folder that is none", "Main-Class: a.B\n", {}, "absent", "--lib \"@/absent\" is not a folder"},
    {"two files of one name",
     "Main-Class: a.B\nClass-Path: one/util.jar\n",
     {"one/util.jar", "lib/util.jar"},
     "lib",
     "\"@/one/util.jar\" and \"@/lib/util.jar\" would both be embedded as util.jar"},
    {"two files of one name, one of them absolute",
     "Main-Class: a.B\nClass-Path: @/shared/Util.jar\n",
     {"shared/Util.jar", "lib/util.jar"},
     "lib",
     "\"@/shared/Util.jar\" and \"@/lib/util.jar\" would both be embedded as util.jar"},
};

TEST_F(QuickPackTest, WhatCannotBePackedIsRefusedNamingIt) {
  for (const QuickRefusalCase& testCase : kQuickRefusalCases) {
    SCOPED_TRACE(testCase.what);
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_);
    write("app.jar", testCase.manifest ? makeJar(rooted(*testCase.manifest)) : makeZip({{"a/B.class", "class", true}}));
    for (std::string_view file : testCase.besideTheJar) write(file, file);
    auto plan = loadQuickPack(quick(testCase.library));
    ASSERT_FALSE(plan.ok());
    EXPECT_NE(plan.error().message.find(rooted(testCase.expected)), std::string::npos) << plan.error().message;
  }
}

TEST_F(QuickPackTest, AFileThatIsNoJarIsRefused) {
  write("app.jar", "no zip");
  auto plan = loadQuickPack(quick());
  ASSERT_FALSE(plan.ok());
  EXPECT_EQ(plan.error().message, rooted("@/app.jar is not a readable jar: it is too short to be a zip file"));
}

struct MainClassCase {
  std::string_view what;
  std::string_view manifest;
  std::optional<std::string> option;  // --main-class
  std::string_view stored;
};

const MainClassCase kMainClassCases[] = {
    {"the manifest's", kMainManifest, std::nullopt, "com.example.Main"},
    // A jar's Main-Class is often its console or client, not the server.
    {"--main-class in place of the manifest's", kMainManifest, "org.example.Server", "org.example.Server"},
    {"--main-class where the manifest names none", "Manifest-Version: 1.0\n", "org.example.Server$Main",
     "org.example.Server$Main"},
};

TEST_F(QuickPackTest, TheMainClassIsTheOptionsElseTheManifests) {
  for (const MainClassCase& testCase : kMainClassCases) {
    SCOPED_TRACE(testCase.what);
    writeJar("app.jar", testCase.manifest);
    QuickPack pack = quick();
    pack.mainClass = testCase.option;
    auto quickPlan = loadQuickPack(pack);
    ASSERT_TRUE(quickPlan.ok()) << quickPlan.error().message;
    EXPECT_EQ(quickPlan->plan.table.narrow().at(122), testCase.stored);
  }
}

// The launcher splits key 124 into the words main receives.
std::vector<std::string> storedArguments(const PackPlan& plan) {
  const std::string& stored = plan.table.narrow().at(124);
  ArgumentVector words;
  EXPECT_TRUE(trySplitCommandLine(WideString(stored.begin(), stored.end()), words)) << stored;
  std::vector<std::string> narrow;
  for (const WideString& word : words) narrow.emplace_back(word.begin(), word.end());
  return narrow;
}

TEST_F(QuickPackTest, TheArgumentsReachMainAsGivenInOrder) {
  writeJar("app.jar", kMainManifest);
  QuickPack pack = quick();
  auto withoutArguments = loadQuickPack(pack);
  ASSERT_TRUE(withoutArguments.ok()) << withoutArguments.error().message;
  EXPECT_FALSE(withoutArguments->plan.table.narrow().contains(124));

  pack.arguments = {"--port", "8080", "two words", "it's", "say \"hi\"", "", "C:\\data\\", "caf\u00e9"};
  auto quickPlan = loadQuickPack(pack);
  ASSERT_TRUE(quickPlan.ok()) << quickPlan.error().message;
  std::vector<std::string> expected = pack.arguments;
  expected.back() = "caf\xe9";  // as Windows-1252 stores it
  EXPECT_EQ(storedArguments(quickPlan->plan), expected);
}

struct OptionRefusalCase {
  std::string_view what;
  std::optional<std::string> mainClass;
  std::vector<std::string> arguments;
  std::string_view expected;
  std::string serviceName = "Svc";
};

const OptionRefusalCase kOptionRefusalCases[] = {
    {"a class named by its path", "com/example/Main", {},
     "--main-class \"com/example/Main\" is no class name: it holds '/'; write the package with dots, as in "
     "com.example.Main"},
    {"a class file", "com.example.Main.class", {},
     "--main-class \"com.example.Main.class\" is no class name: it ends in .class; name the class, not its file"},
    {"an argument typed into the name", "org.example.Server --port", {},
     "--main-class \"org.example.Server --port\" is no class name: it holds a space or a control character"},
    {"an empty part", "org..Server", {}, "--main-class \"org..Server\" is no class name: it has an empty part"},
    {"an empty name", "", {}, "--main-class \"\" is no class name: it is empty"},
    {"a class name the narrow table cannot hold", "org.example.\u0141odz", {},
     "--main-class \"org.example.\u0141odz\": character U+0141 '\u0141' has no Windows-1252 form"},
    {"an argument with both quotes", std::nullopt, {"fine", "it's \"quoted\""},
     "--arg: the word <it's \"quoted\"> holds both a double and a single quote, which the launcher cannot read "
     "back"},
    {"an argument the narrow table cannot hold", std::nullopt, {"\u0141odz"},
     "--arg \"\u0141odz\": character U+0141 '\u0141' has no Windows-1252 form"},
    // No field takes a control character; messages show it escaped.
    {"a class name with a tab", "org.example.\tServer", {},
     "--main-class \"org.example.\\tServer\" is no class name: it holds a space or a control character"},
    {"an argument with a line break", std::nullopt, {"x'\n[raw]\n5001 = 'injected'"},
     "--arg \"x'\\n[raw]\\n5001 = 'injected'\" holds the control character U+000A (line feed), which no config "
     "field takes"},
    {"a service name with a line break", std::nullopt, {},
     "--name \"Svc\\n\" holds the control character U+000A (line feed), which no config field takes", "Svc\n"},
    {"a service name the narrow table cannot hold", std::nullopt, {},
     "--name \"\u0141odz\": character U+0141 '\u0141' has no Windows-1252 form", "\u0141odz"},
};

// Refused before anything is made of them: init writes no config that a
// build would refuse for what the command line gave.
TEST_F(QuickPackTest, UnusableOptionsAreRefusedAndInitWritesNothing) {
  writeJar("app.jar", kMainManifest);
  for (const OptionRefusalCase& testCase : kOptionRefusalCases) {
    SCOPED_TRACE(testCase.what);
    QuickPack pack = quick();
    pack.mainClass = testCase.mainClass;
    pack.arguments = testCase.arguments;
    pack.serviceName = testCase.serviceName;
    auto quickPlan = loadQuickPack(pack);
    ASSERT_FALSE(quickPlan.ok());
    EXPECT_EQ(quickPlan.error().message.find(testCase.expected), 0u) << quickPlan.error().message;
    auto written = writeQuickConfig(pack, path("runvo.toml"));
    ASSERT_FALSE(written.ok());
    EXPECT_EQ(written.error().message, quickPlan.error().message);
    EXPECT_FALSE(std::filesystem::exists(path("runvo.toml")));
  }
}

// Every jar of Debian's Java packages names its libraries by absolute paths
// in /usr/share/java; jetty9-start.jar of libjetty9-java names one.
TEST_F(QuickPackTest, ADebianJarIsPackedWithTheLibraryItsManifestNames) {
  const std::filesystem::path jar = "/usr/share/java/jetty9-start.jar";
  if (!std::filesystem::exists(jar)) GTEST_SKIP() << jar << " is not installed (Debian package libjetty9-java)";
  auto quickPlan = loadQuickPack(QuickPack{jar, std::nullopt, "Jetty"});
  ASSERT_TRUE(quickPlan.ok()) << quickPlan.error().message;
  EXPECT_TRUE(quickPlan->warnings.empty());
  EXPECT_EQ(quickPlan->plan.table.narrow().at(122), "org.eclipse.jetty.start.Main");
  EXPECT_EQ(quickPlan->plan.table.narrow().at(2003), "jetty9-start.jar;jetty9-util.jar");
}

// The quick path has no file to point at: its problems name the lines of the
// config that init writes for the same jar.
TEST_F(QuickPackTest, ProblemsOfTheQuickPathNameTheLinesOfTheConfigInitWrites) {
  writeJar("app.jar", "Main-Class: a.B\nClass-Path: runvo-runtime.jar\n");
  write("runvo-runtime.jar", "a jar of that name");
  auto quickPlan = loadQuickPack(quick());
  ASSERT_FALSE(quickPlan.ok());
  const std::string problem = ":33: files[2]: the name \"runvo-runtime.jar\" is taken by the runtime jar";
  EXPECT_EQ(quickPlan.error().message.find(rooted("the config made from @/app.jar" + problem)), 0u)
      << quickPlan.error().message;

  ASSERT_TRUE(writeQuickConfig(quick(), path("runvo.toml")).ok());
  auto plan = loadPackConfig(path("runvo.toml"));
  ASSERT_FALSE(plan.ok());
  EXPECT_EQ(plan.error().message.find(rooted("@/runvo.toml" + problem)), 0u) << plan.error().message;
}

void expectSamePlan(const PackPlan& actual, const PackPlan& expected) {
  EXPECT_EQ(actual.table.narrow(), expected.table.narrow());
  EXPECT_EQ(actual.table.wide(), expected.table.wide());
  ASSERT_EQ(actual.files.size(), expected.files.size());
  for (std::size_t i = 0; i < actual.files.size(); ++i) {
    EXPECT_EQ(actual.files[i].storedName, expected.files[i].storedName);
    EXPECT_TRUE(std::filesystem::equivalent(actual.files[i].source, expected.files[i].source))
        << actual.files[i].source << " and " << expected.files[i].source;
    EXPECT_EQ(actual.files[i].size, expected.files[i].size);
  }
}

struct InitCase {
  std::string_view what;
  std::string_view manifest;
  std::optional<std::string> mainClass;
  std::vector<std::string> arguments;
  std::vector<std::string_view> configLines;  // in the config wherever it is written
};

const InitCase kInitCases[] = {
    {"the manifest alone", "Main-Class: com.example.Main\nClass-Path: lib/util.jar\n", std::nullopt, {},
     {"restart = 'on-failure'\n"}},
    {"--main-class, --arg, and absolute and missing Class-Path entries",
     "Main-Class: com.example.Cli\nClass-Path: lib/util.jar @/shared/abs.jar file:@/shared/url.jar lib/gone.jar\n",
     "org.example.Server",
     {"--port", "8080", "two words"},
     {"main_class = 'org.example.Server'\n", "arguments = ['--port', '8080', 'two words']\n",
      "source = '@/shared/abs.jar'\n", "source = '@/shared/url.jar'\n"}},
};

TEST_F(QuickPackTest, TheConfigInitWritesLoadsAsTheQuickPath) {
  for (std::string_view file : {"lib/util.jar", "lib/extra.jar", "shared/abs.jar", "shared/url.jar"}) write(file, file);
  for (const InitCase& testCase : kInitCases) {
    SCOPED_TRACE(testCase.what);
    writeJar("app.jar", rooted(testCase.manifest));
    QuickPack pack = quick("lib");
    pack.mainClass = testCase.mainClass;
    pack.arguments = testCase.arguments;
    auto quickPlan = loadQuickPack(pack);
    ASSERT_TRUE(quickPlan.ok()) << quickPlan.error().message;
    // Beside the jar, and in another folder, where the sources must lead back.
    for (std::string_view config : {"runvo.toml", "deeper/conf/service.toml"}) {
      SCOPED_TRACE(config);
      std::filesystem::remove(path(config));  // the previous case's
      std::filesystem::create_directories(path(config).parent_path());
      auto written = writeQuickConfig(pack, path(config));
      ASSERT_TRUE(written.ok()) << written.error().message;
      EXPECT_TRUE(written->namesMainClass);
      EXPECT_EQ(written->warnings, quickPlan->warnings);
      for (std::string_view line : testCase.configLines) {
        EXPECT_NE(written->text.find(rooted(line)), std::string::npos) << rooted(line) << "\n" << written->text;
      }
      auto plan = loadPackConfig(path(config));
      ASSERT_TRUE(plan.ok()) << plan.error().message;
      expectSamePlan(*plan, quickPlan->plan);
    }
  }
}

TEST_F(QuickPackTest, InitNeverReplacesAFile) {
  writeJar("app.jar", kMainManifest);
  write("runvo.toml", "mine");
  auto written = writeQuickConfig(quick(), path("runvo.toml"));
  ASSERT_FALSE(written.ok());
  EXPECT_EQ(written.error().message, rooted("\"@/runvo.toml\" exists already, and init does not replace it; remove "
                                            "it, or name another file with -o"));
  EXPECT_EQ(read("runvo.toml"), (Bytes{'m', 'i', 'n', 'e'}));
}

TEST_F(QuickPackTest, InitLeavesAMissingMainClassToBeFilledIn) {
  writeJar("app.jar", "Manifest-Version: 1.0\n");
  auto written = writeQuickConfig(quick(), path("runvo.toml"));
  ASSERT_TRUE(written.ok()) << written.error().message;
  EXPECT_FALSE(written->namesMainClass);
  auto plan = loadPackConfig(path("runvo.toml"));
  ASSERT_FALSE(plan.ok());
  EXPECT_NE(plan.error().message.find("missing required field app.main_class"), std::string::npos)
      << plan.error().message;
}

// Quotes in names stay inside their strings and comments: nothing of a name
// becomes config. (No field takes a line break: such names are refused.)
TEST_F(QuickPackTest, NamesAreQuotedForTheConfig) {
  writeJar("it's app.jar", kMainManifest);
  const std::string library = "lib' ] # \"";
  write(library + "/util.jar", "lib jar");
  QuickPack pack{path("it's app.jar"), path(library), "Bob's \"Service\"", "org.example.Server",
                 {"x', '5001 = injected", "\", \"5002 = injected"}};
  ASSERT_TRUE(writeQuickConfig(pack, path("runvo.toml")).ok());
  auto plan = loadPackConfig(path("runvo.toml"));
  ASSERT_TRUE(plan.ok()) << plan.error().message;
  EXPECT_EQ(plan->table.narrow().at(101), "Bob's \"Service\"");
  EXPECT_EQ(plan->table.narrow().at(2003), "it's app.jar;util.jar");
  EXPECT_EQ(storedArguments(*plan), pack.arguments);
}

// A path is written into the config as it is, so one that no field takes is
// refused before anything is written.
TEST_F(QuickPackTest, APathWithAControlCharacterIsRefusedAndInitWritesNothing) {
  writeJar("app.jar", kMainManifest);
  write("lib\n[raw]/util.jar", "lib jar");
  auto written = writeQuickConfig(quick("lib\n[raw]"), path("runvo.toml"));
  ASSERT_FALSE(written.ok());
  EXPECT_EQ(written.error().message, rooted("\"@/lib\\n[raw]/util.jar\" holds the control character U+000A (line "
                                            "feed), which no config field takes; rename it"));
  EXPECT_FALSE(std::filesystem::exists(path("runvo.toml")));
}

}  // namespace
}  // namespace runvo::pack::testing
