#include "bridge/utf16.h"

namespace runvo::bridge {

namespace {
constexpr char16_t kReplacement = 0xFFFD;

// The length of the sequence a lead byte starts, 0 for a byte that starts none.
int sequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) return 2;
  if ((lead & 0xF0) == 0xE0) return 3;
  if ((lead & 0xF8) == 0xF0) return 4;
  return 0;
}

void appendCodePoint(std::u16string& out, char32_t code) {
  if (code < 0x10000) {
    out.push_back(static_cast<char16_t>(code));
    return;
  }
  code -= 0x10000;
  out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
  out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
}
}  // namespace

std::u16string utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t at = 0;
  while (at < text.size()) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const int length = sequenceLength(lead);
    bool valid = length > 0 && at + length <= text.size();
    char32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (int i = 1; valid && i < length; ++i) {
      const auto next = static_cast<unsigned char>(text[at + i]);
      valid = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3F);
    }
    if (!valid || code > 0x10FFFF) {
      out.push_back(kReplacement);
      ++at;
      continue;
    }
    appendCodePoint(out, code);
    at += length;
  }
  return out;
}

std::string asciiPrefix(std::u16string_view text, std::size_t count) {
  std::string prefix;
  for (std::size_t i = 0; i < count && i < text.size(); ++i) prefix.push_back(text[i] < 0x80 ? static_cast<char>(text[i]) : '?');
  return prefix;
}

}  // namespace runvo::bridge
