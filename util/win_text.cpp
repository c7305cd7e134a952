#include "util/win_text.h"

namespace runvo {

UINT fileCodePage() { return AreFileApisANSI() ? CP_ACP : CP_OEMCP; }

std::wstring toWide(std::string_view narrow, UINT codePage) {
  if (narrow.empty()) return {};
  const int size = static_cast<int>(narrow.size());
  const int units = MultiByteToWideChar(codePage, 0, narrow.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(units > 0 ? units : 0), L'\0');
  if (units > 0) MultiByteToWideChar(codePage, 0, narrow.data(), size, wide.data(), units);
  return wide;
}

std::string toNarrow(std::wstring_view wide, UINT codePage) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int bytes = WideCharToMultiByte(codePage, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
  if (bytes > 0) WideCharToMultiByte(codePage, 0, wide.data(), size, narrow.data(), bytes, nullptr, nullptr);
  return narrow;
}

std::optional<std::string> toNarrowLossless(std::wstring_view wide, UINT codePage) {
  if (wide.empty()) return std::string();
  const int size = static_cast<int>(wide.size());
  BOOL usedDefault = FALSE;
  // UTF-8 takes no replacement character; invalid input fails instead.
  const bool utf8 = codePage == CP_UTF8 || (codePage == CP_ACP && GetACP() == CP_UTF8);
  const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : 0;
  BOOL* lossy = utf8 ? nullptr : &usedDefault;
  const int bytes =
      WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, utf8 ? nullptr : "?", lossy);
  if (bytes <= 0) return std::nullopt;
  std::string narrow(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(codePage, flags, wide.data(), size, narrow.data(), bytes, utf8 ? nullptr : "?",
                      lossy);
  if (usedDefault) return std::nullopt;
  return narrow;
}

}  // namespace runvo

namespace runvo {

std::string systemErrorText(unsigned long code) {
  wchar_t* buffer = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                     code, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
  std::wstring text(buffer != nullptr ? std::wstring_view(buffer, length) : std::wstring_view());
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
  if (text.empty()) text = L"System error";
  return toNarrow(text, CP_ACP) + " (" + std::to_string(code) + ")";
}

}  // namespace runvo
