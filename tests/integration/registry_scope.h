// Registry entries that a test writes, removed again when it ends, also when
// it fails.
#pragma once
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "util/win.h"

namespace runvo::testing {

class RegistryScope {
 public:
  RegistryScope() = default;
  RegistryScope(const RegistryScope&) = delete;
  RegistryScope& operator=(const RegistryScope&) = delete;
  ~RegistryScope();

  // Creates the key (and its parents) and sets a string value; an empty
  // value name sets the key's default value. `owned` is the key whose whole
  // tree goes away at the end.
  void setString(HKEY root, const std::string& key, const std::string& name, const std::string& value);
  void createKey(HKEY root, const std::string& key);
  // Removes this tree at the end as well (for keys the launcher writes).
  void removeAtEnd(HKEY root, const std::string& key);

 private:
  std::vector<std::pair<HKEY, std::string>> owned_;
};

std::optional<std::string> readRegistryString(HKEY root, const std::string& key, const std::string& name);
std::optional<std::vector<unsigned char>> readRegistryBinary(HKEY root, const std::string& key,
                                                             const std::string& name);

}  // namespace runvo::testing
