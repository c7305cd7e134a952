// The payload's fields and records: every reader must take exactly its
// bytes or fail and keep the first failure, what the builder writes must
// read back unchanged, and a number must read as atoi reads it.
// Input: a script of reads (one byte each), a table (keys and texts), then
// the byte stream the script reads, which is also the content of one record.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "payload/config_table.h"
#include "payload/payload_writer.h"

namespace {

using runvo::Bytes;
using runvo::PayloadReader;

std::uint64_t littleEndian(const Bytes& bytes, std::size_t at, std::size_t count) {
  std::uint64_t value = 0;
  for (std::size_t i = count; i-- > 0;) value = (value << 8) | bytes[at + i];
  return value;
}

template <typename T>
bool readFixed(PayloadReader& reader, bool (PayloadReader::*read)(T&), const Bytes& stream, std::size_t at) {
  T value = 0;
  if (!(reader.*read)(value)) return false;
  FUZZ_EXPECT(reader.source().position() == at + sizeof(T));
  FUZZ_EXPECT(value == static_cast<T>(littleEndian(stream, at, sizeof(T))));
  return true;
}

bool readString(PayloadReader& reader, const Bytes& stream, std::size_t at) {
  std::string value;
  if (!reader.readString(value)) return false;
  FUZZ_EXPECT(littleEndian(stream, at, 4) == value.size());
  FUZZ_EXPECT(reader.source().position() == at + 4 + value.size());
  FUZZ_EXPECT(std::equal(value.begin(), value.end(), stream.begin() + at + 4,
                         [](char c, std::uint8_t byte) { return static_cast<std::uint8_t>(c) == byte; }));
  return true;
}

bool readWString(PayloadReader& reader, const Bytes& stream, std::size_t at) {
  runvo::WideString value;
  if (!reader.readWString(value)) return false;
  const std::uint64_t length = littleEndian(stream, at, 4);
  FUZZ_EXPECT(reader.source().position() == at + 4 + length);
  FUZZ_EXPECT(value.size() == length / 2);
  return true;
}

bool readOne(PayloadReader& reader, std::uint8_t step, const Bytes& stream) {
  const std::size_t at = reader.source().position();
  switch (step % 5) {
    case 0: return readFixed(reader, &PayloadReader::readShort, stream, at);
    case 1: return readFixed(reader, &PayloadReader::readInt, stream, at);
    case 2: return readFixed(reader, &PayloadReader::readLong, stream, at);
    case 3: return readString(reader, stream, at);
    default: return readWString(reader, stream, at);
  }
}

void checkReaderScript(const Bytes& script, const Bytes& stream) {
  runvo::MemorySource source(stream);
  PayloadReader reader(source);
  std::optional<runvo::Reader> firstFailure;
  for (std::uint8_t step : script) {
    const bool read = readOne(reader, step, stream);
    FUZZ_EXPECT(source.position() <= stream.size());
    if (!read && !firstFailure) firstFailure = reader.failed();
    FUZZ_EXPECT(read || reader.failed());
    FUZZ_EXPECT(reader.failed() == firstFailure);
  }
}

runvo::ConfigTable tableFrom(FuzzedDataProvider& input) {
  runvo::ConfigTable table;
  for (int i = input.ConsumeIntegralInRange(0, 6); i > 0; --i) {
    const std::int32_t key = input.ConsumeIntegral<std::int32_t>();
    table.setNarrow(key, input.ConsumeRandomLengthString(64));
  }
  for (int i = input.ConsumeIntegralInRange(0, 6); i > 0; --i) {
    const std::string bytes = input.ConsumeRandomLengthString(64);
    runvo::WideString text;
    for (std::size_t at = 0; at + 1 < bytes.size(); at += 2) {
      text += static_cast<char16_t>(static_cast<std::uint8_t>(bytes[at]) | static_cast<std::uint8_t>(bytes[at + 1]) << 8);
    }
    table.setWide(input.ConsumeIntegral<std::int32_t>(), std::move(text));
  }
  return table;
}

void checkRoundTrip(const runvo::ConfigTable& table, const Bytes& content) {
  Bytes payload;
  runvo::appendPayloadTables(payload, table);
  const std::size_t tablesEnd = payload.size();
  runvo::appendFileRecord(payload, content);

  runvo::MemorySource source(payload);
  PayloadReader reader(source);
  runvo::ConfigTable readBack;
  const runvo::PayloadLoad load = runvo::readPayloadTables(reader, readBack);
  FUZZ_EXPECT(!load.fatalText && load.tableEnd == tablesEnd);
  FUZZ_EXPECT(readBack.narrow() == table.narrow() && readBack.wide() == table.wide());

  std::int64_t size = -1;
  FUZZ_EXPECT(reader.readLong(size) && static_cast<std::uint64_t>(size) == content.size());
  FUZZ_EXPECT(source.remaining() == content.size());
  for (std::size_t i = 0; i < content.size(); ++i) {
    FUZZ_EXPECT((payload[tablesEnd + 8 + i] ^ runvo::kScrambleKey) == content[i]);
  }
}

// atoi with saturation, as the C library reads a number.
void checkLeadingInt(const std::string& text) {
  if (text.find('\0') != std::string::npos) return;
  const long long value = std::strtoll(text.c_str(), nullptr, 10);
  FUZZ_EXPECT(runvo::parseLeadingInt(text) == std::clamp<long long>(value, INT_MIN, INT_MAX));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const Bytes script = input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, 16));
  const runvo::ConfigTable table = tableFrom(input);
  const Bytes stream = input.ConsumeRemainingBytes<std::uint8_t>();
  checkReaderScript(script, stream);
  checkRoundTrip(table, stream);
  for (const auto& [key, text] : table.narrow()) checkLeadingInt(text);
  return 0;
}
