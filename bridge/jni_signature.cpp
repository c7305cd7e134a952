#include "bridge/jni_signature.h"

namespace runvo::bridge {

namespace {
constexpr std::string_view kPrimitives = "ZBCSIJFD";

// Moves `at` past one field type; false when none starts there.
bool skipFieldType(std::string_view descriptor, std::size_t& at) {
  while (at < descriptor.size() && descriptor[at] == '[') ++at;
  if (at >= descriptor.size()) return false;
  if (descriptor[at] == 'L') {
    const std::size_t end = descriptor.find(';', at);
    // "L;" names no class.
    if (end == std::string_view::npos || end == at + 1) return false;
    at = end + 1;
    return true;
  }
  if (kPrimitives.find(descriptor[at]) == std::string_view::npos) return false;
  ++at;
  return true;
}
}  // namespace

std::optional<std::string> parameterKinds(std::string_view descriptor) {
  if (descriptor.empty() || descriptor.front() != '(') return std::nullopt;
  std::string kinds;
  std::size_t at = 1;
  while (at < descriptor.size() && descriptor[at] != ')') {
    const char first = descriptor[at];
    if (!skipFieldType(descriptor, at)) return std::nullopt;
    kinds.push_back(first == '[' ? 'L' : first);
  }
  if (at >= descriptor.size()) return std::nullopt;
  ++at;  // ')'
  if (at < descriptor.size() && descriptor[at] == 'V' && at + 1 == descriptor.size()) return kinds;
  if (!skipFieldType(descriptor, at) || at != descriptor.size()) return std::nullopt;
  return kinds;
}

}  // namespace runvo::bridge

namespace runvo::bridge {

char kindOfTypeName(std::string_view typeName) {
  struct Primitive {
    std::string_view name;
    char kind;
  };
  static constexpr Primitive kPrimitiveNames[] = {{"boolean", 'Z'}, {"byte", 'B'}, {"char", 'C'},  {"short", 'S'},
                                                  {"int", 'I'},     {"long", 'J'}, {"float", 'F'}, {"double", 'D'}};
  for (const Primitive& primitive : kPrimitiveNames) {
    if (primitive.name == typeName) return primitive.kind;
  }
  return 'L';
}

}  // namespace runvo::bridge
