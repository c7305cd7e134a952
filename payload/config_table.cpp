#include "payload/config_table.h"

#include <climits>

#include "payload/image_locator.h"

namespace runvo {

namespace {
template <typename Map>
auto cappedValue(const Map& map, std::int32_t key, std::size_t capacity) {
  typename Map::mapped_type value;
  auto it = map.find(key);
  if (it == map.end() || capacity == 0) return value;
  value = it->second.substr(0, capacity - 1);
  return value;
}

bool isCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
}  // namespace

std::string ConfigTable::getString(std::int32_t key, std::size_t capacity) const {
  return cappedValue(narrow_, key, capacity);
}

WideString ConfigTable::getWString(std::int32_t key, std::size_t capacity) const {
  return cappedValue(wide_, key, capacity);
}

int ConfigTable::getInt(std::int32_t key) const { return parseLeadingInt(getString(key)); }

int parseLeadingInt(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && isCSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) break;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

PayloadLoad readPayloadTables(PayloadReader& reader, ConfigTable& table) {
  PayloadLoad load;
  auto failed = [&] {
    load.fatalText = internalErrorText(*reader.failed());
    return load;
  };

  std::int32_t magic = 0;
  if (!reader.readInt(magic)) return failed();
  if (static_cast<std::uint32_t>(magic) != kPayloadMagic) {
    load.fatalText = "Internal Error: magic";
    return load;
  }
  std::int32_t unused32 = 0;
  std::int64_t unused64 = 0;
  if (!reader.readInt(unused32) || !reader.readInt(unused32) || !reader.readLong(unused64)) {
    return failed();
  }

  std::int32_t count = 0;
  if (!reader.readInt(count)) return failed();
  for (std::int32_t i = 0; i < count; ++i) {
    std::int32_t key = 0;
    std::string text;
    if (!reader.readInt(key) || !reader.readString(text)) return failed();
    table.setNarrow(key, std::move(text));
  }

  if (!reader.readInt(count)) return failed();
  for (std::int32_t i = 0; i < count; ++i) {
    std::int32_t key = 0;
    WideString text;
    if (!reader.readInt(key) || !reader.readWString(text)) return failed();
    table.setWide(key, std::move(text));
  }

  load.tableEnd = reader.source().position();
  return load;
}

PayloadLoad readPayload(ByteSource& executable, ConfigTable& table) {
  PayloadReader reader(executable);
  if (!seekImageEnd(reader)) {
    PayloadLoad load;
    load.fatalText = internalErrorText(*reader.failed());
    return load;
  }
  return readPayloadTables(reader, table);
}

}  // namespace runvo
