#include <sstream>
#include <vector>

#include "pack/build/builder.h"
#include "pack/build/inspector.h"
#include "pack_test_support.h"
#include "payload/byte_source.h"

namespace runvo::pack::testing {
namespace {

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool hasLine(const std::vector<std::string>& lines, const std::string& wanted) {
  return std::find(lines.begin(), lines.end(), wanted) != lines.end();
}

// An executable with hand-made tables and records, for payloads the builder
// would never write.
Bytes executableWith(const ConfigTable& table, const std::vector<Bytes>& records, const Bytes& tail = {}) {
  Bytes executable = makeFakeStub();
  appendPayloadTables(executable, table);
  for (const Bytes& content : records) appendFileRecord(executable, content);
  executable.insert(executable.end(), tail.begin(), tail.end());
  return executable;
}

ConfigTable fileTable(std::string count, std::string names) {
  ConfigTable table;
  table.setNarrow(2002, std::move(count));
  table.setNarrow(2003, std::move(names));
  return table;
}

class InspectTest : public ScratchDirectory {};

TEST_F(InspectTest, ListsEveryKeyWithItsNameThenTheFiles) {
  write("app.jar", "jar");
  auto plan = load(std::string(kRequiredFields) +
                   "service.description = 'Dienst ü'\nraw.5000 = 'x'\n"
                   "[[files]]\nsource = 'app.jar'\nname = 'lib/app.jar'\n");
  ASSERT_TRUE(plan.ok()) << plan.error().message;
  const Bytes executable = assembleExecutable(makeFakeStub(), "stub", *plan, false)->bytes;
  auto inspection = inspectExecutable(executable);
  ASSERT_TRUE(inspection.ok()) << inspection.error().message;
  EXPECT_FALSE(inspection->damaged);

  ConfigTable table;
  MemorySource source(executable);
  const PayloadLoad load = readPayload(source, table);
  const auto lines = linesOf(inspection->listing);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], "image-end " + std::to_string(makeFakeStub().size()));
  EXPECT_EQ(lines[1], "table-end " + std::to_string(load.tableEnd));
  EXPECT_TRUE(hasLine(lines, "narrow 101 service.name \"Svc\""));
  EXPECT_TRUE(hasLine(lines, "narrow 1006 messages.missing_classpath_entry "
                             "\"File or directory {0} not found or empty\\n\""));
  EXPECT_TRUE(hasLine(lines, "narrow 2003 files.names \"lib\\\\app.jar\""));
  EXPECT_TRUE(hasLine(lines, "narrow 5000 raw \"x\""));
  EXPECT_TRUE(hasLine(lines, "wide 20017 service.description \"Dienst ü\""));
  EXPECT_EQ(lines.back(), "file 1 3 \"lib\\\\app.jar\"");

  const auto narrowLines = std::count_if(lines.begin(), lines.end(),
                                         [](const std::string& l) { return l.starts_with("narrow "); });
  EXPECT_EQ(static_cast<std::size_t>(narrowLines), table.narrow().size());
}

// The service host's restart, readiness and liveness keys, by their names.
TEST_F(InspectTest, NamesTheRestartAndHealthKeys) {
  auto plan = load(std::string(kRequiredFields) +
                   "service.restart = 'always'\nservice.restart_delay_seconds = 1\n"
                   "service.restart_delay_max_seconds = 30\nservice.restart_reset_seconds = 120\n"
                   "service.restart_limit = 3\nservice.ready = 'log:Started'\nservice.ready_timeout_seconds = 60\n"
                   "service.alive = 'http:http://localhost:8080/'\nservice.alive_interval_seconds = 15\n"
                   "service.alive_failures = 2\n");
  ASSERT_TRUE(plan.ok()) << plan.error().message;
  auto inspection = inspectExecutable(assembleExecutable(makeFakeStub(), "stub", *plan, false)->bytes);
  ASSERT_TRUE(inspection.ok()) << inspection.error().message;
  const auto lines = linesOf(inspection->listing);
  for (const std::string_view line :
       {"narrow 30016 service.restart \"always\"", "narrow 30017 service.restart_delay_seconds \"1\"",
        "narrow 30018 service.restart_delay_max_seconds \"30\"", "narrow 30019 service.restart_reset_seconds \"120\"",
        "narrow 30020 service.restart_limit \"3\"", "narrow 30021 service.ready \"log:Started\"",
        "narrow 30022 service.ready_timeout_seconds \"60\"",
        "narrow 30023 service.alive \"http:http://localhost:8080/\"",
        "narrow 30024 service.alive_interval_seconds \"15\"", "narrow 30025 service.alive_failures \"2\""}) {
    EXPECT_TRUE(hasLine(lines, std::string(line))) << line << "\n" << inspection->listing;
  }
}

struct RecordCase {
  std::string_view what;
  Bytes executable;
  std::vector<std::string> expectedLines;
  bool damaged;
};

std::vector<RecordCase> recordCases() {
  Bytes truncated = executableWith(fileTable("1", "a.jar"), {});
  appendLittleEndian(truncated, 100, 8);
  truncated.resize(truncated.size() + 10);
  Bytes negative = executableWith(fileTable("2", "a.jar;b.jar"), {});
  appendLittleEndian(negative, ~std::uint64_t{0}, 8);
  appendLittleEndian(negative, 1, 8);
  negative.push_back(7);

  return {
      {"agreeing", executableWith(fileTable("2", "a.jar;b\\c.txt"), {{1, 2}, {3}}),
       {"file 1 2 \"a.jar\"", "file 2 1 \"b\\\\c.txt\""}, false},
      {"empty names are skipped", executableWith(fileTable("2", ";a.jar;;b;"), {{1}, {2}}),
       {"file 1 1 \"a.jar\"", "file 2 1 \"b\""}, false},
      {"bytes after the records", executableWith(fileTable("1", "a.jar"), {{1}}, {9, 9, 9, 9, 9}),
       {"file 1 1 \"a.jar\"", "trailing-bytes 5"}, false},
      {"fewer records than the count", executableWith(fileTable("3", "a;b"), {{1}, {2}}),
       {"warning key 2003 names 2 files, but key 2002 says 3", "file 2 1 \"b\"",
        "warning key 2002 says 3 files, but the data ends after 2 records"},
       true},
      {"a record cut short", truncated, {"warning record 1 \"a.jar\" says 100 bytes, but only 10 follow"}, true},
      {"negative count", executableWith(fileTable("-1", ""), {}), {"warning key 2002 is negative (-1)"}, true},
      {"negative size", negative,
       {"warning record 1 \"a.jar\" has a negative size (-1), which the launcher refuses as damaged"}, true},
  };
}

TEST_F(InspectTest, RecordsAreReadAsTheCountSaysAndDisagreementsAreWarned) {
  for (const RecordCase& testCase : recordCases()) {
    SCOPED_TRACE(testCase.what);
    auto inspection = inspectExecutable(testCase.executable);
    ASSERT_TRUE(inspection.ok()) << inspection.error().message;
    const auto lines = linesOf(inspection->listing);
    for (const std::string& expected : testCase.expectedLines) {
      EXPECT_TRUE(hasLine(lines, expected)) << "missing: " << expected << "\n" << inspection->listing;
    }
    EXPECT_EQ(inspection->damaged, testCase.damaged) << inspection->listing;
  }
}

struct UnreadableCase {
  std::string_view what;
  Bytes executable;
  std::string_view expected;
};

std::vector<UnreadableCase> unreadableCases() {
  Bytes wrongMagic = makeFakeStub();
  wrongMagic.insert(wrongMagic.end(), {1, 2, 3, 4, 5, 6, 7, 8});
  ConfigTable table;
  table.setNarrow(101, "Service");
  Bytes cutTables = executableWith(table, {});
  cutTables.resize(cutTables.size() - 8);
  return {
      {"no payload", makeFakeStub(), "carries no payload: the file ends where its image ends (offset 1024)"},
      {"wrong magic", wrongMagic, "is not a runvo payload"},
      {"cut tables", cutTables, "tables are cut short (Internal Error: readString)"},
      {"not an executable", Bytes{'t', 'e', 'x', 't'}, "is not a Windows executable"},
  };
}

TEST_F(InspectTest, FilesWithoutAReadablePayloadAreRefused) {
  for (const UnreadableCase& testCase : unreadableCases()) {
    SCOPED_TRACE(testCase.what);
    auto inspection = inspectExecutable(testCase.executable);
    ASSERT_FALSE(inspection.ok());
    EXPECT_NE(inspection.error().message.find(testCase.expected), std::string::npos)
        << inspection.error().message;
  }
}

TEST(InspectQuoting, NarrowTextsAreShownAsOneLine) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"plain", "\"plain\""},
      {"a\"b\\c", "\"a\\\"b\\\\c\""},
      {"\n\r\t\x01\x7F", "\"\\n\\r\\t\\x01\\x7F\""},
      {"\x80\xE9", "\"€é\""},
      {"\x81\x9D", "\"\\x81\\x9D\""},
      {"", "\"\""},
  };
  for (const auto& [text, shown] : cases) EXPECT_EQ(quotedNarrowText(text), shown);
}

TEST(InspectQuoting, WideTextsAreShownAsOneLine) {
  const std::pair<WideString, std::string_view> cases[] = {
      {u"Łódź", "\"Łódź\""},
      {u"😀", "\"😀\""},
      {u"a\nb\"", "\"a\\nb\\\"\""},
      {WideString{0xD800, 'x'}, "\"\\uD800x\""},
      {WideString{'x', 0xDC00}, "\"x\\uDC00\""},
      {WideString{0x85}, "\"\\u0085\""},
  };
  for (const auto& [text, shown] : cases) EXPECT_EQ(quotedWideText(text), shown);
}

}  // namespace
}  // namespace runvo::pack::testing
