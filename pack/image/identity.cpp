#include "pack/image/identity.h"

#include <charconv>

#include "pack/common/byte_fields.h"
#include "pack/common/text_encoding.h"

namespace runvo::pack {

namespace {

constexpr std::uint32_t kIconHeaderSize = 6;
constexpr std::uint32_t kIconEntrySize = 16;
constexpr std::uint16_t kIconType = 1;

void alignTo4(Bytes& bytes) {
  while (bytes.size() % 4 != 0) bytes.push_back(0);
}

void appendWide(Bytes& bytes, const WideString& text) {
  for (const auto unit : text) appendLittleEndian(bytes, unit, 2);
  appendLittleEndian(bytes, 0, 2);
}

// One node of the version resource's tree: length, value length, type, key,
// value and children, each part aligned to 4 bytes.
Bytes versionNode(std::string_view key, const Bytes& value, std::uint16_t valueLength, bool textValue,
                  const std::vector<Bytes>& children) {
  Bytes node(6, 0);
  appendWide(node, utf8ToUtf16(key));
  alignTo4(node);
  node.insert(node.end(), value.begin(), value.end());
  for (const Bytes& child : children) {
    alignTo4(node);
    node.insert(node.end(), child.begin(), child.end());
  }
  writeLittleEndian(node, 0, node.size(), 2);
  writeLittleEndian(node, 2, valueLength, 2);
  writeLittleEndian(node, 4, textValue ? 1 : 0, 2);
  return node;
}

Bytes stringNode(std::string_view key, std::string_view text) {
  Bytes value;
  const WideString wide = utf8ToUtf16(text);
  appendWide(value, wide);
  return versionNode(key, value, static_cast<std::uint16_t>(wide.size() + 1), true, {});
}

std::string versionText(const std::array<std::uint16_t, 4>& version) {
  return std::to_string(version[0]) + "." + std::to_string(version[1]) + "." + std::to_string(version[2]) + "." +
         std::to_string(version[3]);
}

Bytes fixedFileInfo(const std::optional<std::array<std::uint16_t, 4>>& version) {
  const std::array<std::uint16_t, 4> numbers = version.value_or(std::array<std::uint16_t, 4>{});
  const std::uint32_t mostSignificant = (std::uint32_t{numbers[0]} << 16) | numbers[1];
  const std::uint32_t leastSignificant = (std::uint32_t{numbers[2]} << 16) | numbers[3];
  Bytes info;
  for (const std::uint32_t field : {0xFEEF04BDu, 0x00010000u, mostSignificant, leastSignificant, mostSignificant,
                                    leastSignificant, 0x3Fu, 0u, 0x00040004u /* VOS_NT_WINDOWS32 */,
                                    1u /* VFT_APP */, 0u, 0u, 0u}) {
    appendLittleEndian(info, field, 4);
  }
  return info;
}

}  // namespace

Expected<std::vector<IconImage>> readIconFile(const Bytes& file) {
  if (file.size() < kIconHeaderSize || readU16(file, 0) != 0 || readU16(file, 2) != kIconType) {
    return failure("is not an icon file (.ico): it does not start with an icon directory");
  }
  const std::uint32_t count = readU16(file, 4);
  if (count == 0) return failure("is an icon file without images");
  if (kIconHeaderSize + std::uint64_t{kIconEntrySize} * count > file.size()) {
    return failure("is a damaged icon file: its directory of " + std::to_string(count) + " images is cut off");
  }
  std::vector<IconImage> images;
  for (std::uint32_t index = 0; index < count; ++index) {
    const std::uint32_t entry = kIconHeaderSize + kIconEntrySize * index;
    const std::uint32_t size = readU32(file, entry + 8);
    const std::uint32_t offset = readU32(file, entry + 12);
    if (size == 0 || offset < kIconHeaderSize + kIconEntrySize * count || std::uint64_t{offset} + size > file.size()) {
      return failure("is a damaged icon file: image " + std::to_string(index + 1) + " (" + std::to_string(size) +
                     " bytes at offset " + std::to_string(offset) + ") lies outside the file of " +
                     std::to_string(file.size()) + " bytes");
    }
    images.push_back({file[entry], file[entry + 1], file[entry + 2], readU16(file, entry + 4),
                      readU16(file, entry + 6), Bytes(file.begin() + offset, file.begin() + offset + size)});
  }
  return images;
}

Expected<std::array<std::uint16_t, 4>> parseFileVersion(std::string_view text) {
  std::array<std::uint16_t, 4> numbers{};
  const char* at = text.data();
  const char* end = text.data() + text.size();
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    if (i > 0 && (at == end || *at++ != '.')) break;
    unsigned value = 0;
    const auto [next, error] = std::from_chars(at, end, value);
    if (error != std::errc() || next == at || value > 0xFFFF) break;
    numbers[i] = static_cast<std::uint16_t>(value);
    at = next;
    if (i + 1 == numbers.size() && at == end) return numbers;
  }
  return failure("must be four numbers of 0 to 65535 separated by dots, such as \"1.2.0.0\"");
}

Bytes versionResource(const Identity& identity) {
  std::vector<Bytes> strings;
  const std::pair<const char*, std::string> texts[] = {
      {"CompanyName", identity.company},
      {"FileDescription", identity.fileDescription},
      {"FileVersion", identity.version ? versionText(*identity.version) : ""},
      {"LegalCopyright", identity.copyright},
      {"OriginalFilename", identity.originalFilename},
      {"ProductName", identity.productName},
      {"ProductVersion", identity.version ? versionText(*identity.version) : ""},
  };
  for (const auto& [key, text] : texts) {
    if (!text.empty()) strings.push_back(stringNode(key, text));
  }
  // US English (0x0409) in Unicode (code page 1200), the pair the string table's name spells.
  const Bytes stringTable = versionNode("040904B0", {}, 0, true, strings);
  const Bytes stringFileInfo = versionNode("StringFileInfo", {}, 0, true, {stringTable});
  Bytes translation;
  appendLittleEndian(translation, 0x0409, 2);
  appendLittleEndian(translation, 1200, 2);
  const Bytes var = versionNode("Translation", translation, 4, false, {});
  const Bytes varFileInfo = versionNode("VarFileInfo", {}, 0, true, {var});
  const Bytes fixed = fixedFileInfo(identity.version);
  return versionNode("VS_VERSION_INFO", fixed, static_cast<std::uint16_t>(fixed.size()), false,
                     {stringFileInfo, varFileInfo});
}

Bytes iconGroupResource(const std::vector<IconImage>& images, std::uint16_t firstIconId) {
  Bytes group;
  appendLittleEndian(group, 0, 2);
  appendLittleEndian(group, kIconType, 2);
  appendLittleEndian(group, images.size(), 2);
  for (std::size_t i = 0; i < images.size(); ++i) {
    const IconImage& image = images[i];
    group.insert(group.end(), {image.width, image.height, image.colourCount, 0});
    appendLittleEndian(group, image.planes, 2);
    appendLittleEndian(group, image.bitCount, 2);
    appendLittleEndian(group, image.data.size(), 4);
    appendLittleEndian(group, firstIconId + i, 2);
  }
  return group;
}

}  // namespace runvo::pack
