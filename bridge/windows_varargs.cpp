#include "bridge/windows_varargs.h"

#include <cstdint>
#include <cstring>

namespace runvo::bridge {

namespace {
constexpr std::size_t kSlotSize = 8;

template <typename T>
T readSlot(const char* slot) {
  static_assert(sizeof(T) <= kSlotSize);
  T value;
  std::memcpy(&value, slot, sizeof value);  // slots need not be aligned for T
  return value;
}

jvalue readOne(char kind, const char* slot) {
  jvalue value{};
  switch (kind) {
    case 'Z': value.z = static_cast<jboolean>(readSlot<std::int32_t>(slot)); break;
    case 'B': value.b = static_cast<jbyte>(readSlot<std::int32_t>(slot)); break;
    case 'C': value.c = static_cast<jchar>(readSlot<std::int32_t>(slot)); break;
    case 'S': value.s = static_cast<jshort>(readSlot<std::int32_t>(slot)); break;
    case 'I': value.i = readSlot<std::int32_t>(slot); break;
    case 'J': value.j = readSlot<std::int64_t>(slot); break;
    case 'F': value.f = static_cast<jfloat>(readSlot<double>(slot)); break;
    case 'D': value.d = readSlot<double>(slot); break;
    default: value.l = readSlot<jobject>(slot); break;
  }
  return value;
}
}  // namespace

std::vector<jvalue> readWindowsArguments(std::string_view kinds, const char* slots) {
  std::vector<jvalue> values;
  values.reserve(kinds.size());
  for (std::size_t i = 0; i < kinds.size(); ++i) values.push_back(readOne(kinds[i], slots + i * kSlotSize));
  return values;
}

}  // namespace runvo::bridge
