// Calls a Windows "fill this buffer" function (one that returns the length it
// wrote, or the size it needs when the buffer is too small), growing the
// buffer until the result fits, so that no path or value is ever cut.
#pragma once
#include <algorithm>
#include <string>

#include "util/win.h"

namespace runvo {

// Empty when the call fails. `fill(buffer, capacity)` returns a length: the
// one written, the size needed, or (GetModuleFileName) the capacity when the
// result was cut, which doubles the buffer.
template <typename Char, typename Fill>
std::basic_string<Char> filledBuffer(Fill fill) {
  // Most results are paths that fit here; a larger first buffer costs fresh
  // pages at every start.
  constexpr DWORD kFirstCapacity = MAX_PATH + 1;
  // Enough doublings to pass the longest path Windows has (32767).
  constexpr int kAttempts = 8;
  std::basic_string<Char> buffer(kFirstCapacity, Char{});
  DWORD length = fill(buffer.data(), static_cast<DWORD>(buffer.size()));
  // The needed size can also grow between two calls (an environment variable
  // set by another thread): each attempt asks again.
  for (int attempt = 0; attempt < kAttempts && length >= buffer.size(); ++attempt) {
    buffer.resize(std::max<std::size_t>(length + 1, buffer.size() * 2));
    length = fill(buffer.data(), static_cast<DWORD>(buffer.size()));
  }
  buffer.resize(length < buffer.size() ? length : 0);
  return buffer;
}

}  // namespace runvo
