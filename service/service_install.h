// /install and its variants: registers the service with everything the
// payload says about it, or nothing at all when a step fails.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "service/service_settings.h"

namespace runvo {

inline constexpr std::uint32_t kAutoStart = 2;    // SERVICE_AUTO_START
inline constexpr std::uint32_t kDemandStart = 3;  // SERVICE_DEMAND_START

struct InstallRequest {
  std::string name;
  std::uint32_t startType = kDemandStart;
  bool delayedStart = false;  // with kAutoStart: some time after the other automatic services
  bool interactive = true;    // what the command line says
  // Full paths of the files the service writes (its log, the application's
  // output files): their folders are made and opened to its account.
  std::vector<std::string> writtenFiles;
};

// The process exit code.
int installService(const InstallRequest& request, const ServiceSettings& settings);

}  // namespace runvo
