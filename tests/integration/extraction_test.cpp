// Extracting the embedded files in the child run: contents, sizes around the
// copy buffer, one directory level, and how damaged payloads and unsafe names
// end the run.
#include <algorithm>
#include <fstream>
#include <limits>

#include "launcher_fixture.h"

namespace runvo::testing {
namespace {

namespace fs = std::filesystem;
using Payload = PayloadBytes;
using Entries = std::vector<std::pair<std::int32_t, std::string>>;

std::string pattern(std::size_t size, char seed) {
  std::string content(size, '\0');
  // Not periodic in any power of two, so a piece out of place shows.
  for (std::size_t i = 0; i < size; ++i) content[i] = static_cast<char>(seed + i * 7 + i / 251);
  return content;
}

class Extraction : public LauncherTest {
 protected:
  // A console application with these embedded files and no runtime to find,
  // so the child run ends right after extracting.
  Payload withFiles(const std::vector<std::pair<std::string, std::string>>& files, const std::string& names = {},
                    std::optional<int> count = std::nullopt) {
    std::string joined = names;
    if (names.empty()) {
      for (const auto& [name, content] : files) joined += name + ";";
    }
    Payload p = Payload::tables({{101, "X"},
                                 {107, "0"},
                                 {1009, "An internal error occurred (error code: {0})"},
                                 {2002, std::to_string(count.value_or(static_cast<int>(files.size())))},
                                 {2003, joined}});
    for (const auto& [name, content] : files) p.fileRecord(content);
    return p;
  }

  struct Run {
    LauncherRun run;
    std::vector<std::string> log;
    fs::path extractionDirectory;
  };
  Run childRun(const Payload& payload, const std::string& name = "svc.exe") {
    Run r;
    r.run = run(makeLauncher(payload, name), {.arguments = L"__ksx_restart", .log = true});
    auto logs = logFiles();
    EXPECT_FALSE(logs.empty());
    if (logs.empty()) return r;
    r.log = splitLines(readFile(logs.back()));
    for (const std::string& line : r.log) {
      if (line.rfind("Temp dir: ", 0) == 0) r.extractionDirectory = line.substr(10);
    }
    for (const auto& log : logs) fs::remove(log);
    return r;
  }
  static bool has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
};

TEST_F(Extraction, ContentsSizesAndADirectoryLevel) {
  const std::vector<std::pair<std::string, std::string>> files{
      {"empty.txt", ""},
      {"exact.bin", pattern(8192, 1)},
      {"lib\\over.bin", pattern(8193, 2)},
      {"lib\\small.jar", "PK small"},
      {"lib\\pieces.bin", pattern(2 * 256 * 1024 + 3, 3)},  // three of the extraction's reads
  };
  const Run r = childRun(withFiles(files));
  ASSERT_FALSE(r.extractionDirectory.empty());
  EXPECT_TRUE(r.extractionDirectory.string().ends_with(".tmp_dir")) << r.extractionDirectory;
  EXPECT_FALSE(fs::exists(r.extractionDirectory.string().substr(0, r.extractionDirectory.string().size() - 4)))
      << "no temporary file is left beside the directory";
  EXPECT_EQ(r.extractionDirectory.filename().string().rfind("rvx", 0), 0u) << r.extractionDirectory;
  EXPECT_FALSE(fs::exists(r.extractionDirectory / "empty.txt")) << "a record of size 0 makes no file";
  for (std::size_t i = 1; i < files.size(); ++i) {
    EXPECT_EQ(readFile(r.extractionDirectory / files[i].first), files[i].second) << files[i].first;
  }
  const std::string dir = r.extractionDirectory.string();
  EXPECT_TRUE(has(r.log, "extracting " + dir + "\\empty.txt (size: 0)"));
  EXPECT_TRUE(has(r.log, "creating directory " + dir + "\\lib"));
  EXPECT_TRUE(has(r.log, "extracting " + dir + "\\lib\\over.bin (size: 8193)"));
  EXPECT_TRUE(has(r.log, "extracting files done"));
  fs::remove_all(r.extractionDirectory);
}

TEST_F(Extraction, NamesAndCounts) {
  // A trailing ";" adds no name; names beyond the count are not read.
  Run r = childRun(withFiles({{"a.txt", "A"}, {"b.txt", "B"}}, "a.txt;b.txt;"), "trailing.exe");
  EXPECT_EQ(readFile(r.extractionDirectory / "b.txt"), "B");
  fs::remove_all(r.extractionDirectory);

  r = childRun(withFiles({{"a.txt", "A"}}, "a.txt;ignored.txt", 1), "fewer.exe");
  EXPECT_EQ(readFile(r.extractionDirectory / "a.txt"), "A");
  EXPECT_FALSE(fs::exists(r.extractionDirectory / "ignored.txt"));
  fs::remove_all(r.extractionDirectory);

  // No files: no directory at all.
  r = childRun(withFiles({}, "", 0), "none.exe");
  EXPECT_TRUE(r.extractionDirectory.empty());
  EXPECT_TRUE(has(r.log, "Included files: 0"));

  // A negative count still makes the directory and extracts nothing.
  r = childRun(withFiles({}, "a.txt", -2), "negative.exe");
  ASSERT_FALSE(r.extractionDirectory.empty());
  // Nothing but the file that marks the run that owned it.
  std::vector<std::string> entries;
  for (const auto& entry : fs::directory_iterator(r.extractionDirectory)) entries.push_back(entry.path().filename().string());
  EXPECT_EQ(entries, std::vector<std::string>{".owner"});
  EXPECT_TRUE(has(r.log, "extracting files done"));
  fs::remove_all(r.extractionDirectory);
}

TEST_F(Extraction, APayloadThatEndsInsideARecordCleansUp) {
  Payload p = withFiles({{"first.txt", "complete"}}, "first.txt;second.bin", 2);
  p.i64(20000).raw(pattern(9000, 3));  // the second record is cut short
  const Run r = childRun(p);
  EXPECT_EQ(r.run.exitCode, 1u);
  EXPECT_EQ(r.run.err.rfind("An internal error occurred (error code: 16)", 0), 0u) << r.run.err;
  const std::string dir = r.extractionDirectory.string();
  EXPECT_TRUE(has(r.log, "ERROR: ReadFile failed 0 0 9000")) << r.log.size();
  EXPECT_TRUE(has(r.log, "ERROR: Failed to extract " + dir + "\\second.bin"));
  EXPECT_TRUE(has(r.log, "attempting to delete " + dir + "\\first.txt"));
  EXPECT_FALSE(fs::exists(r.extractionDirectory));
}

TEST_F(Extraction, ANegativeRecordSizeEndsTheRunAsDamaged) {
  for (const std::int64_t size : {std::int64_t{-1}, std::numeric_limits<std::int64_t>::min()}) {
    SCOPED_TRACE(size);
    Payload p = withFiles({{"first.jar", "PK first"}}, "first.jar;a.jar;b.jar", 3);
    p.i64(size);
    p.fileRecord("PK b");
    const Run r = childRun(p, "negative-size.exe");
    EXPECT_EQ(r.run.exitCode, 1u);
    EXPECT_EQ(r.run.err.rfind("An internal error occurred (error code: 16)", 0), 0u) << r.run.err;
    EXPECT_NE(r.run.err.find("a.jar is damaged (" + std::to_string(size) + "): the executable is damaged."),
              std::string::npos)
        << r.run.err;
    EXPECT_FALSE(has(r.log, "extracting files done"));
    ASSERT_FALSE(r.extractionDirectory.empty());
    EXPECT_FALSE(fs::exists(r.extractionDirectory)) << "nothing of the run is left";
  }
}

TEST_F(Extraction, DeepFoldersAreCreatedAtEveryLevel) {
  const Run r = childRun(withFiles({{"jre\\lib\\server\\jvm.cfg", "-server KNOWN"}, {"jre\\bin\\x.dll", "MZ"}}));
  EXPECT_EQ(readFile(r.extractionDirectory / "jre" / "lib" / "server" / "jvm.cfg"), "-server KNOWN");
  EXPECT_EQ(readFile(r.extractionDirectory / "jre" / "bin" / "x.dll"), "MZ");
}

TEST_F(Extraction, UnsafeNamesEndTheRun) {
  struct Case {
    const char* name;
    const char* code;
  };
  int index = 0;
  for (const Case& c : {Case{"..\\escape.txt", "16"}, Case{"sub\\..\\..\\escape.txt", "16"},
                        Case{"C:\\absolute.txt", "16"}, Case{"\\rooted.txt", "16"},
                        // A device name would write to the device, not to a file.
                        Case{"NUL", "16"}, Case{"lib\\aux.txt", "16"}}) {
    const Run r = childRun(withFiles({{c.name, "content"}}), "u" + std::to_string(index++) + ".exe");
    EXPECT_EQ(r.run.exitCode, 1u) << c.name;
    EXPECT_EQ(r.run.err.rfind(std::string("An internal error occurred (error code: ") + c.code + ")", 0), 0u)
        << c.name << ": " << r.run.err;
    EXPECT_FALSE(fs::exists(dir_ / "escape.txt")) << c.name;
    EXPECT_FALSE(fs::exists(dir_.root_path() / "rooted.txt")) << c.name;
  }
}

TEST_F(Extraction, FailuresSayWhichFileOrFolderAndWhy) {
  // A temporary folder that is not a folder: no usable temporary folder.
  const fs::path notAFolder = tmp_ / "file-not-folder";
  std::ofstream(notAFolder) << "x";
  Entries messages{{101, "X"}, {107, "0"}, {1015, "No usable temporary folder."}, {2002, "1"}, {2003, "app.jar"}};
  Payload withMessage = Payload::tables(messages);
  withMessage.fileRecord("PK");
  LauncherRun r = run(makeLauncher(withMessage, "notemp.exe"),
                      {.arguments = L"__ksx_restart", .temporaryDirectory = notAFolder});
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_EQ(r.err.rfind("No usable temporary folder.", 0), 0u) << r.err;
  EXPECT_NE(r.err.find("Could not create a folder in " + notAFolder.string()), std::string::npos) << r.err;

  // A damaged record and a refused name say what they are about.
  Payload cut = withFiles({{"first.txt", "complete"}}, "first.txt;second.bin", 2);
  cut.i64(20000).raw(pattern(9000, 3));
  Run damaged = childRun(cut, "cut.exe");
  EXPECT_NE(damaged.run.err.find("The executable ends inside the embedded file "), std::string::npos) << damaged.run.err;
  EXPECT_NE(damaged.run.err.find("second.bin: it is damaged."), std::string::npos) << damaged.run.err;
  Run refused = childRun(withFiles({{"NUL", "x"}}), "refused.exe");
  EXPECT_NE(refused.run.err.find("The embedded file name NUL is refused: "), std::string::npos) << refused.run.err;
}

}  // namespace
}  // namespace runvo::testing
