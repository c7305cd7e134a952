#include "pack/common/text_encoding.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace runvo::pack {

namespace {

constexpr char32_t kUndefined = 0;

// Windows-1252 differs from Latin-1 only in 0x80..0x9F.
constexpr std::array<char32_t, 32> kHighControlRange = {
    0x20AC, kUndefined, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030,     0x0160, 0x2039, 0x0152, kUndefined, 0x017D, kUndefined,
    kUndefined, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122,     0x0161, 0x203A, 0x0153, kUndefined, 0x017E, 0x0178,
};

std::optional<std::uint8_t> unicodeToWindows1252(char32_t codePoint) {
  if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) {
    return static_cast<std::uint8_t>(codePoint);
  }
  for (std::size_t i = 0; i < kHighControlRange.size(); ++i) {
    if (kHighControlRange[i] != kUndefined && kHighControlRange[i] == codePoint) {
      return static_cast<std::uint8_t>(0x80 + i);
    }
  }
  return std::nullopt;
}

// Decodes one character and advances; a malformed sequence yields U+FFFD so
// that a caller breaking the precondition gets a visible, not a wrong, result.
char32_t nextCodePoint(std::string_view text, std::size_t& at) {
  const auto lead = static_cast<unsigned char>(text[at++]);
  int followers = 0;
  char32_t codePoint = 0;
  if (lead < 0x80) return lead;
  if ((lead & 0xE0) == 0xC0) {
    followers = 1;
    codePoint = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    followers = 2;
    codePoint = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    followers = 3;
    codePoint = lead & 0x07;
  } else {
    return 0xFFFD;
  }
  for (int i = 0; i < followers; ++i) {
    if (at >= text.size() || (static_cast<unsigned char>(text[at]) & 0xC0) != 0x80) return 0xFFFD;
    codePoint = (codePoint << 6) | (static_cast<unsigned char>(text[at++]) & 0x3F);
  }
  return codePoint;
}

// The controls that TOML's short escapes (\t, \b, \n, \r, \f) stand for.
std::optional<std::string_view> escapedControlName(char32_t c) {
  switch (c) {
    case '\t': return "tab";
    case '\b': return "backspace";
    case '\n': return "line feed";
    case '\r': return "carriage return";
    case '\f': return "form feed";
    default: return std::nullopt;
  }
}

bool isC1Control(char32_t c) { return c >= 0x80 && c < 0xA0; }

constexpr std::string_view kSaveAsUtf8 = "; save it as UTF-8";

// A UTF-16 unit of text whose byte order is known.
char32_t utf16Unit(std::string_view bytes, std::size_t at, bool bigEndian) {
  const auto first = static_cast<unsigned char>(bytes[at]);
  const auto second = static_cast<unsigned char>(bytes[at + 1]);
  return bigEndian ? char32_t{first} << 8 | second : char32_t{second} << 8 | first;
}

Expected<std::string> utf16ToUtf8(std::string_view bytes, bool bigEndian) {
  const std::string seen = std::string("the file is UTF-16 (") + (bigEndian ? "big" : "little") + "-endian)";
  if (bytes.size() % 2 != 0) return failure(seen + " with an odd number of bytes" + std::string(kSaveAsUtf8));
  std::string utf8;
  for (std::size_t at = 0; at < bytes.size(); at += 2) {
    char32_t unit = utf16Unit(bytes, at, bigEndian);
    if (unit >= 0xD800 && unit < 0xE000) {
      const char32_t low = at + 3 < bytes.size() ? utf16Unit(bytes, at + 2, bigEndian) : 0;
      if (unit >= 0xDC00 || low < 0xDC00 || low >= 0xE000) {
        return failure(seen + " holding an unpaired surrogate " + hexEscape("U+%04X", static_cast<unsigned>(unit)) +
                       std::string(kSaveAsUtf8));
      }
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
      at += 2;
    }
    appendUtf8(utf8, unit);
  }
  return utf8;
}

// UTF-16 without a byte order mark: most characters of a config are ASCII,
// whose second byte (little-endian) or first byte (big-endian) is zero.
// Valid UTF-8 config text holds no zero byte at all.
std::optional<bool> utf16WithoutMarkIsBigEndian(std::string_view bytes) {
  const std::size_t pairs = std::min<std::size_t>(bytes.size(), 1024) / 2;
  std::size_t zeroFirst = 0;
  std::size_t zeroSecond = 0;
  for (std::size_t pair = 0; pair < pairs; ++pair) {
    const bool firstZero = bytes[2 * pair] == '\0';
    const bool secondZero = bytes[2 * pair + 1] == '\0';
    zeroFirst += firstZero && !secondZero;
    zeroSecond += secondZero && !firstZero;
  }
  if (pairs > 0 && zeroSecond * 2 > pairs) return false;
  if (pairs > 0 && zeroFirst * 2 > pairs) return true;
  return std::nullopt;
}

}  // namespace

Expected<std::string> utf8ToWindows1252(std::string_view utf8) {
  std::string narrow;
  narrow.reserve(utf8.size());
  for (std::size_t at = 0; at < utf8.size();) {
    const char32_t codePoint = nextCodePoint(utf8, at);
    const auto byte = unicodeToWindows1252(codePoint);
    if (!byte) {
      return failure("character " + describeCharacter(codePoint) +
                     " has no Windows-1252 form (narrow texts are stored in Windows-1252)");
    }
    narrow.push_back(static_cast<char>(*byte));
  }
  return narrow;
}

Expected<std::string> configTextAsUtf8(std::string_view bytes) {
  if (bytes.starts_with("\xFF\xFE")) return utf16ToUtf8(bytes.substr(2), false);
  if (bytes.starts_with("\xFE\xFF")) return utf16ToUtf8(bytes.substr(2), true);
  if (const auto bigEndian = utf16WithoutMarkIsBigEndian(bytes)) {
    return failure(std::string("the file looks like UTF-16 (") + (*bigEndian ? "big" : "little") +
                   "-endian) without a byte order mark: every other byte is zero" + std::string(kSaveAsUtf8));
  }
  return std::string(bytes);
}

WideString utf8ToUtf16(std::string_view utf8) {
  WideString wide;
  wide.reserve(utf8.size());
  for (std::size_t at = 0; at < utf8.size();) {
    const char32_t codePoint = nextCodePoint(utf8, at);
    if (codePoint >= 0x10000) {
      const char32_t offset = codePoint - 0x10000;
      wide.push_back(static_cast<char16_t>(0xD800 + (offset >> 10)));
      wide.push_back(static_cast<char16_t>(0xDC00 + (offset & 0x3FF)));
    } else {
      wide.push_back(static_cast<char16_t>(codePoint));
    }
  }
  return wide;
}

std::optional<char32_t> windows1252ToUnicode(std::uint8_t byte) {
  if (byte < 0x80 || byte >= 0xA0) return byte;
  const char32_t codePoint = kHighControlRange[byte - 0x80];
  if (codePoint == kUndefined) return std::nullopt;
  return codePoint;
}

void appendUtf8(std::string& out, char32_t codePoint) {
  auto put = [&out](unsigned value) { out.push_back(static_cast<char>(value)); };
  if (codePoint < 0x80) {
    put(codePoint);
  } else if (codePoint < 0x800) {
    put(0xC0 | (codePoint >> 6));
    put(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    put(0xE0 | (codePoint >> 12));
    put(0x80 | ((codePoint >> 6) & 0x3F));
    put(0x80 | (codePoint & 0x3F));
  } else {
    put(0xF0 | (codePoint >> 18));
    put(0x80 | ((codePoint >> 12) & 0x3F));
    put(0x80 | ((codePoint >> 6) & 0x3F));
    put(0x80 | (codePoint & 0x3F));
  }
}

std::string describeCharacter(char32_t codePoint) {
  std::string described = hexEscape("U+%04X", static_cast<unsigned>(codePoint));
  if (auto name = escapedControlName(codePoint)) {
    described += " (" + std::string(*name) + ")";
  } else if (codePoint >= 0x20 && codePoint != 0x7F && !isC1Control(codePoint)) {
    described += " '";
    appendUtf8(described, codePoint);
    described += "'";
  }
  return described;
}

std::string hexEscape(const char* format, unsigned value) {
  char escaped[16];
  std::snprintf(escaped, sizeof escaped, format, value);
  return escaped;
}

std::optional<std::string> asciiControlEscape(char32_t c) {
  switch (c) {
    case '\n': return "\\n";
    case '\r': return "\\r";
    case '\t': return "\\t";
    default: break;
  }
  if (c < 0x20 || c == 0x7F) return hexEscape("\\x%02X", static_cast<unsigned>(c));
  return std::nullopt;
}

std::optional<char32_t> firstControlCharacter(std::string_view utf8, bool lineFeedAllowed) {
  for (std::size_t at = 0; at < utf8.size();) {
    const char32_t c = nextCodePoint(utf8, at);
    if (c == '\n' && lineFeedAllowed) continue;
    if (c < 0x20 || c == 0x7F || isC1Control(c)) return c;
  }
  return std::nullopt;
}

std::string escapedForMessage(std::string_view utf8) {
  std::string escaped;
  for (std::size_t at = 0; at < utf8.size();) {
    const char32_t c = nextCodePoint(utf8, at);
    if (auto escape = asciiControlEscape(c)) {
      escaped += *escape;
    } else if (isC1Control(c)) {
      escaped += hexEscape("\\u%04X", static_cast<unsigned>(c));
    } else {
      appendUtf8(escaped, c);
    }
  }
  return escaped;
}

std::string quotedForMessage(std::string_view utf8) { return "\"" + escapedForMessage(utf8) + "\""; }

}  // namespace runvo::pack
