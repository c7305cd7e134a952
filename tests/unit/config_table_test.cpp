#include <gtest/gtest.h>

#include "payload/config_table.h"
#include "payload/payload_writer.h"

namespace runvo {
namespace {

TEST(ConfigTable, IntegerValuesReadLikeAtoi) {
  const std::pair<const char*, int> cases[] = {
      {"4", 4},     {" 12", 12},     {"-3", -3}, {"7abc", 7},       {"abc", 0},
      {"", 0},      {"\t\n+5", 5},   {"- 5", 0}, {"99999999999", 2147483647},
      {"-99999999999", -2147483647 - 1},
  };
  for (const auto& [text, expected] : cases) {
    ConfigTable table;
    table.setNarrow(107, text);
    EXPECT_EQ(table.getInt(107), expected) << '"' << text << '"';
  }
  EXPECT_EQ(ConfigTable().getInt(107), 0);
}

TEST(ConfigTable, ValuesAreCutToTheCallersCapacity) {
  ConfigTable table;
  table.setNarrow(2001, "installer");
  table.setNarrow(101, std::string(10000, 'n'));
  table.setWide(20017, std::u16string(9000, u'w'));
  EXPECT_EQ(table.getString(2001, 2), "i");
  EXPECT_EQ(table.getString(2001, 1), "");
  EXPECT_EQ(table.getString(101).size(), kTextCapacity - 1);
  EXPECT_EQ(table.getWString(20017).size(), kTextCapacity - 1);
  EXPECT_EQ(table.getString(999), "");
}

TEST(PayloadWriter, WhatIsWrittenReadsBackWithItsRecords) {
  ConfigTable written;
  written.setNarrow(2003, "a.jar;lib\\b.jar");
  written.setNarrow(101, "Svc");
  written.setWide(20017, u"Beschreibung \u00fc");
  Bytes bytes;
  appendPayloadTables(bytes, written);
  appendFileRecord(bytes, {0x00, 0xA7, 0xFF});

  MemorySource source(bytes);
  PayloadReader reader(source);
  ConfigTable read;
  const PayloadLoad load = readPayloadTables(reader, read);
  ASSERT_FALSE(load.fatalText);
  EXPECT_EQ(read.narrow(), written.narrow());
  EXPECT_EQ(read.wide(), written.wide());
  std::int64_t size = 0;
  ASSERT_TRUE(reader.readLong(size));
  EXPECT_EQ(size, 3);
  const std::vector<std::uint8_t> content(bytes.end() - 3, bytes.end());
  EXPECT_EQ(content, (std::vector<std::uint8_t>{0xA7, 0x00, 0x58}));
}

}  // namespace
}  // namespace runvo
