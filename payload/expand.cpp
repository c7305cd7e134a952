#include "payload/expand.h"

#include <cstring>

#include "util/win.h"

namespace runvo {

Environment processEnvironment() {
  Environment environment;
  char* block = GetEnvironmentStringsA();
  if (block == nullptr) return environment;
  for (const char* entry = block; *entry; entry += std::strlen(entry) + 1) {
    const std::string_view text(entry);
    const std::size_t equals = text.find('=');
    if (equals != std::string_view::npos) {
      environment.emplace_back(text.substr(0, equals), text.substr(equals + 1));
    }
  }
  FreeEnvironmentStringsA(block);
  return environment;
}

void expandVariablesInPlace(std::string& text, const LauncherValues& values, std::size_t capacity) {
  // Spares the copy of the whole environment where nothing can change.
  if (!mayExpand(text)) return;
  expandVariables(text, values, processEnvironment(), capacity);
}

}  // namespace runvo
