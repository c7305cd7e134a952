// Texts that the toml++ of Debian 12 (3.3.0) must not parse: for many
// non-ASCII code points outside strings and comments (U+00A1-U+0499,
// U+2C5E-U+2FFF, ...) its whitespace test reaches __builtin_unreachable, which
// is undefined behaviour in every build. Valid TOML holds no control
// characters (tab and line ends aside) and no non-ASCII text outside strings
// and comments, so refusing those refuses no valid config; the one valid form
// refused is a non-ASCII character as the first one after a line-ending
// backslash in a multi-line basic string, which an escape (\uXXXX) replaces.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace runvo::pack {

struct TomlTextFault {
  std::size_t line;    // from 1
  std::size_t column;  // from 1, in code points
  std::string reason;
};

std::optional<TomlTextFault> findUnsafeTomlText(std::string_view text);

}  // namespace runvo::pack
