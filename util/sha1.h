// SHA-1 of a block of bytes, for identifiers Windows derives from names (a
// virtual account's SID); not for anything that must resist forgery.
#pragma once
#include <array>
#include <cstdint>
#include <string_view>

namespace runvo {

std::array<std::uint8_t, 20> sha1(std::string_view bytes);

// One 64-byte block into the five words of the state, for a digest that is
// fed in pieces (the builder's, over a whole executable).
void sha1Block(std::uint32_t (&state)[5], const std::uint8_t* block);

}  // namespace runvo
