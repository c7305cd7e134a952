// Conversions between the config file's UTF-8, the narrow table's 8-bit text
// and the wide table's UTF-16. The narrow table is read in the Windows ANSI
// code page; the builder targets Windows-1252, the Western default, so that a
// text's bytes are fixed at build time rather than by the build machine.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "pack/expected.h"
#include "util/wide.h"

namespace runvo::pack {

// Expects valid UTF-8 (the TOML parser guarantees it). Fails on the first
// character that Windows-1252 cannot hold, naming it.
Expected<std::string> utf8ToWindows1252(std::string_view utf8);

// Expects valid UTF-8; characters beyond the BMP become surrogate pairs.
WideString utf8ToUtf16(std::string_view utf8);

// The character a Windows-1252 byte stands for; nothing for the five bytes
// the code page leaves undefined.
std::optional<char32_t> windows1252ToUnicode(std::uint8_t byte);

void appendUtf8(std::string& out, char32_t codePoint);

// "U+0141 'Ł'", for messages.
std::string describeCharacter(char32_t codePoint);

}  // namespace runvo::pack
