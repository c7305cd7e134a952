// The buffer that Windows "fill this" functions write into: it grows until
// the whole result fits, for both ways such a function says it did not.
#include <gtest/gtest.h>

#include <cstring>

#include "util/filled_buffer.h"

namespace runvo {
namespace {

// Writes the text when it fits (with its terminator) and returns its length;
// otherwise returns the size needed (GetTempPath, GetFullPathName) or the
// capacity after writing what fits (GetModuleFileName).
DWORD fillLike(const std::string& text, bool truncates, char* buffer, DWORD capacity) {
  if (text.size() < capacity) {
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
  }
  if (!truncates) return static_cast<DWORD>(text.size() + 1);
  std::memcpy(buffer, text.data(), capacity);
  return capacity;
}

TEST(FilledBuffer, GrowsUntilTheWholeResultFits) {
  for (bool truncates : {false, true}) {
    for (std::size_t size : {0u, 5u, 260u, 261u, 4000u, 32767u}) {
      const std::string text(size, 'p');
      const std::string got =
          filledBuffer<char>([&](char* b, DWORD n) { return fillLike(text, truncates, b, n); });
      EXPECT_EQ(got.size(), size) << (truncates ? "truncating, " : "sizing, ") << size;
      EXPECT_EQ(got, text);
    }
  }
  EXPECT_EQ(filledBuffer<char>([](char*, DWORD) { return DWORD{0}; }), "") << "a failed call";
}

}  // namespace
}  // namespace runvo
