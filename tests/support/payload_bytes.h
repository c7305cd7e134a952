// Builds payload bytes field by field, straight from the format's tables and
// independent of the builder's writer, so the tests check the format itself.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace runvo::testing {

class PayloadBytes {
 public:
  PayloadBytes& u16(std::uint16_t v) { return little(v, 2); }
  PayloadBytes& u32(std::uint32_t v) { return little(v, 4); }
  PayloadBytes& i32(std::int32_t v) { return little(static_cast<std::uint32_t>(v), 4); }
  PayloadBytes& i64(std::int64_t v) { return little(static_cast<std::uint64_t>(v), 8); }
  PayloadBytes& raw(const std::string& bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
  }
  PayloadBytes& zeros(std::size_t count) {
    bytes_.insert(bytes_.end(), count, 0);
    return *this;
  }
  // Magic and the three ignored header fields.
  PayloadBytes& header(std::uint32_t magic = 0xE8E413D5u) { return u32(magic).i32(7).i32(-7).i64(42); }
  PayloadBytes& narrowEntry(std::int32_t key, const std::string& text) {
    return i32(key).i32(static_cast<std::int32_t>(text.size())).raw(text);
  }
  PayloadBytes& wideEntry(std::int32_t key, const std::u16string& text) {
    i32(key).i32(static_cast<std::int32_t>(text.size() * 2));
    for (char16_t unit : text) u16(unit);
    return *this;
  }
  // An embedded file record: the size, then the content scrambled with 0xA7.
  PayloadBytes& fileRecord(const std::string& content) {
    i64(static_cast<std::int64_t>(content.size()));
    for (char c : content) bytes_.push_back(static_cast<std::uint8_t>(c) ^ 0xA7);
    return *this;
  }
  // A whole payload with both tables and no embedded files.
  static PayloadBytes tables(const std::vector<std::pair<std::int32_t, std::string>>& narrow,
                             const std::vector<std::pair<std::int32_t, std::u16string>>& wide = {}) {
    PayloadBytes p;
    p.header().i32(static_cast<std::int32_t>(narrow.size()));
    for (const auto& [key, text] : narrow) p.narrowEntry(key, text);
    p.i32(static_cast<std::int32_t>(wide.size()));
    for (const auto& [key, text] : wide) p.wideEntry(key, text);
    return p;
  }

  const std::vector<std::uint8_t>& bytes() const { return bytes_; }
  std::size_t size() const { return bytes_.size(); }

 private:
  PayloadBytes& little(std::uint64_t v, int count) {
    for (int i = 0; i < count; ++i) bytes_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return *this;
  }
  std::vector<std::uint8_t> bytes_;
};

// A minimal PE image: DOS header pointing at a PE header with `sections`
// section headers; only the last one's raw data fields are filled, so that
// the image ends at `imageEnd`.
inline std::vector<std::uint8_t> minimalImage(std::uint32_t imageEnd, std::int16_t sections = 2,
                                              std::int16_t optionalHeaderSize = 240) {
  constexpr std::uint32_t peOffset = 0x80;
  const std::size_t headersEnd = peOffset + 24 + optionalHeaderSize + 40u * sections;
  std::vector<std::uint8_t> image(imageEnd > headersEnd ? imageEnd : headersEnd, 0);
  auto put = [&](std::size_t at, std::uint64_t v, int count) {
    for (int i = 0; i < count; ++i) image[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  image[0] = 'M';
  image[1] = 'Z';
  put(60, peOffset, 4);
  put(peOffset, 0x4550, 4);
  put(peOffset + 6, static_cast<std::uint16_t>(sections), 2);
  put(peOffset + 20, static_cast<std::uint16_t>(optionalHeaderSize), 2);
  const std::size_t last = peOffset + 24 + optionalHeaderSize + 40u * (sections - 1);
  const std::uint32_t rawOffset = static_cast<std::uint32_t>(headersEnd);
  put(last + 16, imageEnd - rawOffset, 4);
  put(last + 20, rawOffset, 4);
  return image;
}

}  // namespace runvo::testing
