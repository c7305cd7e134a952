// The zip reader reads the user's jars: what a writer may legitimately do is
// read, and every damage is refused with a reason, never read past the end.
#include "pack/jar/zip_reader.h"

#include "pack_test_support.h"

namespace runvo::pack::testing {
namespace {

constexpr std::string_view kManifestEntry = "META-INF/MANIFEST.MF";
constexpr std::string_view kManifest =
    "Manifest-Version: 1.0\r\nMain-Class: com.example.Main\r\nCreated-By: the tests, the tests, the tests\r\n\r\n";
constexpr std::uint32_t kLimit = 1 << 20;

// Opens the archive and reads the entry: the content, or the reason either step refused.
Expected<Bytes> readEntry(const Bytes& zip, std::string_view name = kManifestEntry) {
  auto archive = ZipArchive::open(zip);
  if (!archive) return archive.error();
  const ZipEntry* entry = archive->find(name);
  if (!entry) return failure("no entry");
  return archive->read(*entry, kLimit);
}

Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

struct ReadableCase {
  std::string_view what;
  std::vector<ZipMember> members;
  ZipLayout layout;
  std::string_view lookedUp;
  std::string_view expected;
};

std::vector<ReadableCase> readableCases() {
  const std::string manifest(kManifest);
  const ZipMember stored{std::string(kManifestEntry), manifest, false};
  const ZipMember deflated{std::string(kManifestEntry), manifest, true};
  const ZipMember other{"a/b.txt", "other", true};
  return {
      {"stored", {stored}, {}, kManifestEntry, kManifest},
      {"deflated, after another entry", {other, deflated}, {}, kManifestEntry, kManifest},
      {"an empty deflated entry", {other, {"empty", "", true}}, {}, "empty", ""},
      {"a launch script in front",
       {other, deflated},
       {.prefix = "#!/bin/sh\nexec java -jar \"$0\"\n"},
       kManifestEntry,
       kManifest},
      {"a comment that holds an end signature",
       {deflated},
       {.comment = std::string("PK\x05\x06", 4) + std::string(30, 'c')},
       kManifestEntry,
       kManifest},
      {"zip64 end records", {other, deflated}, {.zip64 = true}, kManifestEntry, kManifest},
      {"zip64 end records and a launch script",
       {deflated},
       {.prefix = "#!/bin/sh\n", .zip64 = true},
       kManifestEntry,
       kManifest},
      {"the name in another case, as Java finds the manifest", {deflated}, {}, "meta-inf/manifest.mf", kManifest},
  };
}

TEST(ZipReader, ReadsStoredAndDeflatedEntriesInEveryLayout) {
  for (const ReadableCase& testCase : readableCases()) {
    SCOPED_TRACE(testCase.what);
    auto content = readEntry(makeZip(testCase.members, testCase.layout), testCase.lookedUp);
    ASSERT_TRUE(content.ok()) << content.error().message;
    EXPECT_EQ(*content, bytesOf(testCase.expected));
  }
}

TEST(ZipReader, ListsTheEntriesOfTheDirectory) {
  auto archive = ZipArchive::open(makeJar(kManifest));
  ASSERT_TRUE(archive.ok()) << archive.error().message;
  std::vector<std::string> names;
  for (const ZipEntry& entry : archive->entries()) names.push_back(entry.name);
  EXPECT_EQ(names, (std::vector<std::string>{"META-INF/", "META-INF/MANIFEST.MF", "com/example/Main.class"}));
  EXPECT_EQ(archive->find("absent"), nullptr);
}

// Positions in a one-entry archive as makeZip writes it: the local header at
// 0, its data after the name, the end record last.
struct OneEntry {
  Bytes zip;
  std::size_t end() const { return zip.size() - 22; }
  std::size_t central() const { return field(end() + 16, 4); }
  std::size_t data() const { return 30 + kManifestEntry.size(); }

  std::uint64_t field(std::size_t at, int width) const {
    std::uint64_t value = 0;
    for (int i = width; i-- > 0;) value = (value << 8) | zip[at + i];
    return value;
  }
  void set(std::size_t at, std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i) zip[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
  // Fields of the directory entry, by their offset in it.
  std::uint64_t central(std::size_t offset, int width) const { return field(central() + offset, width); }
  void setCentral(std::size_t offset, std::uint64_t value, int width) { set(central() + offset, value, width); }
};

constexpr std::size_t kFlags = 8, kMethod = 10, kCrc = 16, kCompressedSize = 20, kSize = 24, kNameLength = 28,
                      kLocalOffset = 42;

struct DamageCase {
  std::string_view what;
  bool deflated;
  void (*damage)(OneEntry&);
  std::string expected;
};

std::vector<DamageCase> damageCases() {
  const std::string size = std::to_string(kManifest.size());
  return {
      {"empty", true, [](OneEntry& z) { z.zip.clear(); }, "it is too short to be a zip file"},
      {"no zip at all", true, [](OneEntry& z) { z.zip.assign(100, 'x'); }, "it has no zip end record"},
      {"cut short", true, [](OneEntry& z) { z.zip.resize(z.zip.size() - 5); }, "it has no zip end record"},
      {"a directory larger than the file", true, [](OneEntry& z) { z.set(z.end() + 12, 0x7FFFFFF0, 4); },
       "its central directory is larger than the file"},
      {"a directory offset past the directory", true, [](OneEntry& z) { z.set(z.end() + 16, z.central() + 1000, 4); },
       "its central directory lies outside the file"},
      {"more entries than the directory holds", true, [](OneEntry& z) { z.set(z.end() + 10, 50, 2); },
       "its central directory is too small for the 50 entries it claims"},
      {"a directory not where the end record says", true,
       [](OneEntry& z) { z.set(z.end() + 12, z.field(z.end() + 12, 4) - 1, 4); },
       "its central directory is not where its end record says"},
      {"a name past the directory's end", true, [](OneEntry& z) { z.setCentral(kNameLength, 0xFFFF, 2); },
       "its central directory entry 1 runs past the directory's end"},
      {"a local header outside the file", true, [](OneEntry& z) { z.setCentral(kLocalOffset, 0x7FFFFFFF, 4); },
       "has no local header where the directory says"},
      {"a local header that is none", true, [](OneEntry& z) { z.zip[0] = 'X'; },
       "has no local header where the directory says"},
      {"data past the end of the file", true, [](OneEntry& z) { z.setCentral(kCompressedSize, 0x7FFFFFFF, 4); },
       "runs past the end of the file"},
      {"a stored entry whose sizes differ", false, [](OneEntry& z) { z.setCentral(kSize, z.central(kSize, 4) - 1, 4); },
       "is stored, but its two sizes differ"},
      {"deflate data that inflates to less", true,
       [](OneEntry& z) { z.setCentral(kSize, z.central(kSize, 4) + 10, 4); },
       "inflates to " + size + " bytes, not the " + std::to_string(kManifest.size() + 10) + " its header says"},
      {"deflate data that inflates to more", true,
       [](OneEntry& z) { z.setCentral(kSize, z.central(kSize, 4) - 10, 4); },
       "does not inflate to the " + std::to_string(kManifest.size() - 10) +
           " bytes its header says (its data goes on)"},
      {"deflate data cut short", true,
       [](OneEntry& z) { z.setCentral(kCompressedSize, z.central(kCompressedSize, 4) / 2, 4); },
       "(its data ends early)"},
      {"damaged deflate data", true, [](OneEntry& z) { z.zip[z.data()] = 0xFF; },
       "holds damaged deflate data (invalid block type)"},
      {"a wrong CRC", true, [](OneEntry& z) { z.setCentral(kCrc, z.central(kCrc, 4) ^ 1, 4); },
       "fails its CRC check: it is damaged"},
      {"an encrypted entry", true, [](OneEntry& z) { z.setCentral(kFlags, 1, 2); }, "is encrypted"},
      {"another compression method", true, [](OneEntry& z) { z.setCentral(kMethod, 12, 2); },
       "uses compression method 12; only stored and deflated entries can be read"},
      {"a size beyond the limit", true, [](OneEntry& z) { z.setCentral(kSize, 0x7FFFFFFF, 4); },
       "says it holds 2147483647 bytes, more than the 1048576 read from it"},
      {"a zip64 count without zip64 records", true, [](OneEntry& z) { z.set(z.end() + 10, 0xFFFF, 2); },
       "its end record points to zip64 records that are missing"},
      {"a zip64 size without its extra field", true, [](OneEntry& z) { z.setCentral(kSize, 0xFFFFFFFF, 4); },
       "lacks the zip64 sizes its header points to"},
  };
}

TEST(ZipReader, DamagedArchivesAreRefusedWithTheirReason) {
  for (const DamageCase& testCase : damageCases()) {
    SCOPED_TRACE(testCase.what);
    OneEntry archive{makeZip({{std::string(kManifestEntry), std::string(kManifest), testCase.deflated}})};
    ASSERT_TRUE(readEntry(archive.zip).ok());
    testCase.damage(archive);
    auto content = readEntry(archive.zip);
    ASSERT_FALSE(content.ok());
    EXPECT_NE(content.error().message.find(testCase.expected), std::string::npos) << content.error().message;
  }
}

// Every way of cutting the archive and every byte turned over: refused, or
// (where the byte does not matter) read exactly as written. Run under the
// sanitizers, this also shows that nothing is read outside the buffer.
TEST(ZipReader, NoTruncationOrSingleByteDamageGivesOtherContent) {
  for (const ZipLayout& layout : {ZipLayout{}, ZipLayout{.prefix = "#!", .zip64 = true}}) {
    const Bytes original =
        makeZip({{"x", "first", false}, {std::string(kManifestEntry), std::string(kManifest), true}}, layout);
    const Bytes expected = bytesOf(kManifest);
    ASSERT_TRUE(readEntry(original).ok());
    for (std::size_t size = 0; size < original.size(); ++size) {
      const Bytes cut(original.begin(), original.begin() + size);
      if (auto content = readEntry(cut)) {
        EXPECT_EQ(*content, expected) << "cut to " << size;
      }
    }
    std::size_t refused = 0;
    for (std::size_t at = 0; at < original.size(); ++at) {
      Bytes damaged = original;
      damaged[at] ^= 0xFF;
      if (auto content = readEntry(damaged)) {
        EXPECT_EQ(*content, expected) << "byte " << at;
      } else {
        ++refused;
      }
    }
    // Both outcomes occur: the loop neither refuses nor accepts everything.
    EXPECT_GT(refused, 0u);
    EXPECT_LT(refused, original.size());
  }
}

}  // namespace
}  // namespace runvo::pack::testing
