#include "registry_scope.h"

#include <algorithm>

namespace runvo::testing {

RegistryScope::~RegistryScope() {
  for (auto it = owned_.rbegin(); it != owned_.rend(); ++it) RegDeleteTreeA(it->first, it->second.c_str());
  for (auto it = owned_.rbegin(); it != owned_.rend(); ++it) RegDeleteKeyA(it->first, it->second.c_str());
}

void RegistryScope::removeAtEnd(HKEY root, const std::string& key) {
  if (std::find(owned_.begin(), owned_.end(), std::pair{root, key}) == owned_.end()) owned_.emplace_back(root, key);
}

void RegistryScope::createKey(HKEY root, const std::string& key) {
  HKEY handle = nullptr;
  if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr) ==
      ERROR_SUCCESS) {
    RegCloseKey(handle);
  }
  removeAtEnd(root, key);
}

void RegistryScope::setString(HKEY root, const std::string& key, const std::string& name, const std::string& value) {
  createKey(root, key);
  HKEY handle = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_SET_VALUE, &handle) == ERROR_SUCCESS) {
    RegSetValueExA(handle, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(value.c_str()), static_cast<DWORD>(value.size() + 1));
    RegCloseKey(handle);
  }
}

namespace {
std::optional<std::vector<unsigned char>> readValue(HKEY root, const std::string& key, const std::string& name) {
  HKEY handle = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return std::nullopt;
  std::vector<unsigned char> data(8192);
  DWORD size = static_cast<DWORD>(data.size());
  const LONG result = RegQueryValueExA(handle, name.c_str(), nullptr, nullptr, data.data(), &size);
  RegCloseKey(handle);
  if (result != ERROR_SUCCESS) return std::nullopt;
  data.resize(size);
  return data;
}
}  // namespace

std::optional<std::string> readRegistryString(HKEY root, const std::string& key, const std::string& name) {
  auto data = readValue(root, key, name);
  if (!data) return std::nullopt;
  std::string text(data->begin(), data->end());
  if (const std::size_t nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
  return text;
}

std::optional<std::vector<unsigned char>> readRegistryBinary(HKEY root, const std::string& key,
                                                             const std::string& name) {
  return readValue(root, key, name);
}

}  // namespace runvo::testing
