// The VM options after the launcher's own properties: configured options,
// "-J" arguments and the VM options file beside the executable, in that
// order, with their class-path directives.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "launcher/command_line.h"

namespace runvo {

struct ClassPathDirectives {
  std::optional<std::string> override;  // replaces the configured entries
  std::optional<std::string> prepend;
  std::optional<std::string> append;
};

// Appends to `options`; each directive keeps the last value seen.
ClassPathDirectives collectVmOptions(const ArgumentVector& arguments, std::vector<std::string>& options);

// How deep VM options files may include each other.
inline constexpr int kMaxIncludeDepth = 10;

}  // namespace runvo
