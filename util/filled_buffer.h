// Calls a Windows "fill this buffer" function (one that returns the length it
// wrote, or the size it needs when the buffer is too small), growing the
// buffer until the result fits, so that no path or value is ever cut.
#pragma once
#include <string>

#include "util/win.h"

namespace runvo {

// Empty when the call fails. `fill(buffer, capacity)` returns a length.
template <typename Char, typename Fill>
std::basic_string<Char> filledBuffer(Fill fill) {
  constexpr DWORD kFirstCapacity = 8192;
  std::basic_string<Char> buffer(kFirstCapacity, Char{});
  DWORD length = fill(buffer.data(), static_cast<DWORD>(buffer.size()));
  // The needed size can grow between two calls (an environment variable set
  // by another thread): ask again a few times before giving up.
  for (int attempt = 0; attempt < 3 && length >= buffer.size(); ++attempt) {
    buffer.resize(length + 1);
    length = fill(buffer.data(), static_cast<DWORD>(buffer.size()));
  }
  buffer.resize(length < buffer.size() ? length : 0);
  return buffer;
}

}  // namespace runvo
