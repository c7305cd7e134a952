// Damaged payloads and how the launcher reports them: before the table is
// read, every failure goes to a message box.
#include <fstream>

#include "launcher_fixture.h"
#include "service_scope.h"

namespace runvo::testing {
namespace {

using Payload = PayloadBytes;

class PayloadRun : public LauncherTest {};

TEST_F(PayloadRun, DamagedPayloadsEndWithTheirFixedTextInAMessageBox) {
  struct Case {
    const char* what;
    Payload payload;
    const char* text;
  };
  const Case cases[] = {
      {"no payload", Payload(), "Internal Error: readInt"},
      {"wrong magic", Payload().header(0x12345678).i32(0).i32(0), "Internal Error: magic"},
      {"ends in the header", Payload().u32(0xE8E413D5u).i32(0).i32(0).u32(0), "Internal Error: readLong"},
      {"text cut short", Payload().header().i32(1).i32(101).i32(50).raw("short"), "Internal Error: readString"},
      {"negative length", Payload().header().i32(1).i32(101).i32(-8).zeros(32), "Internal Error: readString"},
      {"length beyond the file", Payload().header().i32(1).i32(101).i32(0x40000000).zeros(32),
       "Internal Error: readString"},
      {"wide text cut short", Payload().header().i32(0).i32(1).i32(20017).i32(40).u16('x'),
       "Internal Error: readWString"},
      {"negative wide length", Payload().header().i32(0).i32(1).i32(20017).i32(-2).zeros(32),
       "Internal Error: readWString"},
      {"no wide count", Payload().header().i32(1).narrowEntry(107, "0"), "Internal Error: readInt"},
  };
  for (const Case& c : cases) {
    const auto launcher = makeLauncher(c.payload);
    const LauncherRun r = run(launcher, {.arguments = L"/status", .watchMessageBoxes = true});
    EXPECT_EQ(r.exitCode, 1u) << c.what;
    EXPECT_EQ(r.messageBoxes, std::vector<std::string>{c.text}) << c.what;
    EXPECT_EQ(r.out, "") << c.what;
  }
}

TEST_F(PayloadRun, TheCaptionIsWhatKey1000HoldsWhenLoadingFails) {
  const auto launcher =
      makeLauncher(Payload().header().i32(2).narrowEntry(1000, "Hello Service").i32(101).i32(9).raw("cut"));
  const LauncherRun r = run(launcher, {.watchMessageBoxes = true});
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_EQ(r.messageBoxes, std::vector<std::string>{"Internal Error: readString"});
  EXPECT_EQ(r.messageBoxCaptions, std::vector<std::string>{"Hello Service"});
}

TEST_F(PayloadRun, AMissingPayloadIsLoggedWithTheBytesRead) {
  const auto launcher = makeLauncher(Payload());
  const LauncherRun r = run(launcher, {.arguments = L"/status", .log = true, .watchMessageBoxes = true});
  ASSERT_EQ(r.messageBoxes.size(), 1u);
  const auto lines = splitLines(onlyLog());
  ASSERT_GE(lines.size(), 7u);
  EXPECT_EQ(lines[2].rfind("number of sections: ", 0), 0u);
  EXPECT_EQ(lines[3].rfind("size of optional headers: ", 0), 0u);
  EXPECT_EQ(lines[4].rfind("resSectionTableStart: ", 0), 0u);
  EXPECT_EQ(lines[5].rfind("rawDataSize: ", 0), 0u);
  // The reader's own "\n" and the log's line end.
  EXPECT_TRUE(lines[6].rfind("error ", 0) == 0 && lines[6].size() > 8 &&
              lines[6].substr(lines[6].size() - 2) == " 0")
      << lines[6];
  EXPECT_EQ(lines[7], "");
  // The message names the log file, in its long form.
  EXPECT_NE(r.messageBoxes[0].find("Internal Error: readInt\n\nLog: "), std::string::npos) << r.messageBoxes[0];
}

TEST_F(PayloadRun, EmptyTablesAndRepeatedKeysLoad) {
  // Negative counts hold no entries; the later of two equal keys wins.
  const auto empty = makeLauncher(Payload().header().i32(-1).i32(-3), "empty.exe");
  EXPECT_EQ(run(empty, {.arguments = L"/status", .watchMessageBoxes = true}).messageBoxes.size(), 0u);

  ServiceScope services;
  const std::string second = services.fresh();
  const auto repeated = makeLauncher(
      Payload::tables({{107, "0"}, {101, "First"}, {101, second}, {1000, ""}}), "repeated.exe");
  const LauncherRun r = run(repeated, {.arguments = L"/install"});
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_EQ(r.out, "Installed service '" + second + "'.\r\n");
}

}  // namespace
}  // namespace runvo::testing

namespace runvo::testing {
namespace {

TEST_F(PayloadRun, ThePayloadIsFoundFromPathsTheCodePageCannotWrite) {
  // Such a path is reached through its short form; a name that does not end
  // in ".exe" takes the same way.
  const auto payload = Payload::tables({{101, "Found"}, {107, "0"}});
  for (const std::filesystem::path& name : {std::filesystem::path(u8"\u65e5\u672c \u00e9t\u00e9/svc.exe"),
                                           std::filesystem::path("plain/svc.bin")}) {
    const auto launcher = makeLauncher(payload, name);
    const LauncherRun r = run(launcher, {.arguments = L"/status"});
    // Printed only once the payload has been read.
    EXPECT_EQ(r.out, "Could not get status.\r\n")
        << name.string();
  }
}

// A damaged executable cut at every byte of its file records (the tables'
// damage is fuzzed natively and tested above): each run ends with exit code 1
// and leaves nothing in the temporary folder.
TEST_F(PayloadRun, EveryTruncationOfTheFileRecordsEndsWithOneAndLeavesNothing) {
  const Payload tables = Payload::tables({{101, "Cut"},
                                          {107, "0"},
                                          {1009, "An internal error occurred (error code: {0})"},
                                          {2002, "2"},
                                          {2003, "a.jar;lib\\b.dll"}});
  Payload payload = tables;
  payload.fileRecord("PK a").fileRecord("MZ b");
  const std::uintmax_t recordsStart = std::filesystem::file_size(stubPath()) + tables.size();
  const std::string bytes = readFile(makeLauncher(payload, "whole.exe"));
  for (std::size_t length = recordsStart; length < bytes.size(); ++length) {
    SCOPED_TRACE(length - recordsStart);
    const std::filesystem::path exe = dir_ / ("cut" + std::to_string(length) + ".exe");
    std::ofstream(exe, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(length));
    const std::filesystem::path temp = tmp_ / std::to_string(length);
    const LauncherRun r = run(exe, {.arguments = L"__ksx_restart", .temporaryDirectory = temp});
    EXPECT_EQ(r.exitCode, 1u) << r.err;
    // A cut size field says "Internal Error: readLong", a cut content error code 16.
    EXPECT_TRUE(r.err.rfind("Internal Error: readLong", 0) == 0 ||
                r.err.rfind("An internal error occurred (error code: 16)", 0) == 0)
        << r.err;
    for (const auto& entry : std::filesystem::directory_iterator(temp)) ADD_FAILURE() << "left behind: " << entry.path();
  }
}

}  // namespace
}  // namespace runvo::testing
