#include "service/log_place_rules.h"

#include "service/service_log_rules.h"

namespace runvo {

std::string fallbackServiceLogPath(std::string_view programData, std::string_view serviceName) {
  if (programData.empty()) return {};
  std::string folder(programData);
  if (folder.back() != '\\' && folder.back() != '/') folder += '\\';
  folder += "runvo\\" + serviceFileStem(serviceName) + "\\logs";
  return serviceLogPath("", folder, serviceName);
}

LogPlace placeToRead(std::optional<std::uint64_t> configuredWritten, std::optional<std::uint64_t> fallbackWritten) {
  if (!fallbackWritten) return LogPlace::Configured;
  if (!configuredWritten) return LogPlace::Fallback;
  return *fallbackWritten > *configuredWritten ? LogPlace::Fallback : LogPlace::Configured;
}

}  // namespace runvo
