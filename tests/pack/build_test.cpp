#include <algorithm>
#include <functional>
#include <set>

#include "pack/build/builder.h"
#include "pack/common/byte_fields.h"
#include "pack/config/key_catalogue.h"
#include "pack/image/pe_image.h"
#include "pack_test_support.h"
#include "payload/byte_source.h"

namespace runvo::pack::testing {
namespace {

struct LoadedPayload {
  ConfigTable table;
  std::uint32_t tableEnd = 0;
};

LoadedPayload readBack(const Bytes& executable) {
  LoadedPayload loaded;
  MemorySource source(executable);
  const PayloadLoad load = readPayload(source, loaded.table);
  EXPECT_FALSE(load.fatalText.has_value()) << load.fatalText.value_or("");
  loaded.tableEnd = load.tableEnd;
  return loaded;
}

class BuildTest : public ScratchDirectory {
 protected:
  // Config text plus the required fields, packed onto the fake stub.
  LoadedPayload packAndReadBack(std::string_view fields) {
    const std::string config = std::string(kRequiredFields) + std::string(fields);
    auto plan = load(config);
    EXPECT_TRUE(plan.ok()) << plan.error().message;
    if (!plan) return {};
    auto assembled = assembleExecutable(makeFakeStub(), "stub.exe", *plan, false);
    EXPECT_TRUE(assembled.ok()) << assembled.error().message;
    if (!assembled) return {};
    return readBack(assembled->bytes);
  }

  BuildRequest requestFor(std::string_view configText, std::string_view output) {
    write("stub.exe", makeFakeStub());
    BuildRequest request{write("app.toml", configText), path(output), path("stub.exe"), false};
    request.runtimeJar = write("runtime.jar", makeFakeJar());
    return request;
  }
};

struct NamedKeyCase {
  std::string_view field;
  std::string_view toml;  // added to the required fields
  std::int32_t key;
  std::string_view stored;
};

const NamedKeyCase kNamedKeyCases[] = {
    {"service.name", "", 101, "Svc"},
    {"service.dependencies", R"(service.dependencies = ["Tcpip", "Afd"])", 149, "Tcpip,Afd"},
    {"app.main_class", "", 122, "com.example.Main"},
    {"app.classpath", R"(app.classpath = ['A1lib\app.jar', 'S0lib'])", 121, "A1lib\\app.jar;S0lib"},
    {"app.arguments", R"(app.arguments = ["--port", "80 81", 'say "hi"'])", 124,
     R"(--port "80 81" 'say "hi"')"},
    {"app.directory", R"(app.directory = '..\app')", 10003, "..\\app"},
    {"service.log_folder", R"(service.log_folder = 'D:\logs\svc')", 30001, "D:\\logs\\svc"},
    {"service.log_roll_bytes", "service.log_roll_bytes = 1048576", 30002, "1048576"},
    {"service.log_kept_files", "service.log_kept_files = 0", 30003, "0"},
    {"service.log_roll_daily", "service.log_roll_daily = true", 30028, "1"},
    {"service.log_kept_days", "service.log_kept_days = 30", 30029, "30"},
    {"service.start_watch_seconds", "service.start_watch_seconds = 10", 30004, "10"},
    {"service.stop_timeout_seconds", "service.stop_timeout_seconds = 60", 30005, "60"},
    {"service.preshutdown_seconds", "service.preshutdown_seconds = 120", 30006, "120"},
    {"service.failure_actions", R"(service.failure_actions = ["restart/60000", "none/0"])", 30007,
     "restart/60000;none/0"},
    {"service.failure_reset_seconds", "service.failure_reset_seconds = 3600", 30008, "3600"},
    {"service.failure_on_error_exit", "service.failure_on_error_exit = true", 30009, "1"},
    {"service.delayed_start", "service.delayed_start = true", 30010, "1"},
    {"service.display_name", "service.display_name = 'My Service'", 30011, "My Service"},
    {"service.account", "service.account = 'NetworkService'", 30012, "NetworkService"},
    {"service.password_variable", "service.password_variable = 'SVC_PW'", 30013, "SVC_PW"},
    {"service.environment", R"(service.environment = ["JAVA_TOOL_OPTIONS=-Xmx1g", "RUNVO_LOG=yes"])", 30014,
     "JAVA_TOOL_OPTIONS=-Xmx1g\nRUNVO_LOG=yes"},
    {"service.interactive", "service.interactive = false", 30015, "0"},
    {"service.restart", "service.restart = 'on-failure'", 30016, "on-failure"},
    {"service.restart_delay_seconds", "service.restart_delay_seconds = 5", 30017, "5"},
    {"service.restart_delay_max_seconds", "service.restart_delay_max_seconds = 120", 30018, "120"},
    {"service.restart_reset_seconds", "service.restart_reset_seconds = 600", 30019, "600"},
    {"service.restart_limit", "service.restart_limit = 0", 30020, "0"},
    {"service.ready", "service.ready = 'http:http://127.0.0.1:8080/up'", 30021, "http:http://127.0.0.1:8080/up"},
    {"service.ready_timeout_seconds", "service.ready_timeout_seconds = 300", 30022, "300"},
    {"service.alive", "service.alive = 'tcp:8080'", 30023, "tcp:8080"},
    {"service.alive_interval_seconds", "service.alive_interval_seconds = 10", 30024, "10"},
    {"service.alive_failures", "service.alive_failures = 5", 30025, "5"},
    {"service.priority", "service.priority = 'below_normal'", 30026, "below_normal"},
    {"service.cpu_affinity", "service.cpu_affinity = [0, 2, 63]", 30027, "0,2,63"},
    {"service.pre_start", "service.pre_start = ['cmd.exe', '/c', 'prepare data.cmd', '']", 30030,
     "cmd.exe /c \"prepare data.cmd\" \"\""},
    {"service.post_stop", "service.post_stop = 'clean.cmd --all'", 30031, "clean.cmd --all"},
    {"service.hook_timeout_seconds", "service.hook_timeout_seconds = 120", 30032, "120"},
    {"app.working_directory", R"(app.working_directory = 'work')", 146, "work"},
    {"app.type", "app.type = 4", 107, "4"},
    {"app.native_library_path", R"(app.native_library_path = ['bin', 'lib\native'])", 10004,
     "bin;lib\\native"},
    {"app.process_comm_file", "app.process_comm_file = true", 10005, "1"},
    {"app.j_options", "app.j_options = false", 125, "0"},
    {"output.redirect_stderr", "output.redirect_stderr = true", 102, "1"},
    {"output.stderr_file", "output.stderr_file = 'logs/err.txt'", 103, "logs/err.txt"},
    {"output.redirect_stdout", "output.redirect_stdout = false", 104, "0"},
    {"output.stdout_file", "output.stdout_file = 'out.txt'", 105, "out.txt"},
    {"output.append", "output.append = true", 106, "1"},
    {"output.roll_bytes", "output.roll_bytes = 1048576", 30033, "1048576"},
    {"output.roll_daily", "output.roll_daily = true", 30034, "1"},
    {"output.kept_files", "output.kept_files = 0", 30035, "0"},
    {"output.kept_days", "output.kept_days = 7", 30036, "7"},
    {"jvm.options", R"(jvm.options = ["-Xmx512m", "-Dgreeting=hello world", ""])", 123,
     R"(-Xmx512m "-Dgreeting=hello world" "")"},
    {"jvm.min_version", "jvm.min_version = '1.8'", 126, "1.8"},
    {"jvm.max_version", "jvm.max_version = '21'", 127, "21"},
    {"jvm.search", "jvm.search = ['Rjre', 'EJAVA_HOME', 'Y']", 128, "Rjre;EJAVA_HOME;Y"},
    {"jvm.allow_prerelease", "jvm.allow_prerelease = true", 130, "1"},
    {"jvm.require_jdk", "jvm.require_jdk = true", 131, "1"},
    {"jvm.variant", "jvm.variant = 'server'", 152, "server"},
    {"jvm.installation_value", "jvm.installation_value = 'MyApp'", 160, "MyApp"},
    {"launcher.flavour", "launcher.flavour = 'installer'", 2001, "i"},
    {"messages.caption", "messages.caption = 'Fehler'", 1000, "Fehler"},
    {"messages.jvm_not_startable", "messages.jvm_not_startable = 'Start – prüfen €'", 1005,
     "Start \x96 pr\xFC" "fen \x80"},
    {"messages.missing_classpath_entry", "messages.missing_classpath_entry = '{0} fehlt'", 1006, "{0} fehlt"},
    {"messages.wrong_parameter_usage", "messages.wrong_parameter_usage = 'Bad'", 1007, "Bad"},
    {"messages.undefined_variable", "messages.undefined_variable = '{0}?'", 1008, "{0}?"},
    {"messages.internal_error", "messages.internal_error = 'E{0}'", 1009, "E{0}"},
    {"messages.main_class_missing", "messages.main_class_missing = 'no class'", 1010, "no class"},
    {"messages.main_method_missing", "messages.main_method_missing = 'no main'", 1011, "no main"},
    {"messages.no_temp_dir", "messages.no_temp_dir = 'no temp'", 1015, "no temp"},
    {"messages.no_jvm_found", "messages.no_jvm_found = \"line 1\\nline 2\"", 1016, "line 1\nline 2"},
    {"messages.jvm_env_unusable", "messages.jvm_env_unusable = 'bad {0}'", 1019, "bad {0}"},
    {"messages.jvm_damaged", "messages.jvm_damaged = 'broken {0}'", 1021, "broken {0}"},
};

TEST_F(BuildTest, EveryNamedKeyReachesThePayload) {
  for (const NamedKeyCase& testCase : kNamedKeyCases) {
    SCOPED_TRACE(testCase.field);
    const LoadedPayload loaded = packAndReadBack(testCase.toml);
    ASSERT_TRUE(loaded.table.narrow().contains(testCase.key));
    EXPECT_EQ(loaded.table.narrow().at(testCase.key), testCase.stored);
  }
}

TEST_F(BuildTest, EveryNarrowCatalogueFieldHasARoundTripCase) {
  std::set<std::string> covered;
  for (const NamedKeyCase& testCase : kNamedKeyCases) covered.emplace(testCase.field);
  for (const NamedKey& entry : namedKeys()) {
    if (entry.kind == ValueKind::FromFiles || entry.isWide()) continue;
    EXPECT_TRUE(covered.contains(entry.qualifiedName())) << entry.qualifiedName();
  }
}

TEST_F(BuildTest, ListsAndWordsGivenAsOneStringAreStoredVerbatim) {
  const LoadedPayload loaded = packAndReadBack(
      "jvm.options = '-Xmx1g \"-Da=b c\"'\nservice.dependencies = 'Tcpip,Afd'\n"
      "app.classpath = 'A1app.jar;S0lib'\n");
  EXPECT_EQ(loaded.table.narrow().at(123), "-Xmx1g \"-Da=b c\"");
  EXPECT_EQ(loaded.table.narrow().at(149), "Tcpip,Afd");
  EXPECT_EQ(loaded.table.narrow().at(121), "A1app.jar;S0lib");
}

TEST_F(BuildTest, DescriptionIsTheOneWideKey) {
  const LoadedPayload loaded = packAndReadBack("service.description = 'Łódź 😀 service'");
  EXPECT_EQ(loaded.table.wide().at(20017), u"Łódź 😀 service");
  EXPECT_FALSE(loaded.table.narrow().contains(20017));
}

TEST_F(BuildTest, RawTablesSetUnnamedKeys) {
  const LoadedPayload loaded = packAndReadBack(
      "raw.1012 = 'twelve'\nraw.\"-3\" = 'negative'\nraw_wide.\"7\" = 'wide ü'\n");
  EXPECT_EQ(loaded.table.narrow().at(1012), "twelve");
  EXPECT_EQ(loaded.table.narrow().at(-3), "negative");
  EXPECT_EQ(loaded.table.wide().at(7), u"wide ü");
}

TEST_F(BuildTest, MessagesDefaultToTheEnglishTextsUnlessSetByNameOrRaw) {
  const LoadedPayload defaults = packAndReadBack("");
  for (const NamedKey& entry : namedKeys()) {
    if (entry.defaultText.empty()) continue;
    EXPECT_EQ(defaults.table.narrow().at(entry.key), entry.defaultText) << entry.key;
  }
  EXPECT_EQ(defaults.table.narrow().at(1016),
            "No JVM could be found on your system.\nPlease define RUNVO_JAVA_HOME\n"
            "to point to an installed {0}-bit JDK or JRE or download one.");
  EXPECT_EQ(defaults.table.narrow().at(1006).back(), '\n');

  const LoadedPayload overridden = packAndReadBack("messages.caption = 'Oops'\nraw.1005 = 'raw text'\n");
  EXPECT_EQ(overridden.table.narrow().at(1000), "Oops");
  EXPECT_EQ(overridden.table.narrow().at(1005), "raw text");
}

// Among them restart, which the host then reads as "never".
TEST_F(BuildTest, OptionalKeysLeftOutAreAbsent) {
  const LoadedPayload loaded = packAndReadBack("launcher.flavour = 'runvo'");
  for (std::int32_t key : {2001, 2002, 2003, 107, 123, 149, 30016}) {
    EXPECT_FALSE(loaded.table.narrow().contains(key)) << key;
  }
  EXPECT_TRUE(loaded.table.wide().empty());
}

TEST_F(BuildTest, FilesAreStoredInOrderWithTheirNamesAndScrambledContent) {
  const Bytes jar = {0x50, 0x4B, 0x00, 0xA7, 0xFF};
  const Bytes readme = {'h', 'i', '\n'};
  const Bytes data = {0x01};
  write("app.jar", jar);
  write("docs/readme.txt", readme);
  const std::string absolute = path("x.bin").string();
  write("x.bin", data);

  const LoadedPayload loaded = packAndReadBack(
      "[[files]]\nsource = 'app.jar'\nname = 'lib/app.jar'\n"
      "[[files]]\nsource = 'docs/readme.txt'\n"
      "[[files]]\nsource = '" + absolute + "'\nname = 'data\\x.bin'\n");
  EXPECT_EQ(loaded.table.narrow().at(2002), "3");
  EXPECT_EQ(loaded.table.narrow().at(2003), "lib\\app.jar;readme.txt;data\\x.bin");

  auto plan = load(std::string(kRequiredFields) +
                   "[[files]]\nsource = 'app.jar'\nname = 'lib/app.jar'\n"
                   "[[files]]\nsource = 'docs/readme.txt'\n");
  ASSERT_TRUE(plan.ok()) << plan.error().message;
  const Bytes executable = assembleExecutable(makeFakeStub(), "stub", *plan, false)->bytes;
  const std::uint32_t tableEnd = readBack(executable).tableEnd;

  std::size_t at = tableEnd;
  for (const Bytes& expected : {jar, readme}) {
    Bytes sizeField(executable.begin() + at, executable.begin() + at + 8);
    Bytes expectedSize;
    appendLittleEndian(expectedSize, expected.size(), 8);
    EXPECT_EQ(sizeField, expectedSize);
    at += 8;
    Bytes content(executable.begin() + at, executable.begin() + at + expected.size());
    for (auto& byte : content) byte ^= kScrambleKey;
    EXPECT_EQ(content, expected);
    at += expected.size();
  }
  EXPECT_EQ(at, executable.size());
}

// Files pass through the builder a piece at a time; an odd size that spans
// several pieces must arrive whole and in order.
TEST_F(BuildTest, AFileOfManyPiecesIsStoredWhole) {
  Bytes large(600 * 1024 + 3);
  for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  write("large.bin", large);
  auto plan = load(std::string(kRequiredFields) + "[[files]]\nsource = 'large.bin'\n");
  ASSERT_TRUE(plan.ok()) << plan.error().message;
  const Bytes executable = assembleExecutable(makeFakeStub(), "stub", *plan, false)->bytes;
  const std::size_t contentStart = readBack(executable).tableEnd + 8;
  ASSERT_EQ(executable.size(), contentStart + large.size());
  Bytes content(executable.begin() + static_cast<std::ptrdiff_t>(contentStart), executable.end());
  scrambleInPlace(content);
  EXPECT_TRUE(content == large);
}

// A file that changes between reading the config and writing the executable
// fails the build instead of leaving a record whose size does not match.
TEST_F(BuildTest, AFileThatChangesWhileItIsPackedFailsTheBuild) {
  const struct {
    std::string_view now;
    std::string_view expected;
  } cases[] = {
      {"jar", "became shorter while it was packed"},
      {"jar content that grew", "became longer while it was packed"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.now);
    write("app.jar", "jar content");
    write("app.exe", "previous build");
    auto plan = load(std::string(kRequiredFields) + "[[files]]\nsource = 'app.jar'\n");
    ASSERT_TRUE(plan.ok()) << plan.error().message;
    write("app.jar", c.now);
    BuildRequest request = requestFor(kRequiredFields, "app.exe");
    auto built = buildExecutable(std::move(*plan), request);
    ASSERT_FALSE(built.ok());
    EXPECT_NE(built.error().message.find(c.expected), std::string::npos) << built.error().message;
    EXPECT_NE(built.error().message.find("app.jar"), std::string::npos) << built.error().message;
    const Bytes previous = read("app.exe");
    EXPECT_EQ(std::string(previous.begin(), previous.end()), "previous build");
  }
}

// The image checksum as the format describes it, word by word: 16-bit
// little-endian words summed with the carry folded back at every step, the
// checksum field's two words left out, an odd last byte a word of its own,
// then the file size added.
std::uint32_t checksumWordByWord(const Bytes& bytes, std::uint64_t field) {
  std::uint32_t sum = 0;
  for (std::size_t at = 0; at < bytes.size(); at += 2) {
    if (at >= field && at < field + 4) continue;
    const std::uint32_t high = at + 1 < bytes.size() ? bytes[at + 1] : 0;
    sum += bytes[at] | high << 8;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  return sum + static_cast<std::uint32_t>(bytes.size());
}

// Sizes around the field and large enough that an unfolded sum passes 16 bits
// many times over; all-ones data, where the fold's end-around carry matters most.
TEST_F(BuildTest, TheChecksumIsTheFormatsWordByWordSum) {
  const Bytes stub = makeFakeStub();
  const auto fields = locateHeaderFields(stub);
  ASSERT_TRUE(fields.ok());
  for (std::size_t extra : {0u, 1u, 2u, 3u, 70001u}) {
    for (std::uint8_t fill : {std::uint8_t{0xFF}, std::uint8_t{0x00}, std::uint8_t{0x5A}}) {
      Bytes executable = stub;
      // A field that holds a value already: it never counts.
      writeLittleEndian(executable, fields->checksum, 0xDEADBEEF, 4);
      for (std::size_t i = 0; i < extra; ++i) executable.push_back(fill == 0x5A ? static_cast<std::uint8_t>(i * 131) : fill);
      EXPECT_EQ(imageChecksum(executable, *fields), checksumWordByWord(executable, fields->checksum))
          << extra << " bytes of " << int{fill};
    }
  }
}

TEST_F(BuildTest, TheChecksumTakenInPiecesIsTheChecksumOfTheWhole) {
  Bytes executable = makeFakeStub();
  for (int i = 0; i < 1001; ++i) executable.push_back(static_cast<std::uint8_t>(i * 31));
  const auto fields = locateHeaderFields(executable);
  ASSERT_TRUE(fields.ok());
  for (std::size_t pieceSize : {1u, 2u, 3u, 7u, 64u}) {
    SCOPED_TRACE(pieceSize);
    ImageChecksum checksum(*fields);
    for (std::size_t at = 0; at < executable.size(); at += pieceSize) {
      checksum.add(executable.data() + at, std::min(pieceSize, executable.size() - at));
    }
    EXPECT_EQ(checksum.finish(), imageChecksum(executable, *fields));
  }
}

// The launcher creates every folder of a name.
TEST_F(BuildTest, FileNamesMayHoldFoldersAtAnyDepth) {
  write("app.jar", "jar");
  const LoadedPayload loaded = packAndReadBack(
      "[[files]]\nsource = 'app.jar'\nname = 'conf/app/deep/settings.jar'\n"
      "[[files]]\nsource = 'app.jar'\nname = 'conf\\app\\other.jar'\n");
  EXPECT_EQ(loaded.table.narrow().at(2003), "conf\\app\\deep\\settings.jar;conf\\app\\other.jar");
}

TEST_F(BuildTest, TheStubImageIsKeptAndThePayloadFollowsIt) {
  auto plan = load(kRequiredFields);
  ASSERT_TRUE(plan.ok());
  const Bytes stub = makeFakeStub(0x345);
  const Bytes executable = assembleExecutable(stub, "stub", *plan, false)->bytes;
  ASSERT_GT(executable.size(), stub.size());
  EXPECT_TRUE(std::equal(stub.begin(), stub.end(), executable.begin()));
  EXPECT_EQ(executable[stub.size()], 0xD5);  // the magic's first byte
}

TEST_F(BuildTest, SameInputGivesTheSameBytes) {
  write("app.jar", "jar content");
  const std::string config = std::string(kRequiredFields) +
                             "jvm.options = ['-Xmx1g', '-Da=b c']\nraw.5000 = 'x'\n"
                             "[[files]]\nsource = 'app.jar'\n";
  BuildRequest first = requestFor(config, "first.exe");
  BuildRequest second = first;
  second.output = path("second.exe");
  ASSERT_TRUE(buildExecutable(first).ok());
  ASSERT_TRUE(buildExecutable(second).ok());
  EXPECT_EQ(read("first.exe"), read("second.exe"));
}

TEST_F(BuildTest, AStubThatCarriesAPayloadNeedsReplace) {
  BuildRequest original = requestFor(std::string(kRequiredFields) + "app.type = 1\n", "first.exe");
  ASSERT_TRUE(buildExecutable(original).ok());

  BuildRequest again = original;
  again.stub = path("first.exe");
  again.output = path("second.exe");
  auto refused = buildExecutable(again);
  ASSERT_FALSE(refused.ok());
  EXPECT_NE(refused.error().message.find("already carries a payload"), std::string::npos);
  EXPECT_NE(refused.error().message.find("--replace"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(again.output));

  again.replacePayload = true;
  auto replaced = buildExecutable(again);
  ASSERT_TRUE(replaced.ok()) << replaced.error().message;
  EXPECT_EQ(read("second.exe"), read("first.exe"));
  EXPECT_EQ(replaced->replacedPayloadSize, read("first.exe").size() - makeFakeStub().size());
}

TEST_F(BuildTest, AFailedBuildLeavesTheOldOutputAndNoTemporaryFile) {
  write("app.exe", "previous build");
  BuildRequest request = requestFor("service.name = 'Svc'\n", "app.exe");  // no main class
  ASSERT_FALSE(buildExecutable(request).ok());
  const Bytes previous = read("app.exe");
  EXPECT_EQ(std::string(previous.begin(), previous.end()), "previous build");

  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(root_)) {
    names.insert(entry.path().filename().string());
  }
  EXPECT_EQ(names, (std::set<std::string>{"app.exe", "app.toml", "runtime.jar", "stub.exe"}));
}

TEST_F(BuildTest, ASuccessfulBuildReplacesTheOldOutput) {
  write("app.exe", "previous build");
  BuildRequest request = requestFor(kRequiredFields, "app.exe");
  auto summary = buildExecutable(request);
  ASSERT_TRUE(summary.ok()) << summary.error().message;
  EXPECT_EQ(read("app.exe").size(), summary->outputSize);
  EXPECT_TRUE(readBack(read("app.exe")).table.narrow().contains(101));
}

// The stub is read from disk in place (mapped where it can be); a stub file
// that cannot serve is named, and an empty one is judged like any other.
TEST_F(BuildTest, StubFilesThatCannotServeAreRefusedWithTheirName) {
  const struct {
    std::string_view what;
    std::function<void(const std::filesystem::path&)> make;
    std::string_view expected;
  } cases[] = {
      {"missing", [](const std::filesystem::path&) {}, "cannot load the stub"},
      {"a folder", [](const std::filesystem::path& stub) { std::filesystem::create_directory(stub); }, "is not a regular file"},
      {"empty", [this](const std::filesystem::path&) { write("other.exe", ""); }, "is not a Windows executable"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BuildRequest request = requestFor(kRequiredFields, "app.exe");
    request.stub = path("other.exe");
    c.make(*request.stub);
    auto built = buildExecutable(request);
    ASSERT_FALSE(built.ok());
    EXPECT_NE(built.error().message.find(c.expected), std::string::npos) << built.error().message;
    EXPECT_NE(built.error().message.find("other.exe"), std::string::npos) << built.error().message;
    EXPECT_FALSE(std::filesystem::exists(path("app.exe")));
    std::filesystem::remove_all(*request.stub);
  }
}

struct BadStubCase {
  std::string_view what;
  void (*damage)(Bytes&);
  std::string_view expected;
};

const BadStubCase kBadStubCases[] = {
    {"no MZ", [](Bytes& b) { b[0] = 'X'; }, "does not start with \"MZ\""},
    {"too short", [](Bytes& b) { b.resize(10); }, "does not start with \"MZ\""},
    {"no PE signature", [](Bytes& b) { b[0x41] = 'X'; }, "no \"PE\" header"},
    {"PE offset outside", [](Bytes& b) { b[0x3E] = 0x7F; }, "no \"PE\" header"},
    {"no sections", [](Bytes& b) { b[0x46] = 0; }, "implausible section count"},
    {"section table cut", [](Bytes& b) { b[0x46] = 0x50; }, "section table is cut off"},
    {"section data cut", [](Bytes& b) { b.resize(b.size() - 1); }, "lies outside the file"},
};

TEST_F(BuildTest, StubsThatAreNotWindowsImagesAreRefused) {
  auto plan = load(kRequiredFields);
  ASSERT_TRUE(plan.ok());
  for (const BadStubCase& testCase : kBadStubCases) {
    SCOPED_TRACE(testCase.what);
    Bytes stub = makeFakeStub();
    testCase.damage(stub);
    auto refused = assembleExecutable(stub, "stub.exe", *plan, true);
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.error().message.find("\"stub.exe\" is not a Windows executable"), std::string::npos)
        << refused.error().message;
    EXPECT_NE(refused.error().message.find(testCase.expected), std::string::npos)
        << refused.error().message;
  }
}

}  // namespace
}  // namespace runvo::pack::testing
