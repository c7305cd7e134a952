// What the fuzz targets share: how a broken property shows up as a finding,
// and how raw input becomes the texts the parsers take.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "util/wide.h"

namespace runvo::fuzz {

// libFuzzer keeps the input of any abort; the message says which property broke.
inline void expect(bool holds, const char* property, const char* file, int line) {
  if (holds) return;
  std::fprintf(stderr, "%s:%d: property does not hold: %s\n", file, line, property);
  std::abort();
}

inline std::string_view asText(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The pieces between NUL bytes, empty ones included, so that every input
// maps to a list of texts and the fuzzer can grow and shrink each of them.
inline std::vector<std::string> textsBetweenNuls(std::string_view input) {
  std::vector<std::string> texts;
  std::size_t start = 0;
  for (std::size_t nul; (nul = input.find('\0', start)) != std::string_view::npos; start = nul + 1) {
    texts.emplace_back(input.substr(start, nul - start));
  }
  texts.emplace_back(input.substr(start));
  return texts;
}

// The same for UTF-16LE input, split at the unit 0; an odd last byte is dropped.
inline std::vector<WideString> wideTextsBetweenNuls(const std::uint8_t* data, std::size_t size) {
  WideString units;
  for (std::size_t i = 0; i + 1 < size; i += 2) units += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  std::vector<WideString> texts;
  std::size_t start = 0;
  for (std::size_t nul; (nul = units.find(u'\0', start)) != WideString::npos; start = nul + 1) {
    texts.push_back(units.substr(start, nul - start));
  }
  texts.push_back(units.substr(start));
  return texts;
}

}  // namespace runvo::fuzz

// A macro only to name the property and its place in the message.
#define FUZZ_EXPECT(property) ::runvo::fuzz::expect(static_cast<bool>(property), #property, __FILE__, __LINE__)
