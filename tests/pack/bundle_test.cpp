// A Java runtime bundled with jvm.bundle: every file of its folder under
// "jre\", at any depth, and the search that looks there first.
#include <fstream>

#include "pack/build/builder.h"
#include "pack/build/inspector.h"
#include "pack_test_support.h"

namespace runvo::pack::testing {
namespace {

namespace fs = std::filesystem;

// As a Windows runtime image lays its files out, listed in name order.
const std::pair<std::string_view, std::string_view> kRuntimeFiles[] = {
    {"bin/java.exe", "MZ java"}, {"bin/server/jvm.dll", "MZ jvm"},        {"conf/security/java.security", "security"},
    {"lib/modules", "modules"},  {"release", "JAVA_VERSION=\"17.0.15\""},
};
constexpr std::string_view kRuntimeNames =
    "jre\\bin\\java.exe;jre\\bin\\server\\jvm.dll;jre\\conf\\security\\java.security;jre\\lib\\modules;jre\\release";
constexpr std::string_view kBundledSearch = "A%RUNVO_TEMPDIR%\\jre;EJAVA_HOME;Y;S";

class BundleTest : public ScratchDirectory {
 protected:
  void SetUp() override {
    ScratchDirectory::SetUp();
    writeRuntimeAndJar();
  }

  void writeRuntimeAndJar() {
    // Written in reverse, so that name order is not just the order of creation.
    for (auto file = std::rbegin(kRuntimeFiles); file != std::rend(kRuntimeFiles); ++file) {
      write("runtime/" + std::string(file->first), file->second);
    }
    write("app.jar", makeFakeJar("the application"));
  }

  // A runtime whose names take `total` bytes with their separators, for the
  // launcher's limit on the name list.
  void writeRuntimeWithNamesTaking(std::size_t total) {
    fs::remove_all(path("runtime"));
    write("runtime/bin/java.exe", "MZ");
    std::size_t left = total - std::string_view("jre/bin/java.exe;").size();
    for (int i = 0; left > 0; ++i) {
      const std::string name = std::to_string(i) + "-";
      const std::size_t length = left > 230 ? 200 : left;  // "jre/lib/" + name + 'n's + ';'
      write("runtime/lib/" + name + std::string(length - name.size() - 9, 'n'), "x");
      left -= length;
    }
  }

  Expected<PackPlan> loadWith(std::string_view fields) const {
    return load(std::string(kRequiredFields) + std::string(fields));
  }

  Bytes buildWith(std::string_view fields) {
    write("stub.exe", makeFakeStub());
    write("runtime.jar", makeFakeJar());
    BuildRequest request{write("app.toml", std::string(kRequiredFields) + std::string(fields)), path("app.exe"),
                         path("stub.exe"), false};
    request.runtimeJar = path("runtime.jar");
    auto summary = buildExecutable(request);
    EXPECT_TRUE(summary.ok()) << summary.error().message;
    return read("app.exe");
  }
};

TEST_F(BundleTest, EveryFileIsEmbeddedUnderJreWithItsWholePath) {
  const UnpackedExecutable unpacked =
      unpackExecutable(buildWith("jvm.bundle = 'runtime'\n[[files]]\nsource = 'app.jar'\n"));
  const auto& narrow = unpacked.table.narrow();
  EXPECT_EQ(narrow.at(2003), "app.jar;" + std::string(kRuntimeNames) + ";runvo-runtime.jar");
  EXPECT_EQ(narrow.at(2002), "7");

  std::vector<Bytes> expected{makeFakeJar("the application")};
  for (const auto& [name, content] : kRuntimeFiles) expected.emplace_back(content.begin(), content.end());
  expected.push_back(makeFakeJar());
  EXPECT_EQ(unpacked.files, expected);
}

TEST_F(BundleTest, AnAbsoluteFolderAndNoOtherFilesWork) {
  auto plan = loadWith("jvm.bundle = '" + path("runtime").string() + "'\n");
  ASSERT_TRUE(plan.ok()) << plan.error().message;
  EXPECT_EQ(plan->table.narrow().at(2003), kRuntimeNames);
}

struct SearchCase {
  std::string_view what;
  std::string_view fields;
  std::string_view search;
};

const SearchCase kSearchCases[] = {
    {"the bundle first, then the default search", "jvm.bundle = 'runtime'\n", kBundledSearch},
    {"a search of the config's own stays as it is", "jvm.bundle = 'runtime'\njvm.search = ['registry']\n", "Y"},
    {"so does a raw one", "jvm.bundle = 'runtime'\nraw.128 = 'Rjre'\n", "Rjre"},
    {"without a bundle, the default search", "", "EJAVA_HOME;Y;S"},
};

TEST_F(BundleTest, TheDefaultSearchLooksAtTheBundleFirst) {
  for (const SearchCase& testCase : kSearchCases) {
    SCOPED_TRACE(testCase.what);
    auto plan = loadWith(testCase.fields);
    ASSERT_TRUE(plan.ok()) << plan.error().message;
    EXPECT_EQ(plan->table.narrow().at(128), testCase.search);
  }
}

TEST_F(BundleTest, InspectShowsTheSearchAndTheDeepNames) {
  auto inspection = inspectExecutable(buildWith("jvm.bundle = 'runtime'\n"));
  ASSERT_TRUE(inspection.ok()) << inspection.error().message;
  EXPECT_FALSE(inspection->damaged);
  const std::string& listing = inspection->listing;
  EXPECT_NE(listing.find("narrow 128 jvm.search \"A%RUNVO_TEMPDIR%\\\\jre;EJAVA_HOME;Y;S\"\n"), std::string::npos)
      << listing;
  EXPECT_NE(listing.find("file 2 6 \"jre\\\\bin\\\\server\\\\jvm.dll\"\n"), std::string::npos) << listing;
  EXPECT_NE(listing.find("file 6 " + std::to_string(makeFakeJar().size()) + " \"runvo-runtime.jar\"\n"),
            std::string::npos)
      << listing;
}

struct RefusalCase {
  std::string_view what;
  std::string_view fields;
  void (*prepare)(const fs::path& root);
  unsigned line;
  std::string_view expected;  // '@' stands for the scratch directory
};

void writeFile(const fs::path& file, std::string_view content) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << content;
}

const RefusalCase kRefusalCases[] = {
    {"not a folder", "jvm.bundle = 'absent'\n", [](const fs::path&) {}, 3, "jvm.bundle: \"@/absent\" is not a folder"},
    {"a runtime for another system", "jvm.bundle = 'runtime'\n",
     [](const fs::path& root) { fs::rename(root / "runtime/bin/java.exe", root / "runtime/bin/java"); }, 3,
     "jvm.bundle: \"@/runtime\" holds no bin/java.exe, so it is no Windows Java runtime"},
    {"not a string", "jvm.bundle = true\n", [](const fs::path&) {}, 3,
     "jvm.bundle must be a string (the runtime's folder), not a boolean"},
    {"empty", "\njvm.bundle = ''\n", [](const fs::path&) {}, 4, "jvm.bundle is empty"},
    {"an empty file", "jvm.bundle = 'runtime'\n",
     [](const fs::path& root) { writeFile(root / "runtime/lib/empty", ""); }, 3,
     "jvm.bundle: \"@/runtime/lib/empty\" is empty, and the launcher creates no file for an empty record"},
    {"a link to a folder", "jvm.bundle = 'runtime'\n",
     [](const fs::path& root) { fs::create_directory_symlink("../conf", root / "runtime/lib/conf"); }, 3,
     "jvm.bundle: \"@/runtime/lib/conf\" is a link to a folder, which runvo-pack does not follow"},
    {"a broken link", "jvm.bundle = 'runtime'\n",
     [](const fs::path& root) { fs::create_symlink("nowhere", root / "runtime/lib/broken"); }, 3,
     "jvm.bundle: \"@/runtime/lib/broken\" is neither a file nor a folder (a broken link?)"},
    {"a name Windows cannot hold", "jvm.bundle = 'runtime'\n",
     [](const fs::path& root) { writeFile(root / "runtime/lib/a:b", "x"); }, 3,
     "jvm.bundle: cannot use the name \"jre/lib/a:b\": the name contains ':'"},
    {"a name the name list cannot hold", "jvm.bundle = 'runtime'\n",
     [](const fs::path& root) {
       writeFile(root /
                     "runtime/lib/\xC5\x81\xC3\xB3"
                     "d\xC5\xBA",
                 "x");
     },
     3,
     "jvm.bundle file \"jre/lib/\xC5\x81\xC3\xB3"
     "d\xC5\xBA\": character U+0141"},
    {"a file named like the bundle's folder", "jvm.bundle = 'runtime'\n[[files]]\nsource = 'app.jar'\nname = 'JRE'\n",
     [](const fs::path&) {}, 3, "jvm.bundle file \"jre\\bin\\java.exe\": its directory has the name of files[1]"},
    {"a file named like one of the runtime's",
     "jvm.bundle = 'runtime'\n[[files]]\nsource = 'app.jar'\n"
     "name = 'jre/lib/MODULES'\n",
     [](const fs::path&) {}, 3,
     "jvm.bundle file \"jre\\lib\\modules\": the name \"jre\\lib\\modules\" is already used by files[1]"},
    {"a problem of [[files]] beside a runtime that loads",
     "jvm.bundle = 'runtime'\n[[files]]\nsource = 'app.jar'\n"
     "name = 'jre/release'\n[[files]]\nsource = 'missing.jar'\n",
     [](const fs::path&) {}, 8, "files[2].source: cannot read \"@/missing.jar\""},
    {"a file named like one of the runtime's folders",
     "[[files]]\nsource = 'app.jar'\nname = 'jre/conf/security'\n"
     "[jvm]\nbundle = 'runtime'\n",
     [](const fs::path&) {}, 7,
     "jvm.bundle file \"jre\\conf\\security\\java.security\": its directory has the name of files[1]"},
};

TEST_F(BundleTest, WhatCannotTravelIsRefusedAtTheBundlesLine) {
  for (const RefusalCase& testCase : kRefusalCases) {
    SCOPED_TRACE(testCase.what);
    fs::remove_all(root_);
    fs::create_directories(root_);
    writeRuntimeAndJar();
    testCase.prepare(root_);
    auto plan = loadWith(testCase.fields);
    ASSERT_FALSE(plan.ok());
    std::string expected = "app.toml:" + std::to_string(testCase.line) + ": " + std::string(testCase.expected);
    if (auto at = expected.find('@'); at != std::string::npos) expected.replace(at, 1, root_.string());
    EXPECT_NE(plan.error().message.find(expected), std::string::npos) << plan.error().message;
  }
}

TEST_F(BundleTest, TheNamesMustFitTheLaunchersList) {
  // With the runtime jar's name ("runvo-runtime.jar", 17 bytes and a
  // separator) the bundle's names fit; with "app.jar;" too they do not.
  writeRuntimeWithNamesTaking(kTextCapacity - 22);
  ASSERT_TRUE(loadWith("jvm.bundle = 'runtime'\n").ok());
  auto withFiles = loadWith("jvm.bundle = 'runtime'\n[[files]]\nsource = 'app.jar'\n");
  ASSERT_FALSE(withFiles.ok());
  EXPECT_NE(withFiles.error().message.find(
                "app.toml:4: the embedded file names and the runtime jar's name take 8195 bytes together"),
            std::string::npos)
      << withFiles.error().message;
  EXPECT_NE(withFiles.error().message.find("; the bundled runtime's names are most of them"), std::string::npos);

  // Too many alone: refused before any content is read.
  writeRuntimeWithNamesTaking(2 * kTextCapacity);
  auto alone = loadWith("\njvm.bundle = 'runtime'\n");
  ASSERT_FALSE(alone.ok());
  EXPECT_NE(alone.error().message.find("app.toml:4: jvm.bundle: the runtime's "), std::string::npos)
      << alone.error().message;
  EXPECT_NE(alone.error().message.find("and the launcher reads at most 8191 of names for all embedded files"),
            std::string::npos)
      << alone.error().message;
}

TEST_F(BundleTest, BuildsRepeatByteForByte) {
  const Bytes first = buildWith("jvm.bundle = 'runtime'\n");
  EXPECT_EQ(buildWith("jvm.bundle = 'runtime'\n"), first);
}

}  // namespace
}  // namespace runvo::pack::testing
