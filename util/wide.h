// Wide (UTF-16) text as the pure code sees it. On Windows wchar_t is the same
// 16-bit unit, so the Win32 layer converts by pointer cast (see util/win_text.h).
#pragma once
#include <string>
#include <string_view>

namespace runvo {
using WideString = std::u16string;
using WideView = std::u16string_view;

// ASCII-only widening, for literals and tests.
inline WideString widenAscii(std::string_view text) {
  return WideString(text.begin(), text.end());
}
}  // namespace runvo
