// Text conversions the bridge needs between Java's UTF-16 and Unix UTF-8.
#pragma once
#include <string>
#include <string_view>

namespace runvo::bridge {

// UTF-8 (also Java's modified UTF-8) as UTF-16. A byte that starts no valid
// sequence becomes U+FFFD.
std::u16string utf8ToUtf16(std::string_view text);

// The first `count` units of `text` as bytes, any unit outside ASCII as '?':
// enough to look at the shape of a path.
std::string asciiPrefix(std::u16string_view text, std::size_t count);

}  // namespace runvo::bridge
