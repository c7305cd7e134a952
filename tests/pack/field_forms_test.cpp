// The readable forms of class-path and search entries, the checks of raw
// entries, Java versions and main classes, the default search and the hint for Windows
// paths in double quotes that break the TOML syntax (config_text_test has those
// that parse).
#include <fstream>
#include <iterator>

#include "pack/build/builder.h"
#include "pack/build/inspector.h"
#include "pack_test_support.h"

namespace runvo::pack::testing {
namespace {

constexpr std::int32_t kClassPathKey = 121;
constexpr std::int32_t kMinVersionKey = 126;
constexpr std::int32_t kMaxVersionKey = 127;
constexpr std::int32_t kSearchKey = 128;

class FieldFormsTest : public ScratchDirectory {
 protected:
  // The text of `key` after loading the required fields plus `fields`.
  std::string storedText(std::string_view fields, std::int32_t key) {
    auto plan = load(std::string(kRequiredFields) + std::string(fields));
    EXPECT_TRUE(plan.ok()) << plan.error().message;
    if (!plan) return "<refused>";
    const auto& narrow = plan->table.narrow();
    return narrow.contains(key) ? narrow.at(key) : "<absent>";
  }

  // The whole message that refuses the required fields plus `fields`.
  std::string refusal(std::string_view fields) {
    auto plan = load(std::string(kRequiredFields) + std::string(fields));
    EXPECT_FALSE(plan.ok());
    return plan ? "<accepted>" : plan.error().message;
  }
};

struct AcceptedCase {
  std::string_view toml;  // added to the required fields
  std::int32_t key;
  std::string_view stored;
};

const AcceptedCase kAcceptedCases[] = {
    {R"(app.classpath = [{ jar = "lib/app.jar" }])", kClassPathKey, R"(A1lib\app.jar)"},
    {R"(app.classpath = [{ dir = "conf", required = false }])", kClassPathKey, "D0conf"},
    {R"(app.classpath = [{ scan = "lib" }])", kClassPathKey, "S1lib"},
    {R"(app.classpath = [{ env = "APP_HOME" }])", kClassPathKey, "E1APP_HOME"},
    {R"(app.classpath = [{ required = true, jar = 'a/b/c.jar' }])", kClassPathKey, R"(A1a\b\c.jar)"},
    {R"(app.classpath = ['A1x.jar', { scan = "lib", required = false }, 'D0conf'])", kClassPathKey,
     "A1x.jar;S0lib;D0conf"},
    {"app.classpath = [\n  { jar = 'a.jar' },\n  'E0EXTRA',\n]", kClassPathKey, "A1a.jar;E0EXTRA"},
    {R"(app.classpath = ['A1lib/kept.jar'])", kClassPathKey, "A1lib/kept.jar"},
    {R"(app.classpath = 'A1a.jar;;S0lib;')", kClassPathKey, "A1a.jar;S0lib"},
    {R"(app.classpath = [])", kClassPathKey, ""},
    {R"(jvm.search = ["registry", "path", "env:JAVA_HOME", { dir = "jre/x64" }])", kSearchKey,
     R"(Y;S;EJAVA_HOME;Rjre\x64)"},
    {R"(jvm.search = ["Registry", "PATH", "ENV:JDK_HOME"])", kSearchKey, "Y;S;EJDK_HOME"},
    {R"(jvm.search = ['Rjre', 'Ajdk', 'B..\jre', 'EJAVA_HOME', 'Y', 'S'])", kSearchKey,
     R"(Rjre;Ajdk;B..\jre;EJAVA_HOME;Y;S)"},
    {R"(jvm.search = 'registry;env:JAVA_HOME;Rjre')", kSearchKey, "Y;EJAVA_HOME;Rjre"},
    {R"(jvm.min_version = "17")", kMinVersionKey, "17"},
    {R"(jvm.min_version = "1.8.0_202")", kMinVersionKey, "1.8.0_202"},
    {R"(jvm.max_version = "21.0.2")", kMaxVersionKey, "21.0.2"},
    {R"(jvm.max_version = "17-ea")", kMaxVersionKey, "17-ea"},
    {R"(jvm.max_version = "1.8.0_202-b08")", kMaxVersionKey, "1.8.0_202-b08"},
};

TEST_F(FieldFormsTest, ReadableAndRawFormsAreStoredAsTheLauncherReadsThem) {
  for (const AcceptedCase& testCase : kAcceptedCases) {
    SCOPED_TRACE(testCase.toml);
    EXPECT_EQ(storedText(testCase.toml, testCase.key), testCase.stored);
  }
}

constexpr std::string_view kClassPathForms =
    " (accepted entries: { jar = \"PATH\" }, { dir = \"PATH\" }, { scan = \"DIR\" }, { env = \"NAME\" }, each "
    "optionally with required = false; or the raw \"A1PATH\", \"D1PATH\", \"S1DIR\", \"E1NAME\", with 0 for 1 "
    "when optional)";
constexpr std::string_view kSearchForms =
    " (accepted entries: \"env:NAME\", \"registry\", \"path\", { dir = \"PATH\" }; or the raw \"ENAME\", \"Y\", "
    "\"S\", \"RPATH\", \"APATH\", \"BPATH\")";
constexpr std::string_view kVersionForms =
    " (accepted: digits separated by '.' or '_', optionally followed by '-' and a suffix, e.g. \"17\", "
    "\"1.8.0_202\", \"21.0.2\", \"17-ea\")";

struct RefusedCase {
  std::string_view toml;     // added to the required fields, on line 3
  std::string problem;  // the message after "app.toml:3: " and before the accepted forms
  std::string_view forms;
};

const RefusedCase kRefusedCases[] = {
    {"app.classpath = ['X1lib']", R"(app.classpath: "X1lib" does not start with a type letter A, D, E or S)",
     kClassPathForms},
    {"app.classpath = ['a1lib']", R"(app.classpath: "a1lib" does not start with a type letter A, D, E or S)",
     kClassPathForms},
    {"app.classpath = ['A2lib']",
     R"(app.classpath: "A2lib" needs '1' (required) or '0' (optional) after its type letter)", kClassPathForms},
    {"app.classpath = ['S']", R"(app.classpath: "S" needs '1' (required) or '0' (optional) after its type letter)",
     kClassPathForms},
    {"app.classpath = ['A1']", R"(app.classpath: "A1" names no path)", kClassPathForms},
    {"app.classpath = ['E0']", R"(app.classpath: "E0" names no variable)", kClassPathForms},
    {"app.classpath = ['']", "app.classpath: an entry is empty", kClassPathForms},
    {"app.classpath = ['A1a;b']", R"(app.classpath: "A1a;b" holds ';', which separates the entries)",
     kClassPathForms},
    {"app.classpath = 'A1a.jar;X0b'", R"(app.classpath: "X0b" does not start with a type letter A, D, E or S)",
     kClassPathForms},
    {"app.classpath = [{ jar = 'a', dir = 'b' }]",
     "app.classpath: an entry table needs exactly one of jar, dir, scan, env", kClassPathForms},
    {"app.classpath = [{ required = false }]", "app.classpath: an entry table needs exactly one of jar, dir, scan, env",
     kClassPathForms},
    {"app.classpath = [{ path = 'x' }]", R"(app.classpath: unknown field "path" in an entry table)", kClassPathForms},
    {"app.classpath = [{ jar = 3 }]", "app.classpath: jar must be a string, not an integer", kClassPathForms},
    {"app.classpath = [{ scan = '' }]", "app.classpath: scan is empty", kClassPathForms},
    {"app.classpath = [{ jar = 'a', required = 'no' }]",
     "app.classpath: required must be a boolean (true or false), not a string", kClassPathForms},
    {"app.classpath = [{ dir = 'a;b' }]", R"(app.classpath: dir = "a;b" holds ';', which separates the entries)",
     kClassPathForms},
    {"app.classpath = [4]", "app.classpath: an entry must be a string or a table, not an integer", kClassPathForms},
    {"app.classpath = 5", "app.classpath must be a string or an array of entries, not an integer", kClassPathForms},
    {"jvm.search = ['jre']",
     R"(jvm.search: "jre" is not "registry", "path" or "env:NAME", nor does it start with a type letter A, B, R, E, S or Y)",
     kSearchForms},
    {"jvm.search = ['Sjre']", R"(jvm.search: "Sjre": the type letter S takes no location)", kSearchForms},
    {"jvm.search = ['Yes']", R"(jvm.search: "Yes": the type letter Y takes no location)", kSearchForms},
    {"jvm.search = ['R']", R"(jvm.search: "R" names no location)", kSearchForms},
    {"jvm.search = ['E']", R"(jvm.search: "E" names no variable)", kSearchForms},
    {"jvm.search = ['env:']", R"(jvm.search: "env:" names no variable)", kSearchForms},
    {"jvm.search = 'registry;java'",
     R"(jvm.search: "java" is not "registry", "path" or "env:NAME", nor does it start with a type letter A, B, R, E, S or Y)",
     kSearchForms},
    {"jvm.search = [{ dir = 'jre', required = false }]", R"(jvm.search: unknown field "required" in an entry table)",
     kSearchForms},
    {"jvm.search = [{}]", "jvm.search: an entry table needs dir", kSearchForms},
    {"jvm.search = [{ dir = 1 }]", "jvm.search: dir must be a string, not an integer", kSearchForms},
    {"jvm.search = [true]", "jvm.search: an entry must be a string or a table, not a boolean", kSearchForms},
    {"jvm.min_version = 'seventeen'", R"(jvm.min_version: "seventeen" is not a Java version)", kVersionForms},
    {"jvm.min_version = '17.'", R"(jvm.min_version: "17." is not a Java version)", kVersionForms},
    {"jvm.min_version = '.17'", R"(jvm.min_version: ".17" is not a Java version)", kVersionForms},
    {"jvm.min_version = '1..8'", R"(jvm.min_version: "1..8" is not a Java version)", kVersionForms},
    {"jvm.min_version = '17-'", R"(jvm.min_version: "17-" is not a Java version)", kVersionForms},
    {"jvm.min_version = ''", R"(jvm.min_version: "" is not a Java version)", kVersionForms},
    {"jvm.max_version = 'v17'", R"(jvm.max_version: "v17" is not a Java version)", kVersionForms},
    {"jvm.max_version = '17 '", R"(jvm.max_version: "17 " is not a Java version)", kVersionForms},
    {"jvm.max_version = '17-ea beta'", R"(jvm.max_version: "17-ea beta" is not a Java version)", kVersionForms},
    {"jvm.max_version = 17", "jvm.max_version must be a string, not an integer", kVersionForms},
};

TEST_F(FieldFormsTest, EachRefusalNamesTheLineAndTheAcceptedForms) {
  for (const RefusedCase& testCase : kRefusedCases) {
    SCOPED_TRACE(testCase.toml);
    EXPECT_EQ(refusal(testCase.toml),
              "app.toml:3: " + testCase.problem + std::string(testCase.forms));
  }
}

TEST_F(FieldFormsTest, EveryBadEntryOfAnArrayIsReportedAtItsOwnLine) {
  const std::string message = refusal(
      "app.classpath = [\n"
      "  { jar = 'fine.jar' },\n"
      "  'X1bad',\n"
      "  { dir = '' },\n"
      "]\n");
  EXPECT_EQ(message, "app.toml:5: app.classpath: \"X1bad\" does not start with a type letter A, D, E or S" +
                         std::string(kClassPathForms) + "\napp.toml:6: app.classpath: dir is empty" +
                         std::string(kClassPathForms));
}

struct MainClassCase {
  std::string_view toml;     // the value of app.main_class
  std::string_view stored;   // key 122, when accepted
  std::string_view problem;  // the message after "app.toml:2: app.main_class ", when refused
};

const MainClassCase kMainClassCases[] = {
    {"'Main'", "Main", ""},
    {"'com.example.Main'", "com.example.Main", ""},
    {"'com.example.Outer$Inner'", "com.example.Outer$Inner", ""},
    {"'_a.$b1'", "_a.$b1", ""},
    {"'com.ex\u00e4mple.Main'", "com.ex\xe4mple.Main", ""},
    {"'hello-world'", "hello-world", ""},  // a script's class, named after its file
    {"'com/example/Main'", "",
     R"("com/example/Main" is no class name: it holds '/'; write the package with dots, as in com.example.Main)"},
    {"'com.example.Main.class'", "",
     R"("com.example.Main.class" is no class name: it ends in .class; name the class, not its file)"},
    {"'Main.java'", "", R"("Main.java" is no class name: it ends in .java; name the class, not its file)"},
    {"'com.example.Main '", "", R"("com.example.Main " is no class name: it holds a space or a control character)"},
    {"'Server --port 8080'", "", R"("Server --port 8080" is no class name: it holds a space or a control character)"},
    {"'.Main'", "", R"(".Main" is no class name: it has an empty part between dots)"},
    {"'Main.'", "", R"("Main." is no class name: it has an empty part between dots)"},
    {"'com..Main'", "", R"("com..Main" is no class name: it has an empty part between dots)"},
    {"''", "", R"("" is no class name: it is empty)"},
    {"'a;b'", "", R"("a;b" is no class name: it holds ';')"},
    {"'[La.B'", "", R"("[La.B" is no class name: it holds '[')"},
};

TEST_F(FieldFormsTest, TheMainClassMustBeAClassName) {
  for (const MainClassCase& testCase : kMainClassCases) {
    SCOPED_TRACE(testCase.toml);
    auto plan = load("service.name = 'S'\napp.main_class = " + std::string(testCase.toml) + "\n");
    if (testCase.problem.empty()) {
      ASSERT_TRUE(plan.ok()) << plan.error().message;
      EXPECT_EQ(plan->table.narrow().at(122), testCase.stored);
    } else {
      ASSERT_FALSE(plan.ok());
      EXPECT_EQ(plan.error().message, "app.toml:2: app.main_class " + std::string(testCase.problem));
    }
  }
}

struct DefaultSearchCase {
  std::string_view what;
  std::string_view toml;
  std::string_view stored;
};

const DefaultSearchCase kDefaultSearchCases[] = {
    {"left out: JAVA_HOME, the registry, PATH", "", "EJAVA_HOME;Y;S"},
    {"an empty array turns the default off", "jvm.search = []", ""},
    {"set by name", "jvm.search = ['path']", "S"},
    {"a raw entry replaces the default", "raw.128 = 'Rjre'", "Rjre"},
};

TEST_F(FieldFormsTest, AConfigWithoutASearchGetsTheDefaultSequence) {
  for (const DefaultSearchCase& testCase : kDefaultSearchCases) {
    SCOPED_TRACE(testCase.what);
    EXPECT_EQ(storedText(testCase.toml, kSearchKey), testCase.stored);
  }
}

TEST_F(FieldFormsTest, InspectShowsTheDefaultSearchLikeAnyKey) {
  auto plan = load(kRequiredFields);
  ASSERT_TRUE(plan.ok()) << plan.error().message;
  auto assembled = assembleExecutable(makeFakeStub(), "stub", *plan, false);
  ASSERT_TRUE(assembled.ok()) << assembled.error().message;
  auto inspection = inspectExecutable(assembled->bytes);
  ASSERT_TRUE(inspection.ok()) << inspection.error().message;
  EXPECT_NE(inspection->listing.find("\nnarrow 128 jvm.search \"EJAVA_HOME;Y;S\"\n"), std::string::npos)
      << inspection->listing;
}

constexpr std::string_view kLiteralStringHint =
    "; hint: use single quotes for Windows paths (TOML literal strings), e.g. 'C:\\java\\jdk17'";

struct SyntaxErrorCase {
  std::string_view what;
  std::string_view config;
  std::string_view location;
  bool hinted;
};

const SyntaxErrorCase kSyntaxErrorCases[] = {
    {"a path in double quotes", "service.name = 'S'\napp.main_class = 'M'\njvm.search = [\"RC:\\java\\jdk17\"]\n",
     "app.toml:3:", true},
    {"a path in a double-quoted inline table", "service.name = 'S'\napp.main_class = 'M'\n"
     "app.classpath = [{ jar = \"D:\\apps\\x.jar\" }]\n", "app.toml:3:", true},
    {"no backslash", "service.name = 'S'\napp.main_class = \n", "app.toml:2:", false},
    {"the backslash in single quotes", "service.name = 'S'\napp.main_class = 'C:\\x' y\n", "app.toml:2:", false},
    {"the backslash in a comment", "service.name = 'S'\napp.main_class = = 1 # \"C:\\x\"\n", "app.toml:2:", false},
    {"the backslash on another line", "service.name = \"a\\\\b\"\napp.main_class = \n", "app.toml:2:", false},
};

TEST_F(FieldFormsTest, ASyntaxErrorOnALineWithABackslashInDoubleQuotesGetsAHint) {
  for (const SyntaxErrorCase& testCase : kSyntaxErrorCases) {
    SCOPED_TRACE(testCase.what);
    auto plan = load(testCase.config);
    ASSERT_FALSE(plan.ok());
    const std::string& message = plan.error().message;
    EXPECT_TRUE(message.starts_with(testCase.location)) << message;
    EXPECT_EQ(message.ends_with(kLiteralStringHint), testCase.hinted) << message;
    EXPECT_EQ(message.find('\n'), std::string::npos) << message;
  }
}

TEST_F(FieldFormsTest, TheBundledExampleLoads) {
  std::ifstream example(RUNVO_EXAMPLE_CONFIG, std::ios::binary);
  ASSERT_TRUE(example) << RUNVO_EXAMPLE_CONFIG;
  const std::string text{std::istreambuf_iterator<char>(example), std::istreambuf_iterator<char>()};
  write("hello.jar", makeFakeJar("hello"));
  auto plan = load(text);
  ASSERT_TRUE(plan.ok()) << plan.error().message;
  EXPECT_EQ(plan->table.narrow().at(kSearchKey), "Y;ERUNVO_JAVA_HOME");
}

}  // namespace
}  // namespace runvo::pack::testing
