#include "util/expand.h"

#include <cstring>

#include "jvm/jvm_loader.h"
#include "payload/temp_dirs.h"
#include "util/expansion.h"
#include "util/paths.h"
#include "util/win.h"

namespace runvo {

namespace {
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
}  // namespace

void expandVariablesInPlace(std::string& text, std::size_t capacity) {
  const LauncherValues values{absoluteAgainstLauncher(""), extractionDirectory(), jvmHome()};
  expandVariables(text, values, processEnvironment(), capacity);
}

}  // namespace runvo
