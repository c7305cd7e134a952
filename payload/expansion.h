// Replaces references to launcher values and environment variables in
// configured text.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace runvo {

struct LauncherValues {
  std::string launcherDirectory;    // with its trailing backslash
  std::string extractionDirectory;  // empty before it exists
  std::string jvmHome;              // empty until a runtime is chosen
};

using Environment = std::vector<std::pair<std::string, std::string>>;  // in block order

// Replaces every occurrence of `pattern` by `value`, searching on behind each
// inserted value, and logs "expanding %s to %s in %s." for each. The text
// never grows past capacity - 1 characters: what would not fit is cut, with
// a log line.
void replaceAll(std::string& text, std::string_view pattern, std::string_view value, std::size_t capacity);

// Whether expansion could change the text at all: every pattern, the
// launcher's and "${NAME}" of the environment, begins with '%' or '$'.
bool mayExpand(std::string_view text);

// The twenty launcher variables in their fixed order, then "${NAME}" and
// "${UPPER-CASE NAME}" for each environment entry in block order.
void expandVariables(std::string& text, const LauncherValues& values, const Environment& environment,
                     std::size_t capacity);

}  // namespace runvo
