// Conversions between the config file's UTF-8, the narrow table's 8-bit text
// and the wide table's UTF-16. The narrow table is read in the Windows ANSI
// code page; the builder targets Windows-1252, the Western default, so that a
// text's bytes are fixed at build time rather than by the build machine.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "pack/common/expected.h"
#include "util/wide.h"

namespace runvo::pack {

// Expects valid UTF-8 (the TOML parser guarantees it). Fails on the first
// character that Windows-1252 cannot hold, naming it.
Expected<std::string> utf8ToWindows1252(std::string_view utf8);

// A config file's bytes as UTF-8 text: as they are, or converted from UTF-16
// when they start with its byte order mark (as PowerShell 5 and Notepad save
// "Unicode"), which leaves no doubt about the encoding. UTF-16 without that
// mark, and UTF-16 that does not decode, are refused, saying what was seen.
// Whether UTF-8 text is valid is for the TOML check to say.
Expected<std::string> configTextAsUtf8(std::string_view bytes);

// Expects valid UTF-8; characters beyond the BMP become surrogate pairs.
WideString utf8ToUtf16(std::string_view utf8);

// The character a Windows-1252 byte stands for; nothing for the five bytes
// the code page leaves undefined.
std::optional<char32_t> windows1252ToUnicode(std::uint8_t byte);

void appendUtf8(std::string& out, char32_t codePoint);

// "U+0141 'Ł'", or "U+0009 (tab)" for the controls that TOML escapes name,
// for messages.
std::string describeCharacter(char32_t codePoint);

// The character as an escape of the given printf format ("\\x%02X", "\\u%04X").
std::string hexEscape(const char* format, unsigned value);

// "\n", "\r", "\t", or "\xHH" for another ASCII control character (below
// U+0020, or U+007F); nothing for any other character.
std::optional<std::string> asciiControlEscape(char32_t c);

// The first control character of a UTF-8 text (ASCII controls, U+007F and the
// C1 controls U+0080-U+009F), leaving out a line feed when
// `lineFeedAllowed`.
std::optional<char32_t> firstControlCharacter(std::string_view utf8, bool lineFeedAllowed = false);

// The text in double quotes for a message, its control characters escaped
// (as above, C1 controls as "\uXXXX"), so that the message keeps to its
// line. Backslashes and quotes stay: a Windows path reads as it was written.
std::string quotedForMessage(std::string_view utf8);
// The same without the quotes, for names that messages show in brackets.
std::string escapedForMessage(std::string_view utf8);

}  // namespace runvo::pack
