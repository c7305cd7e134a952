#include "launcher/service_name.h"

#include "launcher/command_tail.h"

namespace runvo {

namespace {
std::string& storage() {
  static std::string name;
  return name;
}
}  // namespace

const std::string& serviceName() { return storage(); }

void setServiceName(std::string_view name) {
  storage() = std::string(name.substr(0, kServiceNameCapacity - 1));
}

}  // namespace runvo
