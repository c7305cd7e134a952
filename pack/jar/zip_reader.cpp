#include "pack/jar/zip_reader.h"

#include <zlib.h>

#include <algorithm>
#include <optional>

namespace runvo::pack {

namespace {

constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kLocalSignature = 0x04034b50;

constexpr std::uint64_t kEndSize = 22;
constexpr std::uint64_t kZip64LocatorSize = 20;
constexpr std::uint64_t kZip64EndSize = 56;
constexpr std::uint64_t kCentralSize = 46;
constexpr std::uint64_t kLocalSize = 30;
constexpr std::uint64_t kLongestComment = 0xFFFF;

// A 16- or 32-bit field that holds this value has its real value in the
// zip64 records.
constexpr std::uint16_t kZip64Count = 0xFFFF;
constexpr std::uint32_t kZip64Value = 0xFFFFFFFF;
constexpr std::uint16_t kZip64ExtraTag = 0x0001;

constexpr std::uint16_t kEncryptedFlag = 0x0001;
constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kDeflated = 8;

// Little-endian fields of the archive. Every read is preceded by a holds()
// check of its range, so no offset from the file reaches memory unchecked.
class Fields {
 public:
  explicit Fields(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::uint64_t size() const { return bytes_.size(); }
  bool holds(std::uint64_t offset, std::uint64_t length) const {
    return offset <= bytes_.size() && length <= bytes_.size() - offset;
  }
  std::uint64_t number(std::uint64_t offset, int width) const {
    std::uint64_t value = 0;
    for (int i = width - 1; i >= 0; --i) value = (value << 8) | bytes_[offset + i];
    return value;
  }
  std::uint16_t u16(std::uint64_t offset) const { return static_cast<std::uint16_t>(number(offset, 2)); }
  std::uint32_t u32(std::uint64_t offset) const { return static_cast<std::uint32_t>(number(offset, 4)); }
  std::uint64_t u64(std::uint64_t offset) const { return number(offset, 8); }
  std::span<const std::uint8_t> range(std::uint64_t offset, std::uint64_t length) const {
    return bytes_.subspan(offset, length);
  }

 private:
  std::span<const std::uint8_t> bytes_;
};

// Where the central directory lies, and how many bytes stand in front of
// the archive (its offsets count from the archive's own start).
struct Directory {
  std::uint64_t start = 0;
  std::uint64_t size = 0;
  std::uint64_t entryCount = 0;
  std::uint64_t prefixSize = 0;
};

struct DirectoryFields {
  std::uint64_t entryCount = 0;
  std::uint64_t size = 0;
  std::uint64_t offset = 0;
  std::uint64_t end = 0;  // where the record that describes the directory starts
};

// The zip64 end record: where its locator (just before the end record) says,
// or right before the locator when bytes in front of the archive shift it.
Expected<DirectoryFields> zip64DirectoryFields(const Fields& zip, std::uint64_t endRecord) {
  if (endRecord < kZip64LocatorSize || zip.u32(endRecord - kZip64LocatorSize) != kZip64LocatorSignature) {
    return failure("its end record points to zip64 records that are missing");
  }
  const std::uint64_t locator = endRecord - kZip64LocatorSize;
  std::uint64_t record = zip.u64(locator + 8);
  if (!zip.holds(record, kZip64EndSize) || zip.u32(record) != kZip64EndSignature) {
    record = locator >= kZip64EndSize ? locator - kZip64EndSize : zip.size();
  }
  if (!zip.holds(record, kZip64EndSize) || zip.u32(record) != kZip64EndSignature) {
    return failure("its zip64 end record is missing");
  }
  return DirectoryFields{zip.u64(record + 32), zip.u64(record + 40), zip.u64(record + 48), record};
}

Expected<Directory> directoryOf(const Fields& zip, std::uint64_t endRecord) {
  DirectoryFields fields{zip.u16(endRecord + 10), zip.u32(endRecord + 12), zip.u32(endRecord + 16), endRecord};
  if (fields.entryCount == kZip64Count || fields.size == kZip64Value || fields.offset == kZip64Value) {
    auto zip64 = zip64DirectoryFields(zip, endRecord);
    if (!zip64) return zip64.error();
    fields = *zip64;
  }
  if (fields.size > fields.end) return failure("its central directory is larger than the file");
  const std::uint64_t start = fields.end - fields.size;
  if (fields.offset > start) return failure("its central directory lies outside the file");
  if (fields.entryCount > fields.size / kCentralSize) {
    return failure("its central directory is too small for the " + std::to_string(fields.entryCount) +
                   " entries it claims");
  }
  if (fields.entryCount > 0 && zip.u32(start) != kCentralSignature) {
    return failure("its central directory is not where its end record says");
  }
  return Directory{start, fields.size, fields.entryCount, start - fields.offset};
}

// The end record is the last one whose comment fits the file and whose
// directory is where it says: a comment may itself hold the signature.
Expected<Directory> findDirectory(const Fields& zip) {
  if (zip.size() < kEndSize) return failure("it is too short to be a zip file");
  const std::uint64_t last = zip.size() - kEndSize;
  const std::uint64_t first = last > kLongestComment ? last - kLongestComment : 0;
  std::optional<PackError> problem;
  for (std::uint64_t at = last + 1; at-- > first;) {
    if (zip.u32(at) != kEndSignature || at + kEndSize + zip.u16(at + 20) > zip.size()) continue;
    auto directory = directoryOf(zip, at);
    if (directory) return directory;
    if (!problem) problem = directory.error();
  }
  if (problem) return *problem;
  return failure("it has no zip end record (it is no zip file, or it is cut short)");
}

// The zip64 extra field holds, in this order, those of the size, compressed
// size and offset whose 32-bit fields are full.
Status readZip64Extra(const Fields& zip, std::uint64_t extra, std::uint64_t extraLength, ZipEntry& entry) {
  std::uint64_t* wanted[3] = {entry.size == kZip64Value ? &entry.size : nullptr,
                              entry.compressedSize == kZip64Value ? &entry.compressedSize : nullptr,
                              entry.localHeaderOffset == kZip64Value ? &entry.localHeaderOffset : nullptr};
  for (std::uint64_t at = extra; at + 4 <= extra + extraLength;) {
    const std::uint16_t tag = zip.u16(at);
    const std::uint64_t length = zip.u16(at + 2);
    const std::uint64_t data = at + 4;
    if (length > extra + extraLength - data) break;
    if (tag == kZip64ExtraTag) {
      std::uint64_t used = 0;
      for (std::uint64_t* field : wanted) {
        if (!field) continue;
        if (used + 8 > length) return failure("the entry \"" + entry.name + "\" has a zip64 field that is cut short");
        *field = zip.u64(data + used);
        used += 8;
      }
      return Done{};
    }
    at = data + length;
  }
  if (std::ranges::any_of(wanted, [](const std::uint64_t* field) { return field != nullptr; })) {
    return failure("the entry \"" + entry.name + "\" lacks the zip64 sizes its header points to");
  }
  return Done{};
}

Expected<std::vector<ZipEntry>> readEntries(const Fields& zip, const Directory& directory) {
  std::vector<ZipEntry> entries;
  const std::uint64_t end = directory.start + directory.size;
  std::uint64_t at = directory.start;
  for (std::uint64_t i = 0; i < directory.entryCount; ++i) {
    const std::string number = "entry " + std::to_string(i + 1);
    if (at + kCentralSize > end || zip.u32(at) != kCentralSignature) {
      return failure("its central directory breaks off at " + number);
    }
    const std::uint64_t nameLength = zip.u16(at + 28);
    const std::uint64_t extraLength = zip.u16(at + 30);
    const std::uint64_t commentLength = zip.u16(at + 32);
    const std::uint64_t name = at + kCentralSize;
    if (nameLength + extraLength + commentLength > end - name) {
      return failure("its central directory " + number + " runs past the directory's end");
    }
    const auto nameBytes = zip.range(name, nameLength);
    ZipEntry entry{.name = std::string(nameBytes.begin(), nameBytes.end()),
                   .flags = zip.u16(at + 8),
                   .method = zip.u16(at + 10),
                   .crc = zip.u32(at + 16),
                   .compressedSize = zip.u32(at + 20),
                   .size = zip.u32(at + 24),
                   .localHeaderOffset = zip.u32(at + 42)};
    if (auto extra = readZip64Extra(zip, name + nameLength, extraLength, entry); !extra) return extra.error();
    entries.push_back(std::move(entry));
    at = name + nameLength + extraLength + commentLength;
  }
  return entries;
}

// Frees the inflater on every path out.
class Inflater {
 public:
  Inflater() { ready_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK; }
  ~Inflater() {
    if (ready_) inflateEnd(&stream_);
  }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;

  bool ready() const { return ready_; }
  z_stream& stream() { return stream_; }

 private:
  z_stream stream_{};
  bool ready_ = false;
};

// Raw deflate data into exactly `size` bytes. The byte of room beyond the
// size gives an empty entry a buffer too, and tells an entry that inflates to
// one byte more than it says by its count.
Expected<Bytes> inflated(std::span<const std::uint8_t> data, std::uint32_t size, const std::string& name) {
  Inflater inflater;
  if (!inflater.ready()) return failure("cannot set up zlib's inflate for the entry \"" + name + "\"");
  Bytes content(std::size_t{size} + 1);
  z_stream& stream = inflater.stream();
  stream.next_in = const_cast<Bytef*>(data.data());
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = content.data();
  stream.avail_out = static_cast<uInt>(content.size());
  const int result = inflate(&stream, Z_FINISH);
  if (result == Z_DATA_ERROR) {
    return failure("the entry \"" + name + "\" holds damaged deflate data" +
                   (stream.msg ? " (" + std::string(stream.msg) + ")" : std::string()));
  }
  if (result != Z_STREAM_END) {
    return failure("the entry \"" + name + "\" does not inflate to the " + std::to_string(size) +
                   " bytes its header says (its data " + (stream.avail_out == 0 ? "goes on" : "ends early") + ")");
  }
  if (stream.total_out != size) {
    return failure("the entry \"" + name + "\" inflates to " + std::to_string(stream.total_out) + " bytes, not the " +
                   std::to_string(size) + " its header says");
  }
  content.resize(size);
  return content;
}

}  // namespace

Expected<ZipArchive> ZipArchive::open(std::span<const std::uint8_t> bytes) {
  const Fields zip(bytes);
  auto directory = findDirectory(zip);
  if (!directory) return directory.error();
  auto entries = readEntries(zip, *directory);
  if (!entries) return entries.error();
  return ZipArchive(bytes, directory->prefixSize, std::move(*entries));
}

const ZipEntry* ZipArchive::find(std::string_view name) const {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  const auto found = std::ranges::find_if(
      entries_, [&](const ZipEntry& entry) { return std::ranges::equal(entry.name, name, {}, lower, lower); });
  return found == entries_.end() ? nullptr : &*found;
}

Expected<Bytes> ZipArchive::read(const ZipEntry& entry, std::uint32_t largest) const {
  const std::string quoted = "the entry \"" + entry.name + "\"";
  if (entry.flags & kEncryptedFlag) return failure(quoted + " is encrypted");
  if (entry.method != kStored && entry.method != kDeflated) {
    return failure(quoted + " uses compression method " + std::to_string(entry.method) +
                   "; only stored and deflated entries can be read");
  }
  // One byte more than the size must still fit zlib's 32-bit counters.
  if (entry.size > std::min<std::uint32_t>(largest, 0xFFFFFFFEu)) {
    return failure(quoted + " says it holds " + std::to_string(entry.size) + " bytes, more than the " +
                   std::to_string(largest) + " read from it");
  }
  const Fields zip(bytes_);
  const std::uint64_t local = entry.localHeaderOffset;
  if (local > zip.size() - prefixSize_ || !zip.holds(prefixSize_ + local, kLocalSize) ||
      zip.u32(prefixSize_ + local) != kLocalSignature) {
    return failure(quoted + " has no local header where the directory says");
  }
  const std::uint64_t header = prefixSize_ + local;
  const std::uint64_t data = header + kLocalSize + zip.u16(header + 26) + zip.u16(header + 28);
  if (!zip.holds(data, entry.compressedSize)) return failure(quoted + " runs past the end of the file");
  const auto compressed = zip.range(data, entry.compressedSize);

  Bytes content;
  if (entry.method == kStored) {
    if (entry.compressedSize != entry.size) {
      return failure(quoted + " is stored, but its two sizes differ (" + std::to_string(entry.compressedSize) +
                     " and " + std::to_string(entry.size) + ")");
    }
    content.assign(compressed.begin(), compressed.end());
  } else {
    // zlib counts input in 32 bits; an entry this large is no manifest anyway.
    if (entry.compressedSize > 0xFFFFFFFFu) return failure(quoted + " is too large to inflate");
    auto unpacked = inflated(compressed, static_cast<std::uint32_t>(entry.size), entry.name);
    if (!unpacked) return unpacked.error();
    content = std::move(*unpacked);
  }
  const uLong crc = content.empty() ? 0 : crc32(0, content.data(), static_cast<uInt>(content.size()));
  if (crc != entry.crc) return failure(quoted + " fails its CRC check: it is damaged");
  return content;
}

}  // namespace runvo::pack
