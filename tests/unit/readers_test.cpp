#include <gtest/gtest.h>

#include "payload/config_table.h"
#include "payload/image_locator.h"
#include "support/payload_bytes.h"
#include "support/recording_log.h"

namespace runvo {
namespace {

using testing::minimalImage;
using testing::PayloadBytes;
using testing::recordedLogLines;

std::optional<std::string> loadFails(const std::vector<std::uint8_t>& payload) {
  MemorySource source(payload);
  PayloadReader reader(source);
  ConfigTable table;
  return readPayloadTables(reader, table).fatalText;
}

TEST(ImageLocator, EndsAtTheLastSectionHeadersRawData) {
  // Raw data at 0x11400 of size 0x3000 ends the image at 0x14400.
  auto image = minimalImage(0x14400);
  image[0x80 + 24 + 240 + 40 + 16] = 0x00;  // last header's raw size: 0x3000
  image[0x80 + 24 + 240 + 40 + 17] = 0x30;
  image[0x80 + 24 + 240 + 40 + 18] = 0;
  image[0x80 + 24 + 240 + 40 + 20] = 0x00;  // raw offset: 0x11400
  image[0x80 + 24 + 240 + 40 + 21] = 0x14;
  image[0x80 + 24 + 240 + 40 + 22] = 0x01;
  // An earlier section that reaches further does not count.
  image[0x80 + 24 + 240 + 16 + 2] = 0x7f;
  MemorySource source(image);
  PayloadReader reader(source);
  recordedLogLines().clear();
  ASSERT_TRUE(seekImageEnd(reader));
  EXPECT_EQ(source.position(), 0x14400u);
  const std::vector<std::string> expected{
      "number of sections: 2", "size of optional headers: 240",
      "resSectionTableStart: " + std::to_string(0x80 + 24 + 240 + 40),
      "rawDataSize: 12288, rawDataOffset: 70656"};
  EXPECT_EQ(recordedLogLines(), expected);
}

TEST(ImageLocator, TruncatedHeadersFailWithTheReaderThatFailed) {
  struct Case {
    std::size_t keep;
    Reader expected;
  };
  const auto image = minimalImage(1024);
  for (const Case& c : {Case{40, Reader::Int}, Case{0x80 + 7, Reader::Short},
                        Case{0x80 + 21, Reader::Short}, Case{0x80 + 24 + 240 + 60, Reader::Int}}) {
    std::vector<std::uint8_t> cut(image.begin(), image.begin() + c.keep);
    MemorySource source(cut);
    PayloadReader reader(source);
    EXPECT_FALSE(seekImageEnd(reader)) << c.keep;
    EXPECT_EQ(reader.failed(), c.expected) << c.keep;
  }
}

TEST(PayloadLoad, ImageWithoutPayloadFailsReadingTheMagicWithZeroBytes) {
  const auto image = minimalImage(2048);
  MemorySource source(image);
  ConfigTable table;
  recordedLogLines().clear();
  EXPECT_EQ(readPayload(source, table).fatalText, "Internal Error: readInt");
  EXPECT_EQ(recordedLogLines().back(), "error 0 0\n");
}

TEST(PayloadLoad, ReadsTablesBehindTheImage) {
  auto bytes = minimalImage(4096);
  const auto payload = PayloadBytes::tables({{101, "Svc"}}, {{20017, u"d\u00e9sc"}});
  bytes.insert(bytes.end(), payload.bytes().begin(), payload.bytes().end());
  MemorySource source(bytes);
  ConfigTable table;
  const PayloadLoad load = readPayload(source, table);
  ASSERT_FALSE(load.fatalText);
  EXPECT_EQ(load.tableEnd, bytes.size());
  EXPECT_EQ(table.getString(101), "Svc");
  EXPECT_EQ(table.getWString(20017), u"d\u00e9sc");
}

TEST(PayloadLoad, DamagedPayloadsNameTheFailingReader) {
  struct Case {
    const char* what;
    PayloadBytes bytes;
    const char* fatal;
  };
  const Case cases[] = {
      {"wrong magic", PayloadBytes().header(0xE8E413D6u).i32(0).i32(0), "Internal Error: magic"},
      {"short magic", PayloadBytes().u16(0x13D5), "Internal Error: readInt"},
      {"no 64-bit header field", PayloadBytes().u32(0xE8E413D5u).i32(0).i32(0).u32(1),
       "Internal Error: readLong"},
      {"no narrow count", PayloadBytes().header(), "Internal Error: readInt"},
      {"text cut short", PayloadBytes().header().i32(1).i32(101).i32(10).raw("abc"),
       "Internal Error: readString"},
      {"negative text length", PayloadBytes().header().i32(1).i32(101).i32(-1).zeros(64),
       "Internal Error: readString"},
      {"huge text length", PayloadBytes().header().i32(1).i32(101).i32(0x7fffffff).zeros(16),
       "Internal Error: readString"},
      {"no wide count", PayloadBytes().header().i32(0), "Internal Error: readInt"},
      {"wide text cut short", PayloadBytes().header().i32(0).i32(1).i32(20017).i32(8).u16(65),
       "Internal Error: readWString"},
      {"negative wide length", PayloadBytes().header().i32(0).i32(1).i32(20017).i32(-4).zeros(64),
       "Internal Error: readWString"},
      {"fewer entries than counted", PayloadBytes().header().i32(2).narrowEntry(101, "a"),
       "Internal Error: readInt"},
  };
  for (const Case& c : cases) EXPECT_EQ(loadFails(c.bytes.bytes()), c.fatal) << c.what;
}

TEST(PayloadLoad, CountsAndDuplicates) {
  // Negative counts mean no entries; the later of two equal keys wins; an odd
  // wide length drops its last byte.
  auto payload = PayloadBytes().header().i32(-5).i32(-1);
  MemorySource empty(payload.bytes());
  PayloadReader emptyReader(empty);
  ConfigTable emptyTable;
  ASSERT_FALSE(readPayloadTables(emptyReader, emptyTable).fatalText);
  EXPECT_TRUE(emptyTable.narrow().empty());
  EXPECT_EQ(emptyTable.getInt(107), 0);

  auto full = PayloadBytes().header().i32(3).narrowEntry(101, "first").narrowEntry(7, "").narrowEntry(101, "second");
  full.i32(1).i32(20017).i32(5).u16(u'h').u16(u'i').raw("x");
  MemorySource source(full.bytes());
  PayloadReader reader(source);
  ConfigTable table;
  const PayloadLoad load = readPayloadTables(reader, table);
  ASSERT_FALSE(load.fatalText);
  EXPECT_EQ(table.getString(101), "second");
  EXPECT_EQ(table.getString(7), "");
  EXPECT_EQ(table.getWString(20017), u"hi");
  EXPECT_EQ(load.tableEnd, full.size());
}

}  // namespace
}  // namespace runvo
