#include "service/log_place_rules.h"

#include "service/service_log_rules.h"

namespace runvo {

namespace {
// A folder named only with dots and blanks would be the folder above (or,
// as Windows drops them at a name's end, the same one): never the service's.
std::string serviceFolderName(std::string_view serviceName) {
  std::string name = serviceFileStem(serviceName);
  if (name.find_first_not_of(". ") == std::string::npos) name.assign(name.size(), '_');
  return name;
}
}  // namespace

std::string fallbackServiceLogPath(std::string_view programData, std::string_view serviceName) {
  if (programData.empty()) return {};
  std::string folder(programData);
  if (folder.back() != '\\' && folder.back() != '/') folder += '\\';
  folder += "runvo\\" + serviceFolderName(serviceName) + "\\logs";
  return serviceLogPath("", folder, serviceName);
}

LogPlace placeToRead(std::optional<std::uint64_t> configuredWritten, std::optional<std::uint64_t> fallbackWritten) {
  if (!fallbackWritten) return LogPlace::Configured;
  if (!configuredWritten) return LogPlace::Fallback;
  return *fallbackWritten > *configuredWritten ? LogPlace::Fallback : LogPlace::Configured;
}

}  // namespace runvo
