// Service names as the launcher's buffers hold them.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace runvo {

// Capacity of a service name, terminator included.
inline constexpr std::size_t kServiceNameCapacity = 8192;

// At most what a service name buffer holds.
inline std::string cutServiceName(std::string_view name) {
  return std::string(name.substr(0, kServiceNameCapacity - 1));
}

}  // namespace runvo
