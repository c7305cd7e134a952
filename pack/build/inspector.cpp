#include "pack/build/inspector.h"

#include <algorithm>
#include <vector>

#include "pack/image/authenticode.h"
#include "pack/common/byte_fields.h"
#include "pack/config/key_catalogue.h"
#include "pack/image/pe_image.h"
#include "pack/common/text_encoding.h"
#include "payload/byte_source.h"
#include "payload/config_keys.h"
#include "payload/config_table.h"

namespace runvo::pack {

namespace {

constexpr std::size_t kRecordSizeField = 8;

// The common escapes; nothing for a character that needs no escape.
std::optional<std::string> asciiEscape(char32_t c) {
  if (c == '\\') return "\\\\";
  if (c == '"') return "\\\"";
  return asciiControlEscape(c);
}

std::string keyName(std::int32_t key, bool wide) {
  const NamedKey* entry = findNamedKeyByNumber(key, wide);
  return entry ? entry->qualifiedName() : "raw";
}

// The names as the launcher splits them: at ";", dropping empty pieces.
std::vector<std::string> splitNames(const std::string& joined) {
  std::vector<std::string> names;
  std::size_t start = 0;
  while (start <= joined.size()) {
    const std::size_t end = std::min(joined.find(';', start), joined.size());
    if (end > start) names.push_back(joined.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

std::int64_t readRecordSize(const Bytes& bytes, std::uint64_t at) {
  return static_cast<std::int64_t>(readLittleEndian(bytes, at, kRecordSizeField));
}

class Listing {
 public:
  void line(const std::string& text) { text_ += text + "\n"; }
  void warning(const std::string& text) {
    line("warning " + text);
    damaged_ = true;
  }
  Inspection finish() { return {std::move(text_), damaged_}; }

 private:
  std::string text_;
  bool damaged_ = false;
};

void listTables(Listing& listing, const ConfigTable& table) {
  for (const auto& [key, text] : table.narrow()) {
    listing.line("narrow " + std::to_string(key) + " " + keyName(key, false) + " " +
                 quotedNarrowText(text));
  }
  for (const auto& [key, text] : table.wide()) {
    listing.line("wide " + std::to_string(key) + " " + keyName(key, true) + " " + quotedWideText(text));
  }
}

// Walks the records the way the launcher reads them: as many as the count key
// says. Returns where they end, or nothing when they run past the file's end.
std::optional<std::uint64_t> listFiles(Listing& listing, const Bytes& bytes, const ConfigTable& table,
                                       std::uint32_t tableEnd) {
  const int count = table.getInt(kKeyEmbeddedFileCount);
  const std::vector<std::string> names = splitNames(table.getString(kKeyEmbeddedFileNames));
  const std::string countKey = "key " + std::to_string(kKeyEmbeddedFileCount);
  const std::string namesKey = "key " + std::to_string(kKeyEmbeddedFileNames);
  if (count < 0) listing.warning(countKey + " is negative (" + std::to_string(count) + ")");
  if (count >= 0 && names.size() != static_cast<std::size_t>(count)) {
    listing.warning(namesKey + " names " + std::to_string(names.size()) + " files, but " + countKey + " says " +
                    std::to_string(count));
  }

  std::uint64_t at = tableEnd;
  for (int index = 0; index < count; ++index) {
    const std::string name = index < static_cast<int>(names.size()) ? quotedNarrowText(names[index]) : "(unnamed)";
    if (bytes.size() - at < kRecordSizeField) {
      listing.warning(countKey + " says " + std::to_string(count) + " files, but the data ends after " +
                      std::to_string(index) + " records");
      return std::nullopt;
    }
    const std::int64_t size = readRecordSize(bytes, at);
    at += kRecordSizeField;
    if (size < 0) {
      listing.warning("record " + std::to_string(index + 1) + " " + name + " has a negative size (" +
                      std::to_string(size) + "), which the launcher refuses as damaged");
      return std::nullopt;
    }
    if (static_cast<std::uint64_t>(size) > bytes.size() - at) {
      listing.warning("record " + std::to_string(index + 1) + " " + name + " says " + std::to_string(size) +
                      " bytes, but only " + std::to_string(bytes.size() - at) + " follow");
      return std::nullopt;
    }
    listing.line("file " + std::to_string(index + 1) + " " + std::to_string(size) + " " + name);
    at += static_cast<std::uint64_t>(size);
  }
  return at;
}

void listTrailingBytes(Listing& listing, std::uint64_t from, std::uint64_t to, const std::string& where) {
  if (to > from) listing.line("trailing-bytes " + std::to_string(to - from) + where);
}

bool allZero(const Bytes& bytes, std::uint64_t from, std::uint64_t to) {
  return std::all_of(bytes.begin() + from, bytes.begin() + to, [](std::uint8_t byte) { return byte == 0; });
}

void listSignature(Listing& listing, const SignatureReport& signature) {
  listing.line("signature " + std::to_string(signature.offset) + " " + std::to_string(signature.size));
  listing.line("signed-by " + quotedNarrowText(signature.subject));
  listing.line("signature-digest " + signature.digestName + " " + signature.digestHex);
  const char* covers = !signature.coversFile ? "unchecked" : *signature.coversFile ? "yes" : "no";
  listing.line("signature-covers-file " + std::string(covers));
}

// What follows the records: the padding a signing tool adds to reach an
// 8-byte boundary, the signature, and anything else as trailing bytes.
void listAfterRecords(Listing& listing, const Bytes& bytes, std::uint64_t recordsEnd,
                      const std::optional<SignatureReport>& signature) {
  if (!signature || signature->offset < recordsEnd) {
    listTrailingBytes(listing, recordsEnd, bytes.size(), "");
    if (signature) listSignature(listing, *signature);
    return;
  }
  const std::uint64_t gap = signature->offset - recordsEnd;
  if (gap < 8 && allZero(bytes, recordsEnd, signature->offset)) {
    if (gap > 0) listing.line("signature-padding " + std::to_string(gap));
  } else {
    listTrailingBytes(listing, recordsEnd, signature->offset, " before the signature");
  }
  listSignature(listing, *signature);
  listTrailingBytes(listing, std::uint64_t{signature->offset} + signature->size, bytes.size(), " after the signature");
}

}  // namespace

Expected<Inspection> inspectExecutable(const Bytes& executable) {
  const auto layout = locateImageEnd(executable);
  if (!layout) return layout.error();
  if (!layout->hasAppendedData()) {
    return failure("carries no payload: the file ends where its image ends (offset " +
                   std::to_string(layout->imageEnd) + ")");
  }

  ConfigTable table;
  MemorySource source(executable);
  const PayloadLoad load = readPayload(source, table);
  if (load.fatalText) {
    if (*load.fatalText == "Internal Error: magic") {
      return failure("has data after its image end (offset " + std::to_string(layout->imageEnd) +
                     ") that is not a runvo payload (wrong magic number)");
    }
    return failure("has a damaged payload: its tables are cut short (" + *load.fatalText + ")");
  }

  Listing listing;
  listing.line("image-end " + std::to_string(layout->imageEnd));
  listing.line("table-end " + std::to_string(load.tableEnd));
  listTables(listing, table);
  const std::optional<std::uint64_t> recordsEnd = listFiles(listing, executable, table, load.tableEnd);
  auto signature = readSignature(executable);
  if (!signature) {
    listing.warning(signature.error().message);
  } else if (recordsEnd) {
    listAfterRecords(listing, executable, *recordsEnd, *signature);
  } else if (*signature) {
    listSignature(listing, **signature);
  }
  return listing.finish();
}

std::string quotedNarrowText(std::string_view windows1252) {
  std::string quoted = "\"";
  for (const char byte : windows1252) {
    const auto value = static_cast<std::uint8_t>(byte);
    const std::optional<char32_t> character = windows1252ToUnicode(value);
    if (auto escape = asciiEscape(value)) {
      quoted += *escape;
    } else if (character) {
      appendUtf8(quoted, *character);
    } else {
      quoted += hexEscape("\\x%02X", value);
    }
  }
  return quoted + "\"";
}

std::string quotedWideText(const WideString& utf16) {
  std::string quoted = "\"";
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    const char32_t unit = utf16[i];
    const bool pairStarts = unit >= 0xD800 && unit < 0xDC00 && i + 1 < utf16.size() &&
                            utf16[i + 1] >= 0xDC00 && utf16[i + 1] < 0xE000;
    if (pairStarts) {
      appendUtf8(quoted, 0x10000 + ((unit - 0xD800) << 10) + (utf16[++i] - 0xDC00));
    } else if (auto escape = asciiEscape(unit)) {
      quoted += *escape;
    } else if ((unit >= 0x80 && unit < 0xA0) || (unit >= 0xD800 && unit < 0xE000)) {
      quoted += hexEscape("\\u%04X", static_cast<unsigned>(unit));
    } else {
      appendUtf8(quoted, unit);
    }
  }
  return quoted + "\"";
}

}  // namespace runvo::pack
