// SHA-1 of a block of bytes, for identifiers Windows derives from names (a
// virtual account's SID); not for anything that must resist forgery.
#pragma once
#include <array>
#include <cstdint>
#include <string_view>

namespace runvo {

std::array<std::uint8_t, 20> sha1(std::string_view bytes);

}  // namespace runvo
