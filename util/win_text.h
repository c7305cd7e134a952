// Conversions between the 8-bit text of the file functions and UTF-16.
#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "util/wide.h"
#include "util/win.h"

namespace runvo {

// The code page of the "A" file functions: ANSI, or OEM when switched.
UINT fileCodePage();

std::wstring toWide(std::string_view narrow, UINT codePage = fileCodePage());
// Characters without a counterpart become "?".
std::string toNarrow(std::wstring_view wide, UINT codePage = fileCodePage());
// Empty when a character had no counterpart and "?" had to stand in.
std::optional<std::string> toNarrowLossless(std::wstring_view wide, UINT codePage = fileCodePage());

// Service names travel as UTF-8, so that any name reaches the wide calls.
inline std::wstring fromUtf8(std::string_view text) { return toWide(text, CP_UTF8); }
inline std::string toUtf8(std::wstring_view text) { return toNarrow(text, CP_UTF8); }
// A UTF-8 text for output in the ANSI code page, as the launcher's messages are.
inline std::string utf8InAnsi(std::string_view text) { return toNarrow(fromUtf8(text), CP_ACP); }

// The system's text for an error code and the code: "The specified service
// does not exist as an installed service. (1060)".
std::string systemErrorText(unsigned long code);

inline std::wstring_view asWin(WideView text) {
  return {reinterpret_cast<const wchar_t*>(text.data()), text.size()};
}
inline WideView asPortable(std::wstring_view text) {
  return {reinterpret_cast<const char16_t*>(text.data()), text.size()};
}

}  // namespace runvo
